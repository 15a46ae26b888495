#include "protocol/TMysqlClient.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <unistd.h>

#include "protocol/MysqlClientImpl.h"
#include "protocol/MysqlFunctions.h"
#include "protocol/MysqlPackets.h"

using namespace mysqlpkt;
using namespace MysqlFlags;

namespace {
constexpr size_t LocalFileBlock = 61440;
constexpr uint32_t StatusInTransaction = 1;
constexpr uint32_t StatusAutocommit = 2;

void setTableError(TMysqlNet& net, int code) { net.SetError(code, MysqlClientErrorText(code)); }

bool startsWithWord(std::string_view text, size_t at, std::string_view word)
{
    if (text.size() - at < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[at + i])) != word[i]) return false;
    const size_t end = at + word.size();
    return end == text.size() || !(std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_');
}

bool containsWord(std::string_view text, std::string_view word)
{
    for (size_t i = 0; i + word.size() <= text.size(); ++i)
        if ((i == 0 || !(std::isalnum(static_cast<unsigned char>(text[i - 1])) || text[i - 1] == '_')) &&
            startsWithWord(text, i, word))
            return true;
    return false;
}
}  // namespace

namespace {
// Where the first word of a statement starts, past blanks, comments and opening parentheses;
// npos for a comment that carries statement text ("/*!", "/*M!") or does not end.
size_t firstWord(std::string_view sql)
{
    size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '(') {
            ++i;
        } else if (c == '#' || (c == '-' && sql.substr(i, 3) == "-- ")) {
            const size_t end = sql.find('\n', i);
            i = end == std::string_view::npos ? sql.size() : end + 1;
        } else if (sql.substr(i, 2) == "/*") {
            // "/*!" and "/*M!" carry statement text for the server: not a comment to skip.
            if (sql.substr(i, 3) == "/*!" || sql.substr(i, 4) == "/*M!") return std::string_view::npos;
            const size_t end = sql.find("*/", i + 2);
            if (end == std::string_view::npos) return std::string_view::npos;
            i = end + 2;
        } else {
            break;
        }
    }
    return i;
}
}  // namespace

bool IsReadOnlyStatement(std::string_view sql)
{
    const size_t i = firstWord(sql);
    if (i == std::string_view::npos) return false;
    for (std::string_view word : {"show", "describe", "desc", "explain"})
        if (startsWithWord(sql, i, word)) return true;
    if (!startsWithWord(sql, i, "select")) return false;
    // A select that writes a file or a variable, locks rows or takes a named lock is no read.
    for (std::string_view word : {"into", "update", "lock", "get_lock", "release_lock", "share"})
        if (containsWord(sql.substr(i), word)) return false;
    return true;
}

bool EndsPipelineGroup(std::string_view sql)
{
    // The server reads a requested file's packets from the stream the next statements would
    // already be in; a comment carrying statement text is not looked into.
    const size_t i = firstWord(sql);
    return i == std::string_view::npos || startsWithWord(sql, i, "load");
}

bool AnswersWithoutRows(std::string_view sql)
{
    const size_t i = firstWord(sql);
    if (i == std::string_view::npos) return false;
    for (std::string_view word : {"insert", "update", "delete", "replace", "start", "begin", "commit", "rollback",
                                  "savepoint", "release"})
        if (startsWithWord(sql, i, word)) return !containsWord(sql.substr(i), "returning");
    return false;
}

// ---------------------------------------------------------------------------------------
// Handshake

bool TMysqlClient::Impl::connect(const std::string& hostArg, const std::string& userArg, const std::string& passwordArg,
                                 const std::string& databaseArg, uint32_t portArg, uint32_t flags)
{
    Guard guard(*this);
    if (net.Connected()) return true;
    if (hostArg.empty() && host.empty()) return false;
    if (!hostArg.empty()) host = hostArg;
    user = userArg;
    password = passwordArg;
    database = databaseArg;
    port = portArg;
    clientFlags = flags;

    net.Connect(host, port, connectTimeout);
    if (!net.Connected()) return false;
    if (!handshake()) return false;
    ++connectionCount;
    return true;
}

