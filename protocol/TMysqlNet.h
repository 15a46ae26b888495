#pragma once
// The packet layer of the protocol client: framing, sequence numbers, a growable input
// buffer and an output block, the size limits, the compressed packet format and the reading of server error packets.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/TMysqlVio.h"

class TMysqlNet {
public:
    TMysqlNet() = default;
    ~TMysqlNet();
    TMysqlNet(const TMysqlNet&) = delete;
    TMysqlNet& operator=(const TMysqlNet&) = delete;

    // Connects the transport (nothing changes when it is open already) and prepares the
    // packet layer. Returns 0 or the transport's failure value.
    int Connect(const std::string& host, uint32_t port, int timeoutSeconds);
    // Prepares the packet layer over an already connected socket (tests, fuzzing).
    void Adopt(int socket, int timeoutSeconds);
    void Close();
    bool Connected() const { return m_vio.IsOpen(); }
    // Start of every command: sequence 0, output empty.
    void Clear();
    // Sends what is accumulated, then switches the transport to TLS (TMysqlVio::StartTls).
    // Input received before the switch travelled in clear text: with any pending, the
    // switch is refused. 0, or -1 with the error set and the connection closed.
    int StartTls(const std::string& caFile, const std::string& host);

    // Frames one packet into the output (not yet sent). 0 or nonzero on failure.
    int WritePacket(const void* data, size_t length);
    // Frames a command packet (command byte + argument) and sends it. 0 or nonzero.
    int WriteCommand(uint8_t command, const void* argument, size_t length);
    // Sends the accumulated output: 0, or 2 when not everything could be written, -1 closed.
    int Flush();

    // Reads the next packet: its payload length, or -1. The payload starts at ReadPos()
    // and is followed by a 0 byte.
    long ReadPacket();
    // ReadPacket plus lost connections (closes, 2013 or 2020) and error packets (the
    // server's code and message, connection open): the length, or -1.
    long ReadReply();
    // Gives a grown buffer back; false only when reallocation failed.
    bool ShrinkBuffer();

    const uint8_t* ReadPos() const { return m_buffer + m_readPos; }
    bool Compress() const { return m_compress; }
    void SetCompress(bool on) { m_compress = on; }
    int ProtocolVersion() const { return m_protocolVersion; }
    void SetProtocolVersion(int v) { m_protocolVersion = v; }
    uint8_t Sequence() const { return m_sequence; }
    void SetSequence(uint8_t s) { m_sequence = s; }
    uint32_t BufferSize() const { return m_bufferSize; }
    uint8_t Busy() const { return m_busy; }

    // The buffer limit (16,777,216): the largest payload is this minus 2. Tests lower it.
    void SetMaxBufferSize(uint32_t size) { m_maxBufferSize = size; }
    uint32_t MaxBufferSize() const { return m_maxBufferSize; }

    int ErrorCode() const { return m_vio.ErrorCode(); }
    const std::string& ErrorText() const { return m_vio.ErrorText(); }
    void SetErrorCode(int code) { m_vio.SetErrorCode(code); }
    void SetErrorText(std::string_view text) { m_vio.SetErrorText(text); }
    void SetError(int code, std::string_view text) { m_vio.SetError(code, text); }
    void ClearError() { m_vio.ClearError(); }

    TMysqlVio& Vio() { return m_vio; }
    // Flushes that sent something: one per request the server answers. While pipelining,
    // flushes that follow one another without a read in between count as one: the server
    // answers them in one turnaround.
    uint64_t RoundTrips() const { return m_roundTrips; }
    void SetPipelining(bool on) { m_pipelining = on; }

private:
    void prepare();
    void restoreSaved();
    void discardInput();
    bool grow(size_t wanted) { return grow(wanted, m_maxBufferSize); }
    bool grow(size_t wanted, size_t limit);
    bool ensure(size_t count);
    bool fillPlain();
    bool fillCompressed();
    bool ensureRaw(size_t count);
    int appendOutput(const uint8_t* data, size_t length);
    int sendBlock(const uint8_t* data, size_t length);
    int writeAll(const uint8_t* data, size_t length);

    TMysqlVio m_vio;
    bool m_compress = false;
    uint8_t m_busy = 0;
    uint8_t* m_buffer = nullptr;
    uint32_t m_bufferSize = 0;
    uint8_t m_sequence = 0;
    size_t m_writePos = 0;
    size_t m_readPos = 0;
    int m_protocolVersion = 10;
    uint32_t m_maxBufferSize = 16777216;

    // Input: Buffer[m_inStart, m_inEnd) holds received plain-packet bytes not yet consumed.
    size_t m_inStart = 0;
    size_t m_inEnd = 0;
    size_t m_savedPos = SIZE_MAX;  // where the 0 after the last payload overwrote a byte
    uint8_t m_savedByte = 0;
    int m_retries = 0;  // socket read retries left for the current packet

    // Compressed input as it came from the socket, before inflating into Buffer.
    std::vector<uint8_t> m_raw;
    size_t m_rawStart = 0;
    size_t m_rawEnd = 0;
    // Output accumulates in its own block of 8192 bytes, so input the server sent ahead is
    // never overwritten by a command.
    std::unique_ptr<uint8_t[]> m_out;
    std::vector<uint8_t> m_work;  // compressed output packet

    uint64_t m_roundTrips = 0;
    bool m_pipelining = false;
    bool m_sentSinceRead = false;  // a flush sent something and no packet was read since
};
