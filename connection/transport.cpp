#include "connection/transport.h"

// Not built yet.
bool StartNetwork() { return true; }
void StopNetwork() {}
Connection* OpenConnection(const std::string&, int64_t) { return nullptr; }
void CloseConnection(Connection* connection) { delete connection; }
int SendData(Connection*, const uint8_t*, int) { return -1; }
int SendText(Connection*, const std::string&) { return -1; }
DataState CheckForData(Connection*) { return NoData; }
int ReceiveData(Connection*, uint8_t*, int) { return -1; }