bool TMysqlClient::Impl::handshake()
{
    Guard guard(*this);
    const uint32_t flags = clientFlags;
    long length = net.ReadReply();
    if (length < 0) {
        net.Close();
        return false;
    }
    const uint8_t* p = net.ReadPos();
    int protocol = p[0];
    net.SetProtocolVersion(protocol);
    if (protocol != 10 && protocol != 9) {
        char text[200];
        std::snprintf(text, sizeof text, MysqlClientErrorText(CR_VERSION_ERROR), protocol, 10);
        net.SetError(CR_VERSION_ERROR, text);
        net.Close();
        return false;
    }
    Greeting g;
    if (!parseGreeting(p, size_t(length), g)) {
        setTableError(net, CR_SERVER_HANDSHAKE_ERR);
        net.Close();
        return false;
    }
    serverVersion = g.serverVersion;
    scramble = g.scramble;
    serverCapabilities = g.serverCapabilities;
    if (g.hasStatus) serverStatus = g.serverStatus;

    clientFlags |= DefaultClientFlags;
    if (!database.empty()) clientFlags |= CLIENT_CONNECT_WITH_DB;
    bool compress = (serverCapabilities & CLIENT_COMPRESS) && (preferCompression || (flags & CLIENT_COMPRESS));
    if (compress)
        clientFlags |= CLIENT_COMPRESS;
    else
        clientFlags &= ~CLIENT_COMPRESS;

    // Authentication packet.
    std::string auth;
    auth.push_back(char(clientFlags & 0xff));
    auth.push_back(char((clientFlags >> 8) & 0xff));
    auth.append(3, '\0');
    if ((clientFlags & CLIENT_SSL) && !switchToTls(auth)) return false;
    if (refuseOldScramble && !(serverCapabilities & CLIENT_SECURE_CONNECTION)) {
        refuseOld();
        return false;
    }
    auth.append(user.substr(0, 32));
    auth.push_back('\0');
    if (password.empty()) {
        auth.push_back('\0');
    } else if (serverCapabilities & CLIENT_SECURE_CONNECTION) {
        std::string s20 = scramble;
        s20.resize(20, '\0');
        auto response = ScrambleSha1(s20, password);
        auth.push_back(char(20));
        auth.append(reinterpret_cast<const char*>(response.data()), response.size());
    } else {
        auth.append(ScrambleOld(password, std::string_view(scramble).substr(0, 8)));
        auth.push_back('\0');
    }
    if (!database.empty() && (serverCapabilities & CLIENT_CONNECT_WITH_DB)) auth.append(database.substr(0, 64));
    auth.push_back('\0');
    if (net.WritePacket(auth.data(), auth.size()) != 0 || net.Flush() != 0) {
        if (net.ErrorCode() == 0) setTableError(net, CR_SERVER_LOST);
        net.Close();
        return false;
    }

    // Authentication result; a single byte 254 asks for the pre-4.1 scramble.
    length = net.ReadReply();
    if (length < 0) {
        explainRefusal();
        net.Close();
        return false;
    }
    if (length == 1 && net.ReadPos()[0] == 254 && (serverCapabilities & CLIENT_SECURE_CONNECTION)) {
        if (refuseOldScramble) {
            refuseOld();
            return false;
        }
        std::string answer(9, '\0');
        if (!password.empty()) {
            std::string old = ScrambleOld(password, std::string_view(scramble).substr(0, 8));
            std::memcpy(answer.data(), old.data(), std::min<size_t>(old.size(), 8));
        }
        if (net.WritePacket(answer.data(), answer.size()) != 0 || net.Flush() != 0) {
            setTableError(net, CR_SERVER_LOST);
            net.Close();
            return false;
        }
        if (net.ReadReply() < 0) {
            explainRefusal();
            net.Close();
            return false;
        }
    }

    net.SetCompress((clientFlags & CLIENT_COMPRESS) != 0);
    if (readTimeout > 0) net.Vio().SetTimeoutSeconds(readTimeout);
    status = 0;
    lastAnswer = std::chrono::steady_clock::now();
    if (!database.empty() && !(serverCapabilities & CLIENT_CONNECT_WITH_DB)) {
        std::string name = database;
        if (!selectDatabase(name)) {
            net.Close();
            return false;
        }
    }
    return true;
}

bool TMysqlClient::Impl::switchToTls(const std::string& loginStart)
{
    if (!(serverCapabilities & CLIENT_SSL)) {
        const std::string text =
            "SSL connection error: the connection settings require TLS, but the server " + host + " does not offer it";
        net.SetError(CR_SSL_CONNECTION_ERROR, text);
        net.Close();
        return false;
    }
    if (net.WritePacket(loginStart.data(), loginStart.size()) != 0 || net.Flush() != 0) {
        if (net.ErrorCode() == 0) setTableError(net, CR_SERVER_LOST);
        net.Close();
        return false;
    }
    return net.StartTls(tlsCaFile, host) == 0;
}

