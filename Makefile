# Sorbel-Client: `make run` builds and starts a demo (the simulator and the
# client set up for it), `make test` builds a sanitizer tree and runs every
# test. Both install missing packages first.

BUILD_DIR      ?= build
TEST_BUILD_DIR ?= build-test
TSAN_BUILD_DIR ?= build-tsan
FUZZ_BUILD_DIR ?= build-fuzz
JOBS           ?= $(shell nproc)
FUZZ_SECONDS   ?= 30
# Options that make the demo's simulator an awkward device, e.g.
# DEMO_QUIRKS="--max-registers 100" (see the README's Device settings).
DEMO_QUIRKS    ?=

SAN_FLAGS = -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
# The test tree fails on any warning, with shadowing and narrowing too.
WARN_FLAGS = -Werror -Wshadow -Wconversion
export ASAN_OPTIONS  = detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS = halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS  = suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0
TSAN_FLAGS = -fsanitize=thread -O1 -g -fno-omit-frame-pointer

.PHONY: all deps configure build programs run client sim deb test unit-tests tsan format format-check fuzz fuzz-smoke bench clean

all: build

deps:
	@scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Everything: the programs, the tests and the benchmarks.
build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The client, the simulator and the scan command alone.
programs: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target sorbel-client sorbel-sim sorbel-scan

# The display is checked first, so that a machine without one learns about
# xvfb-run before waiting for packages and a build.
run:
	@scripts/check-display "make run"
	@$(MAKE) --no-print-directory programs
	BUILD_DIR=$(BUILD_DIR) SORBEL_SIM_ARGS="$(DEMO_QUIRKS)" scripts/run-demo

# The client alone, for a real device; it keeps its settings in
# CLIENT_DIR/vidideze.conf and makes CLIENT_DIR when it is missing.
CLIENT_DIR ?= .
client:
	@scripts/check-display "make client"
	@$(MAKE) --no-print-directory programs
	@dir='$(CLIENT_DIR)'; \
	case $$dir in '~') dir=$$HOME ;; '~/'*) dir=$$HOME/$${dir#'~/'} ;; esac; \
	mkdir -p "$$dir" && cd "$$dir" && \
	echo "Starting the client in $$PWD (settings: $$PWD/vidideze.conf)" && \
	exec "$(abspath $(BUILD_DIR))/sorbel-client"

# The Modbus/TCP server simulator on 127.0.0.1, logging every request.
SIM_PORT ?= 1502
SIM_ARGS ?= --verbose
sim: programs
	./$(BUILD_DIR)/sorbel-sim --port $(SIM_PORT) $(SIM_ARGS)

# The Debian package $(BUILD_DIR)/sorbel-client_VERSION_ARCH.deb, made by
# CPack from the three programs it ships, built alone as for `make run` (no
# tests, no benchmarks); install it with
# sudo apt-get install ./build/sorbel-client_*.deb.
deb: programs
	cd $(BUILD_DIR) && cpack

unit-tests: deps
	cmake -S . -B $(TEST_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	    -DCMAKE_CXX_FLAGS="$(SAN_FLAGS) $(WARN_FLAGS)" -DCMAKE_C_FLAGS="$(SAN_FLAGS)" \
	    -DCMAKE_EXE_LINKER_FLAGS="$(SAN_FLAGS)"
	cmake --build $(TEST_BUILD_DIR) -j $(JOBS)
	cd $(TEST_BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

test: format-check unit-tests tsan fuzz-smoke

# The window and engine tests (the GUI thread and the poll worker) under
# ThreadSanitizer. Only Qt's own libraries are suppressed: they are not
# instrumented (tests/tsan.supp).
tsan: deps
	cmake -S . -B $(TSAN_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	    -DCMAKE_CXX_FLAGS="$(TSAN_FLAGS)" -DCMAKE_C_FLAGS="$(TSAN_FLAGS)" \
	    -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread
	cmake --build $(TSAN_BUILD_DIR) -j $(JOBS) --target engine_tests ui_tests app_tests screen_fit_tests
	cd $(TSAN_BUILD_DIR) && QT_QPA_PLATFORM=offscreen \
	    TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1" \
	    ctest --output-on-failure -j $(JOBS) --timeout 600 -L window

# Every C++ file as .clang-format says: `make format` rewrites them, the
# check (part of `make test`) fails on any that differs.
FORMAT_FILES = $(shell find app bench common connection dataview engine modbus resources scan sim tests ui \
                       -name '*.cpp' -o -name '*.h')
format: deps
	clang-format -i $(FORMAT_FILES)

format-check: deps
	@clang-format --dry-run --Werror $(FORMAT_FILES) && echo "format-check: $(words $(FORMAT_FILES)) files formatted"

# libFuzzer targets over the pure core; skipped when clang is missing.
fuzz-smoke: deps
	@JOBS=$(JOBS) scripts/run-fuzzers $(FUZZ_BUILD_DIR) $(FUZZ_SECONDS)

fuzz: deps
	@JOBS=$(JOBS) scripts/run-fuzzers $(FUZZ_BUILD_DIR) 600

bench: build
	cmake --build $(BUILD_DIR) --target benchmarks
	@for b in $(BUILD_DIR)/bench/bench_*; do echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b; done

# Pictures of the pages for the README, rendered offscreen; render_pages
# fixes fonts, style and scale itself, so they come out the same anywhere.
.PHONY: docs
docs: build
	./$(BUILD_DIR)/tests/render_pages docs

clean:
	rm -rf $(BUILD_DIR) $(TEST_BUILD_DIR) $(TSAN_BUILD_DIR) $(FUZZ_BUILD_DIR)
