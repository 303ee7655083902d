#!/bin/bash
# The demo launcher with the real simulator and a stand-in client.
# Usage: run_demo_test.sh RUN_DEMO SORBEL_SIM
set -u
run_demo=$1
real_sim=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export DEMO_TEST_DIR=$work
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Runs the launcher with a display stand-in; the rest of the environment
# comes from the caller's arguments (VAR=value ...).
demo() {
    rm -f "$work/sim.pid" "$work/client.ran"
    env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen SORBEL_BUILD_DIR="$work/build" \
        SORBEL_CLIENT="$work/client" "$@" timeout 60 "$run_demo" >"$work/out" 2>"$work/err"
}

# Kills a simulator left behind, so that a failing run leaves nothing.
sim_is_gone() {
    local pid
    pid=$(cat "$work/sim.pid" 2>/dev/null) && [ -n "$pid" ] || return 1
    kill -0 "$pid" 2>/dev/null || return 0
    kill -KILL "$pid"
    return 1
}

# The real simulator under the pid it was started with, recorded.
cat >"$work/sim" <<EOF
#!/bin/sh
echo \$\$ >"$work/sim.pid"
exec "$real_sim" "\$@"
EOF

# Checks its settings file byte for byte, reads input register 5 (whose
# value is its address) from the port named there, exits with CLIENT_EXIT.
cat >"$work/client" <<'EOF'
#!/bin/bash
set -eu
touch "$DEMO_TEST_DIR/client.ran"
[ "$PWD" = "$DEMO_TEST_DIR/build/demo" ] || { echo "client: started in $PWD" >&2; exit 90; }
port=$(sed -n 's/^Port = \([1-9][0-9]*\)\r$/\1/p' vidideze.conf)
printf '%s\r\n' '[Global]' 'IP_URL = 127.0.0.1' "Port = $port" 'CHB_MBS = 1' 'ModbusID = 1' \
    'StartAddress = 1' 'RequestSize = 10' 'ScanRate = 500' 'IdxCboDI = 1' 'IdxCboCO = 1' \
    'IdxCboIR = 3' 'IdxCboHR = 2' >"$DEMO_TEST_DIR/expected.conf"
cmp "$DEMO_TEST_DIR/expected.conf" vidideze.conf >&2 || exit 91
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf '\x00\x07\x00\x00\x00\x06\x01\x04\x00\x05\x00\x01' >&3
reply=$(timeout 10 head -c 11 <&3 | od -An -tx1 | tr -d ' \n')
[ "$reply" = 0007000000050104020005 ] || { echo "client: reply '$reply'" >&2; exit 92; }
exit "$CLIENT_EXIT"
EOF

cat >"$work/failing-sim" <<EOF
#!/bin/sh
echo \$\$ >"$work/sim.pid"
echo "sorbel-sim: cannot listen on 127.0.0.1:0: no luck" >&2
exit 1
EOF

# Ignores SIGTERM, as a hung simulator would.
cat >"$work/stubborn-sim" <<EOF
#!/bin/bash
echo \$\$ >"$work/sim.pid"
trap '' TERM
echo "sorbel-sim: listening on 127.0.0.1:1"
exec sleep 600
EOF
chmod +x "$work/sim" "$work/client" "$work/failing-sim" "$work/stubborn-sim"

# The client runs against the simulator, its exit code comes back, and the
# simulator is stopped; a second run rewrites the settings for a new port.
for code in 7 0; do
    demo SORBEL_SIM="$work/sim" CLIENT_EXIT=$code
    status=$?
    [ "$status" -eq "$code" ] || fail "client exit $code: launcher exited $status: $(cat "$work/err")"
    sim_is_gone || fail "client exit $code: simulator still running or never started"
    grep -q 'listens on 127.0.0.1:[1-9]' "$work/out" || fail "no port in the explanation: $(cat "$work/out")"
done

# No display: a clear message, and nothing is started.
rm -f "$work/sim.pid" "$work/client.ran"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM SORBEL_BUILD_DIR="$work/build" \
    SORBEL_CLIENT="$work/client" SORBEL_SIM="$work/sim" CLIENT_EXIT=0 \
    timeout 60 "$run_demo" >"$work/out" 2>"$work/err"
status=$?
[ "$status" -ne 0 ] || fail "no display: launcher succeeded"
grep -q 'no display found' "$work/err" && grep -q 'xvfb-run -a make run' "$work/err" \
    || fail "no display: message was: $(cat "$work/err")"
[ ! -e "$work/sim.pid" ] && [ ! -e "$work/client.ran" ] || fail "no display: something was started"

# A simulator that cannot start: its own words are shown, no client.
demo SORBEL_SIM="$work/failing-sim" CLIENT_EXIT=0
status=$?
[ "$status" -ne 0 ] || fail "failing simulator: launcher succeeded"
grep -q 'no luck' "$work/err" || fail "failing simulator: its error was not shown: $(cat "$work/err")"
[ ! -e "$work/client.ran" ] || fail "failing simulator: the client was started"

# A simulator that ignores SIGTERM is killed rather than left behind.
cat >"$work/client" <<'EOF'
#!/bin/sh
exit 0
EOF
demo SORBEL_SIM="$work/stubborn-sim"
status=$?
[ "$status" -eq 0 ] || fail "stubborn simulator: launcher exited $status: $(cat "$work/err")"
sim_is_gone || fail "stubborn simulator: still running"

[ "$failures" -eq 0 ] && echo "all run-demo checks passed"
[ "$failures" -eq 0 ]