void TMysqlClient::Impl::refuseOld()
{
    net.SetError(CR_SECURE_AUTH, "The server " + host +
                                     " asks for the old (pre-4.1) password scramble, which this "
                                     "connection refuses: the account needs a 4.1 password");
    net.Close();
}

void TMysqlClient::Impl::explainRefusal()
{
    // A server that requires TLS of every connection, or an account that requires it, refuses
    // a client without TLS like a wrong password; only a server offering TLS can do so.
    if (net.ErrorCode() == 1045 && !net.Vio().Encrypted() && (serverCapabilities & CLIENT_SSL))
        net.SetErrorText(net.ErrorText() +
                         " - without TLS, which a server or account that requires TLS refuses this way");
}

bool TMysqlClient::Impl::reconnect()
{
    std::string h = host, u = user, pw = password, db = database;
    return connect(h, u, pw, db, port, clientFlags);
}

// ---------------------------------------------------------------------------------------
// Commands

void TMysqlClient::Impl::noteConnectionLost()
{
    if (serverStatus & StatusInTransaction) transactionLost = true;
}

void TMysqlClient::Impl::closeAfterLoss()
{
    const int code = net.ErrorCode();
    const std::string text = net.ErrorText();
    noteConnectionLost();
    close();
    net.SetError(code, text);
}

bool TMysqlClient::Impl::answeredRecently() const
{
    if (pingAfterIdleMs <= 0 || !net.Connected()) return false;
    return std::chrono::steady_clock::now() - lastAnswer < std::chrono::milliseconds(pingAfterIdleMs);
}

int TMysqlClient::Impl::simpleCommand(uint8_t command, const void* arg, size_t length, bool skipReply, bool retry)
{
    // A connection lost inside a transaction is never silently replaced: the work of the
    // transaction is gone, and a new connection would let a later COMMIT report success.
    // Every command fails until the owner connects again explicitly (or closes).
    auto mayReconnect = [this] { return autoReconnect && !transactionLost && !(serverStatus & StatusInTransaction); };
    if (net.Connected() && status == 0 && net.Vio().ReadableWhileIdle()) {
        // The server closed the connection (or sent what nobody asked for) since its last
        // answer. Nothing of this command has been sent, so it may run on a new connection.
        net.Close();
        freeFields();
        noteConnectionLost();
        setTableError(net, CR_SERVER_GONE_ERROR);
    }
    if (!net.Connected()) {
        if (transactionLost) {
            setTableError(net, CR_SERVER_GONE_ERROR);
            return -1;
        }
        if (!mayReconnect()) {
            serverStatus &= ~StatusInTransaction;
            return -1;
        }
        if (!reconnect()) return -1;
    }
    if (status != 0) {
        setTableError(net, CR_COMMANDS_OUT_OF_SYNC);
        return -1;
    }
    net.ClearError();
    affectedRows = 0;
    insertId = 0;
    net.Clear();
    if (net.WriteCommand(command, arg, length) != 0) {
        if (net.ErrorCode() == PacketTooLarge) {
            // Nothing was sent: the connection stays as it is.
            setTableError(net, CR_NET_PACKET_TOO_LARGE);
            return -1;
        }
        net.Close();
        freeFields();
        noteConnectionLost();
        bool sent = false;
        if (mayReconnect() && reconnect()) {
            net.ClearError();
            net.Clear();
            sent = net.WriteCommand(command, arg, length) == 0;
        }
        if (!sent) {
            setTableError(net, CR_SERVER_GONE_ERROR);
            return -1;
        }
    }
    if (skipReply) return 0;
    // A ping is answered at once by any live server, even one that holds statements back:
    // it may have a shorter wait than the statements, so a silent server is found quickly.
    const int normalWait = net.Vio().TimeoutSeconds();
    const bool shortWait = command == COM_PING && pingTimeout > 0 && pingTimeout < normalWait;
    if (shortWait) net.Vio().SetTimeoutSeconds(pingTimeout);
    const long reply = net.ReadReply();
    if (shortWait) net.Vio().SetTimeoutSeconds(normalWait);
    if (reply >= 0) {
        lastAnswer = std::chrono::steady_clock::now();
        return 0;
    }
    const bool ranOut = waitRanOut();
    if (net.ErrorCode() == CR_SERVER_LOST) {
        closeAfterLoss();
        if (transactionLost) return -1;
    }
    // A server that let the wait run out is not connected to again by the same command: it
    // would most likely cost another wait. The caller decides (another server of a list, or
    // the next command).
    if (retry && !ranOut) return simpleCommand(command, arg, length, skipReply, false);
    return -1;
}

bool TMysqlClient::Impl::waitRanOut() { return net.ErrorCode() != 0 && net.Vio().LastSocketError() == ETIMEDOUT; }

