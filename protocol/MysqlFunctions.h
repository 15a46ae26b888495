#pragma once
// Free functions of the protocol client: escaping, password scrambles, SHA-1, error texts.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

// Backslash-escapes NUL, tab, LF, CR, the double quote, the single quote and the backslash.
std::string EscapeString(std::string_view text);

// Text of client error code 2000..2020 (with its printf placeholders), empty for other codes.
const char* MysqlClientErrorText(int code);

// Pre-4.1 password hash: two 31-bit numbers; spaces and tabs are skipped.
std::pair<uint32_t, uint32_t> HashPasswordOld(std::string_view text);
// Pre-4.1 scramble of password with message (8 characters); the result has the message's length.
std::string ScrambleOld(std::string_view password, std::string_view message);
// SHA-1 scramble of the 4.1 protocol: SHA1(scramble + SHA1(SHA1(p))) xor SHA1(p).
std::array<uint8_t, 20> ScrambleSha1(std::string_view scramble20, std::string_view password);

// SHA-1 (FIPS 180-1): reset, input, result.
class Sha1 {
public:
    Sha1() { Reset(); }
    void Reset();
    void Input(const void* data, size_t length);
    std::array<uint8_t, 20> Result();
    static std::array<uint8_t, 20> Of(std::string_view data);

private:
    uint32_t m_h[5]{};
    uint64_t m_length = 0;
    uint8_t m_block[64]{};
    size_t m_used = 0;
    bool m_done = false;
    std::array<uint8_t, 20> m_digest{};
    void processBlock();
};
