#include "app/shutdown.h"

#include <QCoreApplication>

#include <sys/socket.h>

#include "connection/transport.h"
#include "engine/connection_control.h"
#include "engine/csv_recording.h"
#include "engine/device_scan.h"
#include "engine/program_state.h"
#include "ui/gui_call.h"
#include "ui/window_timer.h"

void Shutdown()
{
    const bool workerRunning = program.workerRunning.load();
    // A worker left running starts no further transaction.
    program.cycleStop.store(true);

    // A scan stops before its next request; it is not waited for.
    StopDeviceScan();
    // A connect in progress is broken off; its thread closes what it opened.
    AbandonConnecting();
    if (Connection* connection = program.link.connection.load()) {
        if (workerRunning) {
            // The worker may be inside a send or receive on this record:
            // end the TCP connection under it (its calls fail at once) but
            // leave the record alone, the process ends right after.
            if (connection->fd >= 0)
                ::shutdown(connection->fd, SHUT_RDWR);
        } else {
            program.link.connection.store(nullptr);
            CloseConnection(connection);
        }
    }

    // A worker waiting for a control update must not wait for a GUI thread
    // that is leaving.
    ReleaseGuiCallers();
    StopAllWindowTimers();
    // The recording's last rows reach the disk before the process ends.
    EndRecordingAtShutdown();

    // A cycle still running is not waited for: the process ends right after.
    StopNetwork();
    QCoreApplication::exit(0);
}