bool TMysqlClient::Impl::ping()
{
    Guard guard(*this);
    return simpleCommand(COM_PING, nullptr, 0, false, autoReconnect) == 0;
}

bool TMysqlClient::Impl::selectDatabase(const std::string& name)
{
    Guard guard(*this);
    if (simpleCommand(COM_INIT_DB, name.data(), name.size(), false, autoReconnect) != 0) return false;
    database = name;
    return true;
}

void TMysqlClient::Impl::close()
{
    Guard guard(*this);
    scramble.clear();
    serverVersion.clear();
    affectedRows = 0;
    insertId = 0;
    status = 0;
    serverCapabilities = 0;
    serverStatus = 2;
    if (net.Connected()) {
        freeFields();
        bool saved = autoReconnect;
        autoReconnect = false;
        simpleCommand(COM_QUIT, nullptr, 0, true, false);
        net.Close();
        autoReconnect = saved;
    }
    freeFields();
    if (currentResult) {
        currentResult->client = nullptr;
        currentResult = nullptr;
    }
}

void TMysqlClient::Impl::freeFields()
{
    fields.clear();
    fieldCount = 0;
}

void TMysqlClient::Impl::protocolFault(int code)
{
    net.Vio().Close();
    setTableError(net, code);
    freeFields();
    status = 0;
    if (currentResult) {
        currentResult->client = nullptr;
        currentResult = nullptr;
    }
}

int TMysqlClient::Impl::readQueryResult()
{
    long length = net.ReadReply();
    if (length < 0) return -1;
    freeFields();
    for (;;) {
        PacketReader r(net.ReadPos(), size_t(length));
        uint64_t n = r.lengthCoded();
        if (r.failed() || (n != NullLength && n > 0xffffffffu)) {
            protocolFault(CR_SERVER_LOST);
            return -1;
        }
        if (n == NullLength) {
            // LOAD DATA LOCAL: the rest of the payload names the file the server wants.
            std::string name(r.rest());
            bool sent = sendLocalFile(name);
            int code = net.ErrorCode();
            std::string text = net.ErrorText();
            length = net.ReadReply();
            if (length < 0) return -1;
            if (!sent) {
                net.SetError(code, text);
                return -1;
            }
            continue;
        }
        lastAnswer = std::chrono::steady_clock::now();
        if (n == 0) {
            OkPacket ok;
            parseOkPacket(net.ReadPos(), size_t(length), serverCapabilities & CLIENT_TRANSACTIONS, ok);
            affectedRows = ok.affectedRows;
            insertId = ok.insertId;
            if (ok.hasStatus) serverStatus = ok.serverStatus;
            return 0;
        }
        if (!(serverStatus & StatusAutocommit)) serverStatus |= StatusInTransaction;
        if (!readFields(uint32_t(n))) return -1;
        status = 1;
        fieldCount = uint32_t(n);
        return 0;
    }
}

bool TMysqlClient::Impl::readFields(uint32_t count)
{
    const bool longFlag = serverCapabilities & CLIENT_LONG_FLAG;
    try {
        fields.clear();
        fields.reserve(std::min<uint32_t>(count, 4096));
        for (;;) {
            long length = net.ReadReply();
            if (length < 0) {
                fields.clear();
                return false;
            }
            const uint8_t* p = net.ReadPos();
            if (isEofPacket(p, size_t(length))) break;
            TMysqlFieldInfo f;
            if (fields.size() >= count || !parseColumnDefinition(p, size_t(length), longFlag, f)) {
                protocolFault(CR_SERVER_LOST);
                return false;
            }
            fields.push_back(std::move(f));
        }
    } catch (const std::bad_alloc&) {
        protocolFault(CR_OUT_OF_MEMORY);
        return false;
    }
    if (fields.size() != count) {
        protocolFault(CR_SERVER_LOST);
        return false;
    }
    return true;
}

