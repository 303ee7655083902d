// Opening a connection on a thread of its own, so that whoever asked for it
// stays free, and can give it up at any moment. No window, no Qt.
#pragma once

#include <cstdint>
#include <string>

#include "connection/line_settings.h"
#include "connection/transport.h"

struct ConnectAttempt;

// Starts OpenConnection(host, port) on a thread of its own. When it has
// connected or failed (not when it was abandoned), done() is called on that
// thread. Null when no thread could be started.
ConnectAttempt* StartConnectAttempt(const std::string& host, int64_t port, void (*done)());

// The same for OpenSerialPort(settings): a serial port is opened through
// the same steps, and its failure (ConnectNoDevice, ConnectPermission,
// ConnectBusy, ConnectNotSerial, ConnectFailed) comes back the same way.
ConnectAttempt* StartSerialAttempt(const SerialSettings& settings, void (*done)());

// True once the attempt has connected or failed.
bool ConnectAttemptDone(ConnectAttempt* attempt);

// After ConnectAttemptDone: the connection (null when it failed, with why
// in failure) and the attempt is freed.
Connection* FinishConnectAttempt(ConnectAttempt* attempt, ConnectFailure* failure);

// Gives the attempt up at once, done or not: a connect in progress is broken
// off and whatever it opened is closed; done() is no longer called. The
// attempt is freed; its thread ends by itself.
void AbandonConnectAttempt(ConnectAttempt* attempt);
