#include "protocol/TMysqlNet.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include <zlib.h>

#include "protocol/MysqlFunctions.h"
#include "protocol/MysqlPackets.h"

using namespace mysqlpkt;

namespace {
constexpr size_t PlainHeader = 4;
constexpr size_t CompressedHeader = 7;
constexpr size_t MinCompressLength = 50;

uint32_t le24(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16); }
void put24(uint8_t* p, size_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
}
}  // namespace

TMysqlNet::~TMysqlNet() { Close(); }

void TMysqlNet::prepare()
{
    std::free(m_buffer);
    m_buffer = static_cast<uint8_t*>(std::malloc(InitialBufferSize));
    m_bufferSize = m_buffer ? InitialBufferSize : 0;
    m_out.reset(new (std::nothrow) uint8_t[InitialBufferSize]);
    m_writePos = m_readPos = 0;
    m_sequence = 0;
    m_compress = false;
    m_busy = 0;
    m_protocolVersion = 10;
    m_inStart = m_inEnd = 0;
    m_savedPos = SIZE_MAX;
    m_raw.clear();
    m_raw.shrink_to_fit();
    m_rawStart = m_rawEnd = 0;
    m_pipelining = false;
    m_sentSinceRead = false;
}

int TMysqlNet::Connect(const std::string& host, uint32_t port, int timeoutSeconds)
{
    if (m_vio.IsOpen()) return 0;
    int r = m_vio.Connect(host, port, timeoutSeconds);
    if (r != 0) return r;
    prepare();
    if (!m_buffer || !m_out) {
        m_vio.Close();
        m_vio.SetError(CR_OUT_OF_MEMORY, MysqlClientErrorText(CR_OUT_OF_MEMORY));
        return -1;
    }
    return 0;
}

void TMysqlNet::Adopt(int socket, int timeoutSeconds)
{
    m_vio.Adopt(socket, timeoutSeconds);
    prepare();
}

void TMysqlNet::Close()
{
    if (m_vio.IsOpen()) m_vio.Close();
    std::free(m_buffer);
    m_buffer = nullptr;
    m_bufferSize = 0;
    m_out.reset();
    m_writePos = m_readPos = 0;
    m_inStart = m_inEnd = 0;
    m_savedPos = SIZE_MAX;
    m_raw.clear();
    m_raw.shrink_to_fit();
    m_rawStart = m_rawEnd = 0;
    m_work.clear();
    m_work.shrink_to_fit();
}

void TMysqlNet::Clear()
{
    m_sequence = 0;
    m_writePos = 0;
}