bool TMysqlClient::Impl::sendLocalFile(const std::string& name)
{
    if (!allowLocalFiles) {
        // The request is answered with the empty packet and nothing else is sent.
        net.WritePacket(nullptr, 0);
        net.Flush();
        std::string text =
            "LOAD DATA LOCAL INFILE refused: sending local files is switched off ('" + name.substr(0, 64) + "')";
        net.SetError(CR_UNKNOWN_ERROR, text);
        return false;
    }
    int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        char text[300];
        std::snprintf(text, sizeof text, "File '%s' not found (Errcode: %d)", name.substr(0, 200).c_str(), err);
        net.SetError(CR_UNKNOWN_ERROR, text);
        net.WritePacket(nullptr, 0);
        net.Flush();
        return false;
    }
    std::vector<char> block(LocalFileBlock);
    for (;;) {
        ssize_t n = ::read(fd, block.data(), block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            // A read error of the file: end the transfer so the connection stays usable.
            int err = errno;
            ::close(fd);
            net.WritePacket(nullptr, 0);
            net.Flush();
            char text[300];
            std::snprintf(text, sizeof text, "Error reading file '%s' (Errcode: %d)", name.substr(0, 200).c_str(), err);
            net.SetError(CR_UNKNOWN_ERROR, text);
            return false;
        }
        if (n == 0) break;
        if (net.WritePacket(block.data(), size_t(n)) != 0) {
            ::close(fd);
            setTableError(net, CR_SERVER_LOST);
            return false;
        }
    }
    ::close(fd);
    if (net.WritePacket(nullptr, 0) != 0 || net.Flush() != 0) {
        setTableError(net, CR_SERVER_LOST);
        return false;
    }
    return true;
}

