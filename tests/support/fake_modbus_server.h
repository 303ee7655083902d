// A scripted Modbus/TCP server for tests: listens on an ephemeral port of
// 127.0.0.1, serves any number of connections from one thread, answers each
// request as its script says and records every byte it receives.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// How the server treats one request.
struct FakeReply {
    enum Kind { Answer, Exception, Bytes, Silent, Close };
    Kind kind = Answer;
    int delayMs = 0;                               // before the first byte goes out
    uint8_t exceptionCode = 0;                     // Exception
    bool flagged = true;                           // Exception: function byte with 0x80 set, else as requested
    std::vector<uint8_t> bytes;                    // Bytes: sent instead of an answer
    bool ownId = false;                            // Bytes: with the request's transaction id first
    int length = -1;                               // Answer: cut or zero-padded to this many bytes
    std::vector<std::pair<int, uint8_t>> patches;  // Answer: bytes changed (offset, value)
    std::vector<uint8_t> before;                   // sent just before the answer, as a stray
    int splitAt = 0;                               // > 0: the first splitAt bytes, the rest splitGapMs later
    int splitGapMs = 0;
    bool reset = false;   // Close: with an RST, so the client's next send fails
    int strayFrames = 0;  // frames of another transaction id sent first, back to back

    static FakeReply Normal() { return {}; }
    static FakeReply Delayed(int ms);
    static FakeReply Error(uint8_t code, bool flagged = true);
    static FakeReply Raw(std::vector<uint8_t> bytes);
    // Raw bytes, their first two replaced by the request's transaction id.
    static FakeReply RawWithId(std::vector<uint8_t> bytes);
    static FakeReply Sized(int length);
    static FakeReply Split(int at, int gapMs);
    static FakeReply Patched(std::vector<std::pair<int, uint8_t>> patches);
    static FakeReply StrayFirst(std::vector<uint8_t> stray);
    static FakeReply Never();
    static FakeReply Hangup(bool reset = false);
    // strayFrames frames that answer no request (another transaction id),
    // then the answer, or nothing when answered is false.
    static FakeReply Flood(int strayFrames, bool answered);
};

class FakeModbusServer {
public:
    FakeModbusServer();
    ~FakeModbusServer();
    FakeModbusServer(const FakeModbusServer&) = delete;
    FakeModbusServer& operator=(const FakeModbusServer&) = delete;

    bool Listening() const { return listenFd_ >= 0; }
    uint16_t Port() const { return port_; }

    // Replies for the next requests, in order; once used up, the default.
    void Push(const FakeReply& reply);
    void SetDefault(const FakeReply& reply);

    // The data served: table 1 Discrete Inputs, 2 Coils, 3 Input Registers,
    // 4 Holding Registers; address 0..65535. Writes (functions 5, 6, 15, 16)
    // land here.
    void SetValue(int table, int address, uint16_t value);
    uint16_t Value(int table, int address) const;
    // Strict: quantities beyond 2000 bits / 125 registers get exception 3.
    void SetStrict(bool strict);
    // A device of narrower means: reads of more than maxRegisters registers
    // get exception 3 (0: as strict says); with onlyMultipleWrites,
    // functions 5 and 6 get exception 1.
    void SetDeviceLimits(int maxRegisters, bool onlyMultipleWrites);
    // Reads answered with the request's number (1 for the first request
    // received) as every register's value (its lowest bit as every bit's),
    // whatever the tables hold: a value shown tells which request it
    // answered.
    void SetNumberInValues(bool on);

    // Each connection is closed right after the reply to its transactions-th
    // request has gone (0: as soon as it is accepted, as a device whose
    // connection slots are full does), and lifetimeMs after it was accepted
    // (answered or not); -1 for no such limit.
    void SetConnectionLimit(int transactions, int lifetimeMs = -1);

    // Records.
    std::vector<uint8_t> Received() const;                  // every byte, all connections
    std::vector<std::vector<uint8_t>> Requests() const;     // each complete request frame
    std::vector<int64_t> RequestTimesUs() const;            // arrival of each, steady clock
    std::vector<int64_t> AcceptTimesUs() const;             // of each connection, steady clock
    std::vector<uint8_t> ConnectionBytes(int index) const;  // bytes of the index-th connection
    size_t RequestCount() const;
    int Accepted() const;  // connections accepted so far
    int Closed() const;    // of those, closed by either side
    void ClearRecords();

    // Waits (up to timeoutMs) for a condition on the records.
    bool WaitForRequests(size_t count, int timeoutMs = 5000) const;
    bool WaitForAccepted(int count, int timeoutMs = 5000) const;
    bool WaitForClosed(int count, int timeoutMs = 5000) const;

    // Closes every open connection now, as a server going away would. Only
    // connections already accepted count: WaitForAccepted first.
    void DropClients();

    // Off: closes every connection and stops listening, so connects are
    // refused, as a server that went away. On: listens on the same port again.
    void SetListening(bool on);

private:
    struct Outgoing {
        int64_t dueMs;
        std::vector<uint8_t> bytes;
        bool close = false;
        bool reset = false;
    };
    struct Client {
        int fd = -1;
        int index = 0;
        int answered = 0;               // requests handled
        int64_t closeAtMs = -1;         // its lifetime's end, -1 for none
        std::vector<uint8_t> inbound;   // bytes not yet a complete request
        std::deque<Outgoing> outgoing;  // in due order
    };

    void Run();
    void Accept();
    void ReadFrom(Client& client);
    void HandleRequest(Client& client, const std::vector<uint8_t>& request);
    std::vector<uint8_t> Answer(const std::vector<uint8_t>& request, uint16_t number);
    void Schedule(Client& client, int delayMs, std::vector<uint8_t> bytes, bool close, bool reset);
    void SendDue(Client& client, int64_t now);
    void CloseClient(Client& client, bool reset);
    void Wake();
    void ApplyListening(bool wanted);

    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    uint16_t port_ = 0;
    bool stop_ = false;  // guarded by mutex_
    bool dropRequested_ = false;
    bool listenWanted_ = true;  // guarded by mutex_

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<FakeReply> script_;
    FakeReply default_;
    bool strict_ = true;
    int maxRegisters_ = 0;
    bool onlyMultipleWrites_ = false;
    bool numberInValues_ = false;
    int limitTransactions_ = -1;
    int limitLifetimeMs_ = -1;
    std::vector<int64_t> acceptTimesUs_;
    std::vector<uint16_t> values_[4];
    std::vector<uint8_t> received_;
    std::vector<std::vector<uint8_t>> requests_;
    std::vector<int64_t> requestTimesUs_;
    std::vector<std::vector<uint8_t>> connectionBytes_;
    int closed_ = 0;

    std::vector<Client> clients_;  // server thread only
    std::thread thread_;
};