int TMysqlNet::StartTls(const std::string& caFile, const std::string& host)
{
    if (!m_vio.IsOpen() || !m_buffer) return -1;
    if (Flush() != 0) {
        Close();
        m_vio.SetError(CR_SERVER_LOST, MysqlClientErrorText(CR_SERVER_LOST));
        return -1;
    }
    // Whoever sits between client and server could otherwise place bytes ahead of the
    // handshake that would later read as if they had come protected.
    if (m_inEnd > m_inStart || m_rawEnd > m_rawStart) {
        Close();
        m_vio.SetError(CR_SSL_CONNECTION_ERROR, "SSL connection error: the server sent data before the TLS handshake");
        return -1;
    }
    discardInput();
    if (m_vio.StartTls(caFile, host) != 0) {
        const int code = m_vio.ErrorCode();
        const std::string text = m_vio.ErrorText();
        Close();
        m_vio.SetError(code, text);
        return -1;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------
// Reading

void TMysqlNet::restoreSaved()
{
    if (m_savedPos != SIZE_MAX) {
        if (m_savedPos < m_bufferSize) m_buffer[m_savedPos] = m_savedByte;
        m_savedPos = SIZE_MAX;
    }
}

void TMysqlNet::discardInput()
{
    m_savedPos = SIZE_MAX;
    m_inStart = m_inEnd = 0;
    m_readPos = 0;
}

bool TMysqlNet::grow(size_t wanted, size_t limit)
{
    if (wanted >= limit) {
        m_vio.SetErrorCode(PacketTooLarge);
        return false;
    }
    size_t size = (wanted + 4095) / 4096 * 4096;
    auto* p = static_cast<uint8_t*>(std::realloc(m_buffer, size));
    if (!p) return false;
    m_buffer = p;
    m_bufferSize = uint32_t(size);
    return true;
}

// Makes at least count unconsumed bytes available at m_inStart, with one spare byte after
// them for the terminating 0. Reads from the socket as much as the buffer takes.
bool TMysqlNet::ensure(size_t count)
{
    if (m_inEnd - m_inStart >= count && m_inStart + count < m_bufferSize) return true;
    if (m_inStart + count + 1 > m_bufferSize) {
        // Move what is unconsumed to the start, then grow if that is not enough.
        size_t avail = m_inEnd - m_inStart;
        if (m_inStart > 0) {
            std::memmove(m_buffer, m_buffer + m_inStart, avail);
            m_inStart = 0;
            m_inEnd = avail;
        }
        if (count + 1 > m_bufferSize && !grow(count + 1)) return false;
    }
    while (m_inEnd - m_inStart < count) {
        if (!(m_compress ? fillCompressed() : fillPlain())) return false;
    }
    return true;
}

// One receive of as much as the buffer has room for, with the retry rules of the socket.
bool TMysqlNet::fillPlain()
{
    for (;;) {
        long n = m_vio.Read(m_buffer + m_inEnd, m_bufferSize - m_inEnd);
        if (n > 0) {
            m_inEnd += size_t(n);
            return true;
        }
        if (m_vio.ShouldRetry() && m_retries > 0) {
            --m_retries;
            continue;
        }
        if (m_vio.WasInterrupted()) continue;
        return false;
    }
}

// Makes count bytes of raw compressed input available at m_rawStart.
bool TMysqlNet::ensureRaw(size_t count)
{
    if (m_rawEnd - m_rawStart >= count) return true;
    if (m_rawStart + count > m_raw.size()) {
        size_t avail = m_rawEnd - m_rawStart;
        if (m_rawStart > 0) {
            std::memmove(m_raw.data(), m_raw.data() + m_rawStart, avail);
            m_rawStart = 0;
            m_rawEnd = avail;
        }
        if (count > m_raw.size()) m_raw.resize(std::max<size_t>(count, InitialBufferSize));
    }
    while (m_rawEnd - m_rawStart < count) {
        long n = m_vio.Read(m_raw.data() + m_rawEnd, m_raw.size() - m_rawEnd);
        if (n > 0) {
            m_rawEnd += size_t(n);
            continue;
        }
        if (m_vio.ShouldRetry() && m_retries > 0) {
            --m_retries;
            continue;
        }
        if (m_vio.WasInterrupted()) continue;
        return false;
    }
    return true;
}

// Reads one compressed packet and appends its inflated body to the buffer's input.
bool TMysqlNet::fillCompressed()
{
    if (!ensureRaw(CompressedHeader)) return false;
    const uint8_t* h = m_raw.data() + m_rawStart;
    size_t bodyLength = le24(h);
    uint8_t seq = h[3];
    size_t plainLength = le24(h + 4);
    if (seq != m_sequence) return false;
    ++m_sequence;
    // The declared length is capped by the buffer limit before anything is allocated. What
    // is already buffered is at most the start of one inner packet, which may straddle
    // compressed packets of any size up to the limit: the buffer may hold both.
    size_t length = plainLength ? plainLength : bodyLength;
    size_t avail = m_inEnd - m_inStart;
    if (length > m_maxBufferSize || avail + length + 1 >= 2 * size_t(m_maxBufferSize)) {
        m_vio.SetErrorCode(PacketTooLarge);
        return false;
    }
    if (!ensureRaw(CompressedHeader + bodyLength)) return false;
    if (m_inEnd + length + 1 > m_bufferSize) {
        if (m_inStart > 0) {
            std::memmove(m_buffer, m_buffer + m_inStart, avail);
            m_inStart = 0;
            m_inEnd = avail;
        }
        if (m_inEnd + length + 1 > m_bufferSize && !grow(m_inEnd + length + 1, 2 * size_t(m_maxBufferSize)))
            return false;
    }
    const uint8_t* body = m_raw.data() + m_rawStart + CompressedHeader;
    if (plainLength) {
        uLongf out = uLongf(plainLength);
        if (::uncompress(m_buffer + m_inEnd, &out, body, uLong(bodyLength)) != Z_OK || out != plainLength) return false;
    } else if (bodyLength) {
        std::memcpy(m_buffer + m_inEnd, body, bodyLength);
    }
    m_inEnd += length;
    m_rawStart += CompressedHeader + bodyLength;
    if (m_rawStart == m_rawEnd) m_rawStart = m_rawEnd = 0;
    return true;
}

long TMysqlNet::ReadPacket()
{
    if (!m_vio.IsOpen() || !m_buffer) return -1;
    restoreSaved();
    m_sentSinceRead = false;
    m_busy = 1;
    m_retries = 2;
    long result = -1;
    if (ensure(PlainHeader)) {
        const uint8_t* h = m_buffer + m_inStart;
        size_t length = le24(h);
        uint8_t seq = h[3];
        // In compressed mode the inner sequence numbers are not checked.
        if (m_compress || seq == m_sequence) {
            if (!m_compress) ++m_sequence;
            if (length + 1 >= m_maxBufferSize) {
                m_vio.SetErrorCode(PacketTooLarge);
            } else {
                m_inStart += PlainHeader;
                if (ensure(length)) {
                    m_readPos = m_inStart;
                    m_inStart += length;
                    m_savedPos = m_inStart;
                    m_savedByte = m_buffer[m_inStart];
                    m_buffer[m_inStart] = 0;
                    result = long(length);
                }
            }
        }
    }
    m_busy = 0;
    return result;
}

long TMysqlNet::ReadReply()
{
    long length = ReadPacket();
    if (length <= 0) {
        bool tooLarge = m_vio.ErrorCode() == PacketTooLarge;
        m_vio.Close();
        discardInput();
        int code = tooLarge ? CR_NET_PACKET_TOO_LARGE : CR_SERVER_LOST;
        m_vio.SetError(code, MysqlClientErrorText(code));
        return -1;
    }
    const uint8_t* p = ReadPos();
    if (p[0] == 255) {
        ServerError e = parseErrorPacket(p, size_t(length), m_protocolVersion);
        m_vio.SetError(e.code, e.message);
        return -1;
    }
    return length;
}

bool TMysqlNet::ShrinkBuffer()
{
    if (m_busy != 0 || !m_buffer) return true;
    // Unconsumed input (none after a complete result) would be lost: keep the buffer then.
    if (m_inEnd > m_inStart || m_rawEnd > m_rawStart) return true;
    if (m_raw.size() > InitialBufferSize) {
        m_raw.clear();
        m_raw.shrink_to_fit();
        m_rawStart = m_rawEnd = 0;
    }
    if (m_bufferSize <= InitialBufferSize) return true;
    auto* p = static_cast<uint8_t*>(std::realloc(m_buffer, InitialBufferSize));
    if (!p) return false;
    m_buffer = p;
    m_bufferSize = InitialBufferSize;
    discardInput();
    return true;
}

// ---------------------------------------------------------------------------------------
// Writing

int TMysqlNet::WritePacket(const void* data, size_t length)
{
    if (length + 1 >= m_maxBufferSize) {
        m_vio.SetErrorCode(PacketTooLarge);
        return 1;
    }
    uint8_t header[PlainHeader];
    put24(header, length);
    header[3] = m_compress ? 0 : m_sequence++;
    if (appendOutput(header, PlainHeader) != 0) return 1;
    return appendOutput(static_cast<const uint8_t*>(data), length) != 0 ? 1 : 0;
}

int TMysqlNet::WriteCommand(uint8_t command, const void* argument, size_t length)
{
    // The payload (command byte + argument) obeys the same limit as any written packet.
    if (length + 2 >= m_maxBufferSize) {
        m_vio.SetErrorCode(PacketTooLarge);
        return 1;
    }
    uint8_t header[PlainHeader + 1];
    put24(header, length + 1);
    header[3] = m_compress ? 0 : m_sequence++;
    header[4] = command;
    if (appendOutput(header, sizeof header) != 0) return 1;
    if (appendOutput(static_cast<const uint8_t*>(argument), length) != 0) return 1;
    return Flush() != 0 ? 1 : 0;
}

int TMysqlNet::Flush()
{
    int r = 0;
    if (m_writePos > 0) {
        r = sendBlock(m_out.get(), m_writePos);
        m_writePos = 0;
        if (!(m_pipelining && m_sentSinceRead)) ++m_roundTrips;
        m_sentSinceRead = true;
    }
    return r;
}

int TMysqlNet::appendOutput(const uint8_t* data, size_t length)
{
    if (!m_out) return -1;
    const size_t size = InitialBufferSize;
    while (length > size - m_writePos) {
        size_t room = size - m_writePos;
        if (!m_compress && m_writePos == 0) {
            // Nothing accumulated: the same bytes go out straight from the caller's block.
            size_t direct = length - length % size;
            if (int r = sendBlock(data, direct)) return r;
            data += direct;
            length -= direct;
            continue;
        }
        std::memcpy(m_out.get() + m_writePos, data, room);
        data += room;
        length -= room;
        m_writePos = 0;
        if (int r = sendBlock(m_out.get(), size)) return r;
    }
    if (length) std::memcpy(m_out.get() + m_writePos, data, length);
    m_writePos += length;
    return 0;
}

int TMysqlNet::writeAll(const uint8_t* data, size_t length)
{
    int retries = 2;
    size_t sent = 0;
    while (sent < length) {
        long n = m_vio.Write(data + sent, length - sent);
        if (n > 0) {
            sent += size_t(n);
            continue;
        }
        if (m_vio.ShouldRetry() && retries > 0) {
            --retries;
            continue;
        }
        if (m_vio.WasInterrupted()) continue;
        return 2;
    }
    return 0;
}

int TMysqlNet::sendBlock(const uint8_t* data, size_t length)
{
    if (!m_vio.IsOpen()) return -1;
    m_busy = 2;
    int r;
    if (m_compress) {
        // One compressed packet per block; short blocks and blocks zlib cannot shrink are
        // sent stored.
        size_t bound = size_t(double(length) * 120 / 100 + 12);
        m_work.resize(CompressedHeader + std::max(bound, length));
        uint8_t* body = m_work.data() + CompressedHeader;
        uLongf bodyLength = uLongf(bound);
        size_t plainLength = 0;
        if (length >= MinCompressLength && ::compress(body, &bodyLength, data, uLong(length)) == Z_OK &&
            bodyLength < length) {
            plainLength = length;
        } else {
            std::memcpy(body, data, length);
            bodyLength = uLongf(length);
        }
        put24(m_work.data(), bodyLength);
        m_work[3] = m_sequence++;
        put24(m_work.data() + 4, plainLength);
        r = writeAll(m_work.data(), CompressedHeader + bodyLength);
        if (m_work.size() > 4 * InitialBufferSize) {
            m_work.clear();
            m_work.shrink_to_fit();
        }
    } else {
        r = writeAll(data, length);
    }
    m_busy = 0;
    return r;
}