bool TMysqlClient::Impl::runGroup(const std::vector<std::string>& statements, size_t first, size_t end,
                                  std::vector<TMysqlBatchAnswer>& answers)
{
    auto refuse = [&](TMysqlBatchAnswer& a) {
        a.ErrorCode = net.ErrorCode();
        a.ErrorText = net.ErrorText();
    };
    // The first statement goes out as any command does: a connection found closed before it is
    // replaced when that is allowed, since nothing of the group has been sent yet.
    const std::string& head = statements[first];
    if (simpleCommand(COM_QUERY, head.data(), head.size(), true, autoReconnect) != 0) {
        refuse(answers[first]);
        // A statement too large to send leaves the connection as it was; the others still run.
        return net.Connected() && net.ErrorCode() == CR_NET_PACKET_TOO_LARGE;
    }
    answers[first].sent = true;
    statementSent = true;
    // An answer continues the sequence of its own command, which took as many packets (or
    // compressed packets) as its length needed.
    std::vector<uint8_t> answerSequence(end - first, 0);
    answerSequence[0] = net.Sequence();

    // The rest follow without waiting; each is a command of its own (sequence 0).
    net.SetPipelining(true);
    size_t sentEnd = first + 1;
    for (size_t k = first + 1; k < end; ++k) {
        net.Clear();
        if (net.WriteCommand(COM_QUERY, statements[k].data(), statements[k].size()) != 0) {
            if (net.ErrorCode() == PacketTooLarge) {
                // Refused before a byte of it was written.
                setTableError(net, CR_NET_PACKET_TOO_LARGE);
                refuse(answers[k]);
                net.ClearError();
                continue;
            }
            // Part of it may have gone out: its outcome is unknown, and nothing follows it.
            answers[k].sent = true;
            sentEnd = k + 1;
            break;
        }
        answers[k].sent = true;
        answerSequence[k - first] = net.Sequence();
        sentEnd = k + 1;
    }
    net.SetPipelining(false);

    // Every answer is read, in order, so the connection stays in step whatever failed.
    for (size_t k = first; k < sentEnd; ++k) {
        TMysqlBatchAnswer& a = answers[k];
        if (!a.sent) continue;
        net.SetSequence(answerSequence[k - first]);
        net.ClearError();
        affectedRows = 0;
        insertId = 0;
        bool read = readQueryResult() == 0;
        if (read && status == 1) {
            a.Result = storeResult();
            read = a.Result != nullptr;
        }
        if (read) {
            a.answered = true;
            a.AffectedRows = affectedRows;
            a.InsertId = insertId;
            continue;
        }
        if (net.Connected()) {
            // The server refused the statement; its error packet ended the answer.
            a.answered = true;
            refuse(a);
            continue;
        }
        // The connection is gone: this statement and the ones sent after it may or may not
        // have run. They are reported as lost, never sent again.
        if (net.ErrorCode() == 0) setTableError(net, CR_SERVER_LOST);
        for (size_t j = k; j < sentEnd; ++j)
            if (answers[j].sent) refuse(answers[j]);
        closeAfterLoss();
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Results

std::unique_ptr<TMysqlResult> TMysqlClient::Impl::storeResult()
{
    if (fieldCount == 0) return nullptr;
    if (status != 1) {
        setTableError(net, CR_COMMANDS_OUT_OF_SYNC);
        return nullptr;
    }
    std::unique_ptr<TMysqlResult::Impl> res;
    try {
        res = std::make_unique<TMysqlResult::Impl>();
        res->buffered = true;
        res->fieldCount = fieldCount;
        res->lengths.assign(fieldCount, 0);
        std::vector<uint32_t> maxLengths(fieldCount, 0);
        const uint32_t n = fieldCount;
        for (;;) {
            long length = net.ReadReply();
            if (length < 0) {
                // An error packet ends the result on the server side; a lost connection
                // was closed by the reply read.
                freeFields();
                status = 0;
                return nullptr;
            }
            const uint8_t* p = net.ReadPos();
            if (isEofPacket(p, size_t(length))) break;
            uint8_t* block = res->arena.allocate(rowBlockBound(size_t(length), n));
            size_t used = parseRow(p, size_t(length), n, block, maxLengths.data());
            if (used == 0) {
                protocolFault(CR_SERVER_LOST);
                return nullptr;
            }
            res->arena.shrinkLast(block, used);
            res->rows.push_back(block);
        }
        res->fields = std::move(fields);
        for (uint32_t i = 0; i < n && i < res->fields.size(); ++i)
            res->fields[i].MaxLength = maxLengths[i];
    } catch (const std::bad_alloc&) {
        res.reset();
        protocolFault(CR_OUT_OF_MEMORY);
        return nullptr;
    }
    res->rowCount = int64_t(res->rows.size());
    if (res->rowCount > 0) {
        res->current = 0;
        res->recNo = 0;
        res->eof = false;
    } else {
        res->current = -1;
        res->eof = true;
        res->recNo = -1;
    }
    res->bof = true;
    affectedRows = uint64_t(res->rowCount);
    freeFields();
    status = 0;
    return std::unique_ptr<TMysqlResult>(new TMysqlResult(std::move(res)));
}

std::unique_ptr<TMysqlResult> TMysqlClient::Impl::useResult()
{
    if (fieldCount == 0) return nullptr;
    if (status != 1) {
        setTableError(net, CR_COMMANDS_OUT_OF_SYNC);
        return nullptr;
    }
    auto res = std::make_unique<TMysqlResult::Impl>();
    res->buffered = false;
    res->fieldCount = fieldCount;
    res->lengths.assign(fieldCount, 0);
    res->fields = std::move(fields);
    res->rowCount = 0;
    res->client = this;
    status = 2;
    currentResult = res.get();
    std::unique_ptr<TMysqlResult> result(new TMysqlResult(std::move(res)));
    result->Next();
    result->m_impl->bof = true;
    freeFields();
    return result;
}

int TMysqlClient::Impl::fetchRow(TMysqlResult::Impl& r)
{
    long length = net.ReadReply();
    if (length < 0) return -1;
    const uint8_t* p = net.ReadPos();
    if (isEofPacket(p, size_t(length))) return 1;
    try {
        r.rowBuffer.resize(rowBlockBound(size_t(length), r.fieldCount));
    } catch (const std::bad_alloc&) {
        protocolFault(CR_OUT_OF_MEMORY);
        return -1;
    }
    if (parseRow(p, size_t(length), r.fieldCount, r.rowBuffer.data(), nullptr) == 0) {
        r.hasRow = false;
        protocolFault(CR_SERVER_LOST);
        return -1;
    }
    r.hasRow = true;
    for (uint32_t i = 0; i < r.fieldCount; ++i)
        r.lengths[i] = rowLength(r.rowBuffer.data(), i);
    return 0;
}

void TMysqlClient::Impl::detach(TMysqlResult::Impl& r)
{
    if (currentResult == &r) currentResult = nullptr;
    if (status == 2) status = 0;
    net.ShrinkBuffer();
    affectedRows = uint64_t(r.rowCount);
    r.client = nullptr;
}

// ---------------------------------------------------------------------------------------
// Public interface

TMysqlClient::TMysqlClient() : m_impl(std::make_unique<Impl>()) {}

TMysqlClient::~TMysqlClient()
{
    // Close under the lock when thread-safe; the lock itself goes with the state.
    std::recursive_mutex* lock = m_impl->threadSafe ? m_impl->lock.get() : nullptr;
    if (lock) lock->lock();
    m_impl->close();
    if (lock) lock->unlock();
}

bool TMysqlClient::Connect(const std::string& host, const std::string& user, const std::string& password,
                           const std::string& database, uint32_t port, uint32_t clientFlags)
{
    if (port > 65535) {
        // A port number outside the TCP range would wrap to another port.
        m_impl->net.SetError(CR_CONNECTION_ERROR, "Can't connect to MySQL server on '" + host + "': port " +
                                                      std::to_string(port) + " is not 1 to 65535");
        return false;
    }
    m_impl->transactionLost = false;
    return m_impl->connect(host, user, password, database, port, clientFlags);
}

bool TMysqlClient::Reconnect()
{
    m_impl->transactionLost = false;
    return m_impl->reconnect();
}

bool TMysqlClient::TransactionLost() const { return m_impl->transactionLost; }
uint64_t TMysqlClient::ConnectionCount() const { return m_impl->connectionCount; }

void TMysqlClient::SetThreadSafe(bool on)
{
    if (on) {
        if (!m_impl->lock) m_impl->lock = std::make_unique<std::recursive_mutex>();
    } else if (m_impl->lock) {
        m_impl->lock->lock();
        auto lock = std::move(m_impl->lock);
        m_impl->threadSafe = false;
        lock->unlock();
    }
    m_impl->threadSafe = on;
}

bool TMysqlClient::ThreadSafe() const { return m_impl->threadSafe; }

bool TMysqlClient::Ping() { return m_impl->ping(); }

std::unique_ptr<TMysqlResult> TMysqlClient::Query(std::string_view sql, bool store, bool& succeeded)
{
    succeeded = false;
    Impl& c = *m_impl;
    c.statementSent = false;
    // A connection that answered moments ago needs no ping: a server that has closed it since
    // is noticed before the statement is sent (see SimpleCommand).
    bool recent = false;
    {
        Impl::Guard guard(c);
        recent = c.answeredRecently();
    }
    if (c.autoReconnect && !recent && !c.ping()) return nullptr;
    Impl::Guard guard(c);
    const bool inTransaction = (c.serverStatus & StatusInTransaction) != 0;
    if (c.simpleCommand(COM_QUERY, sql.data(), sql.size(), true, c.autoReconnect) != 0) return nullptr;
    c.statementSent = true;
    if (c.readQueryResult() != 0) {
        if (c.net.Connected() || c.net.ErrorCode() != CR_SERVER_LOST) return nullptr;
        // The statement was sent and no answer came: whether it ran is unknown. Only a read,
        // outside a transaction, is run once more on a new connection, and only when the
        // server ended the connection (one that let the wait run out would most likely let
        // the next one run out too); anything else reports the loss.
        const bool ranOut = c.waitRanOut();
        c.closeAfterLoss();
        if (!c.autoReconnect || inTransaction || c.transactionLost || ranOut || !IsReadOnlyStatement(sql))
            return nullptr;
        if (c.simpleCommand(COM_QUERY, sql.data(), sql.size(), true, false) != 0) return nullptr;
        if (c.readQueryResult() != 0) {
            if (!c.net.Connected()) c.closeAfterLoss();
            return nullptr;
        }
    }
    std::unique_ptr<TMysqlResult> result;
    if (store) {
        result = c.storeResult();
        c.net.ShrinkBuffer();
    } else {
        result = c.useResult();
    }
    succeeded = true;
    return result;
}

bool TMysqlClient::QueryBatch(const std::vector<std::string>& statements, std::vector<TMysqlBatchAnswer>& answers)
{
    Impl& c = *m_impl;
    answers.clear();
    answers.resize(statements.size());
    c.statementSent = false;
    if (statements.empty()) return true;
    bool recent = false;
    {
        Impl::Guard guard(c);
        recent = c.answeredRecently();
    }
    bool live = !c.autoReconnect || recent || c.ping();
    Impl::Guard guard(c);
    for (size_t first = 0; live && first < statements.size();) {
        // The bytes written behind a statement that may answer with rows are bounded: the
        // server may be writing those rows while the client still writes, and neither reads
        // until its own write is done once the sockets' buffers are full. Behind changes,
        // whose answers are a few bytes, any length may follow.
        size_t end = first + 1;
        bool rowsAhead = !AnswersWithoutRows(statements[first]);
        size_t behindRows = 0;
        while (end < statements.size() && !EndsPipelineGroup(statements[end - 1])) {
            if (rowsAhead && behindRows + statements[end].size() > c.pipelineLimit) break;
            if (rowsAhead) behindRows += statements[end].size();
            rowsAhead = rowsAhead || !AnswersWithoutRows(statements[end]);
            ++end;
        }
        live = c.runGroup(statements, first, end, answers);
        first = end;
    }
    c.net.ShrinkBuffer();
    // Statements never sent share the failure that stopped the batch.
    const int stopCode = c.net.ErrorCode() != 0 ? c.net.ErrorCode() : int(CR_SERVER_GONE_ERROR);
    const std::string stopText = c.net.ErrorCode() != 0 ? c.net.ErrorText() : MysqlClientErrorText(CR_SERVER_GONE_ERROR);
    const TMysqlBatchAnswer* failed = nullptr;
    for (TMysqlBatchAnswer& a : answers) {
        if (!live && !a.sent && a.ErrorCode == 0) {
            a.ErrorCode = stopCode;
            a.ErrorText = stopText;
        }
        if (!failed && !a.Succeeded()) failed = &a;
    }
    if (failed) {
        c.net.SetError(failed->ErrorCode, failed->ErrorText);
        return false;
    }
    c.net.ClearError();
    c.affectedRows = answers.back().AffectedRows;
    c.insertId = answers.back().InsertId;
    return true;
}

size_t TMysqlClient::PipelineLimit() const { return m_impl->pipelineLimit; }
void TMysqlClient::SetPipelineLimit(size_t bytes) { m_impl->pipelineLimit = bytes; }

bool TMysqlClient::SelectDatabase(const std::string& name) { return m_impl->selectDatabase(name); }
void TMysqlClient::Close()
{
    m_impl->transactionLost = false;
    m_impl->close();
}
bool TMysqlClient::Connected() const { return m_impl->net.Connected(); }
int TMysqlClient::ErrorCode() const { return m_impl->net.ErrorCode(); }
std::string TMysqlClient::ErrorText() const { return m_impl->net.ErrorText(); }
const std::string& TMysqlClient::ServerVersion() const { return m_impl->serverVersion; }
uint32_t TMysqlClient::ServerCapabilities() const { return m_impl->serverCapabilities; }
uint32_t TMysqlClient::ServerStatus() const { return m_impl->serverStatus; }
uint64_t TMysqlClient::AffectedRows() const { return m_impl->affectedRows; }
uint64_t TMysqlClient::InsertId() const { return m_impl->insertId; }
const std::string& TMysqlClient::Host() const { return m_impl->host; }
const std::string& TMysqlClient::Database() const { return m_impl->database; }
uint32_t TMysqlClient::Port() const { return m_impl->port; }
uint32_t TMysqlClient::ClientFlags() const { return m_impl->clientFlags; }
int TMysqlClient::ConnectTimeout() const { return m_impl->connectTimeout; }
void TMysqlClient::SetConnectTimeout(int seconds) { m_impl->connectTimeout = seconds; }
int TMysqlClient::ReadTimeout() const { return m_impl->readTimeout; }
void TMysqlClient::SetReadTimeout(int seconds)
{
    m_impl->readTimeout = seconds;
    if (m_impl->net.Connected()) m_impl->net.Vio().SetTimeoutSeconds(seconds > 0 ? seconds : m_impl->connectTimeout);
}
bool TMysqlClient::StatementSent() const { return m_impl->statementSent; }
bool TMysqlClient::TimedOut() const { return m_impl->waitRanOut(); }
int TMysqlClient::PingTimeout() const { return m_impl->pingTimeout; }
void TMysqlClient::SetPingTimeout(int seconds) { m_impl->pingTimeout = seconds > 0 ? seconds : 0; }
bool TMysqlClient::AutoReconnect() const { return m_impl->autoReconnect; }
void TMysqlClient::SetAutoReconnect(bool on) { m_impl->autoReconnect = on; }
int TMysqlClient::PingAfterIdle() const { return m_impl->pingAfterIdleMs; }
void TMysqlClient::SetPingAfterIdle(int milliseconds) { m_impl->pingAfterIdleMs = milliseconds; }
bool TMysqlClient::PreferCompression() const { return m_impl->preferCompression; }
void TMysqlClient::SetPreferCompression(bool on) { m_impl->preferCompression = on; }
bool TMysqlClient::AllowLocalFiles() const { return m_impl->allowLocalFiles; }
void TMysqlClient::SetAllowLocalFiles(bool on) { m_impl->allowLocalFiles = on; }
const std::string& TMysqlClient::TlsCaFile() const { return m_impl->tlsCaFile; }
void TMysqlClient::SetTlsCaFile(const std::string& path) { m_impl->tlsCaFile = path; }
bool TMysqlClient::RefuseOldScramble() const { return m_impl->refuseOldScramble; }
void TMysqlClient::SetRefuseOldScramble(bool on) { m_impl->refuseOldScramble = on; }
bool TMysqlClient::Encrypted() const { return m_impl->net.Vio().Encrypted(); }
std::string TMysqlClient::TlsVersion() const { return m_impl->net.Vio().TlsVersion(); }
std::string TMysqlClient::TlsCipher() const { return m_impl->net.Vio().TlsCipher(); }
uint64_t TMysqlClient::RoundTrips() const { return m_impl->net.RoundTrips(); }
