// Telling the stop command from a Modbus client on a fresh connection.
#pragma once

// Looks at the connection's first bytes without taking them: true when they
// are the text "quit". Waits until four bytes are there, the first bytes
// already differ, or the peer closes. The socket is left as it was.
bool StartsWithQuit(int fd);
