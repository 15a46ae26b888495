#pragma once
// Private state of the protocol client and its results, shared by TMysqlClient.cpp and
// TMysqlResult.cpp.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/TMysqlClient.h"
#include "protocol/TMysqlNet.h"
#include "protocol/TMysqlResult.h"

// Holds the row blocks of a buffered result: a few large chunks instead of one allocation
// per row or per value.
class RowArena {
public:
    // n bytes, 4-byte aligned, always inside one chunk of at least n bytes.
    uint8_t* allocate(size_t n)
    {
        n = (n + 3) & ~size_t(3);
        if (n > m_left) {
            if (n > ChunkLimit / 4) {
                // A large row gets a chunk of its own; the current chunk stays in use.
                m_chunks.push_back({std::unique_ptr<uint8_t[]>(new uint8_t[n]), n});
                return m_chunks.back().bytes.get();
            }
            // Chunks grow by doubling up to the limit, but are never smaller than the row
            // that needs a new one.
            m_chunkSize = std::max(std::min(m_chunkSize * 2, ChunkLimit), n);
            m_chunks.push_back({std::unique_ptr<uint8_t[]>(new uint8_t[m_chunkSize]), m_chunkSize});
            m_cur = m_chunks.back().bytes.get();
            m_left = m_chunkSize;
        }
        uint8_t* p = m_cur;
        m_cur += n;
        m_left -= n;
        m_last = p;
        m_lastSize = n;
        return p;
    }
    // Gives back the unused tail of the last allocation from the current chunk.
    void shrinkLast(uint8_t* p, size_t used)
    {
        used = (used + 3) & ~size_t(3);
        if (p == m_last && used <= m_lastSize) {
            m_cur = p + used;
            m_left += m_lastSize - used;
            m_lastSize = used;
        }
    }
    // Bytes from p to the end of the chunk holding it; 0 when no chunk holds p.
    size_t roomAt(const uint8_t* p) const
    {
        for (const Chunk& c : m_chunks)
            if (p >= c.bytes.get() && p < c.bytes.get() + c.size) return size_t(c.bytes.get() + c.size - p);
        return 0;
    }

private:
    static constexpr size_t ChunkLimit = size_t(1) << 20;
    struct Chunk {
        std::unique_ptr<uint8_t[]> bytes;
        size_t size;
    };
    std::vector<Chunk> m_chunks;
    size_t m_chunkSize = 16384;
    uint8_t* m_cur = nullptr;
    size_t m_left = 0;
    uint8_t* m_last = nullptr;
    size_t m_lastSize = 0;
};

struct TMysqlClient::Impl {
    TMysqlNet net;
    std::string host, user, password, database;
    uint32_t port = 3306;
    int connectTimeout = 30;
    int readTimeout = 0;         // 0: the connect timeout
    int pingTimeout = 0;         // 0: the read timeout
    bool statementSent = false;  // the last Query's statement was written to the server
    uint32_t clientFlags = MysqlFlags::DefaultClientFlags;
    bool autoReconnect = true;
    bool preferCompression = true;
    bool allowLocalFiles = false;
    std::string tlsCaFile;  // empty: the system's certificate store
    bool refuseOldScramble = false;
    bool threadSafe = false;
    std::unique_ptr<std::recursive_mutex> lock;
    std::string scramble;
    std::string serverVersion;
    uint32_t serverCapabilities = 0;
    uint32_t serverStatus = 2;
    bool transactionLost = false;  // the connection dropped inside a transaction
    uint64_t connectionCount = 0;  // connections established so far
    // When the server last answered, and how long after that a statement still goes without
    // the ping before it (0: always ping).
    std::chrono::steady_clock::time_point lastAnswer{};
    int pingAfterIdleMs = 5000;
    size_t pipelineLimit = 262144;  // bytes sent behind a statement that may answer with rows
    uint8_t status = 0;  // 0 ready, 1 result header read, 2 unbuffered open
    uint64_t affectedRows = 0;
    uint64_t insertId = 0;
    uint32_t fieldCount = 0;              // columns of the pending result
    std::vector<TMysqlFieldInfo> fields;  // column descriptions of the pending result
    TMysqlResult::Impl* currentResult = nullptr;

    bool connect(const std::string& host, const std::string& user, const std::string& password,
                 const std::string& database, uint32_t port, uint32_t flags);
    bool reconnect();
    // Greeting, authentication and the initial database on an open transport.
    bool handshake();
    // The SSL request (the first 5 bytes of the login packet, sequence 1) and the TLS
    // handshake, when the flags ask for TLS; false with the error set and Net closed.
    bool switchToTls(const std::string& loginStart);
    // Adds to a refusal (1045) received without TLS that the account may require it.
    void explainRefusal();
    // Fails the connect because the server wants the pre-4.1 scramble; Net closed.
    void refuseOld();
    int simpleCommand(uint8_t command, const void* arg, size_t length, bool skipReply, bool retry);
    bool ping();
    // The last command failed because the server did not answer (or accept the connection)
    // within the wait: it is silent, not gone.
    bool waitRanOut();
    // The server answered within the idle window and the connection is still open.
    bool answeredRecently() const;
    // The connection dropped: a transaction open on it is lost.
    void noteConnectionLost();
    // The reply to a sent command was lost: close, keeping the error of the loss.
    void closeAfterLoss();
    bool selectDatabase(const std::string& name);
    // Sends statements [first, end) back to back and reads their answers; false when the
    // connection was lost (the answers not read are marked).
    bool runGroup(const std::vector<std::string>& statements, size_t first, size_t end,
                  std::vector<TMysqlBatchAnswer>& answers);
    void close();
    int readQueryResult();
    bool sendLocalFile(const std::string& name);
    bool readFields(uint32_t count);
    std::unique_ptr<TMysqlResult> storeResult();
    std::unique_ptr<TMysqlResult> useResult();
    int fetchRow(TMysqlResult::Impl& result);
    void freeFields();
    // The server sent bytes that cannot be parsed: the stream is no longer trusted.
    void protocolFault(int code);
    // Ends an unbuffered result on the connection (its end was read or it was drained).
    void detach(TMysqlResult::Impl& result);

    struct Guard {
        std::recursive_mutex* m;
        explicit Guard(Impl& c) : m(c.threadSafe ? c.lock.get() : nullptr)
        {
            if (m) m->lock();
        }
        ~Guard()
        {
            if (m) m->unlock();
        }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
    };
};

struct TMysqlResult::Impl {
    TMysqlClient::Impl* client = nullptr;  // unbuffered, while attached
    bool buffered = true;
    uint32_t fieldCount = 0;
    int64_t rowCount = 0;
    std::vector<TMysqlFieldInfo> fields;
    // Buffered: the row blocks and the row index.
    RowArena arena;
    std::vector<const uint8_t*> rows;
    int64_t current = -1;  // index of the current row, -1 none
    // Unbuffered: the one row block, valid when hasRow.
    std::vector<uint8_t> rowBuffer;
    bool hasRow = false;
    std::vector<uint32_t> lengths;
    bool lengthsValid = false;
    int32_t recNo = -1;
    bool eof = false;
    bool bof = true;

    const uint8_t* currentBlock() const
    {
        if (buffered) return current >= 0 ? rows[size_t(current)] : nullptr;
        return hasRow ? rowBuffer.data() : nullptr;
    }
};

// Reaches a client's state from inside the protocol library (the fuzz targets drive the
// handshake over a socket pair this way).
struct TMysqlClientAccess {
    static TMysqlClient::Impl& impl(TMysqlClient& c) { return *c.m_impl; }
};
