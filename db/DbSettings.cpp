#include "db/DbSettings.h"

#include <climits>

#include "protocol/MysqlCharsets.h"

int32_t ServerVersionNumber = 0;
uint8_t ServerCharsetIndex = 0;
bool PingBeforeProbes = false;
int PingAfterIdleMs = 5000;

namespace {
TraceHook& traceHook()
{
    static TraceHook hook;
    return hook;
}
uint8_t& clientCharset()
{
    static uint8_t index = 0;
    return index;
}
}  // namespace

TFormatSettings& FormatSettings()
{
    static TFormatSettings settings;
    return settings;
}

void SetTraceHook(TraceHook hook) { traceHook() = std::move(hook); }

// Called by the layer for every traced operation.
void dbTrace(TraceOp op, const std::string& text)
{
    if (const TraceHook& hook = traceHook()) hook(op, text);
}

const char* TraceOpName(TraceOp op)
{
    switch (op) {
    case TraceOp::Connect: return "connect";
    case TraceOp::Disconnect: return "disconnect";
    case TraceOp::Prepare: return "prepare";
    case TraceOp::Execute: return "execute";
    case TraceOp::Fetch: return "fetch";
    case TraceOp::Begin: return "begin";
    case TraceOp::Commit: return "commit";
    case TraceOp::Rollback: return "rollback";
    }
    return "";
}

uint8_t ClientCharsetIndex() { return clientCharset(); }

void SetClientCharsetIndex(uint8_t index) { clientCharset() = index; }

void SetClientCodePage(int codePage) { clientCharset() = CharsetIndexFromCodePage(codePage); }

int32_t VersionNumberFromText(const std::string& version)
{
    // Every digit is kept; every non-digit is dropped, and a one-digit group just before it
    // gets a leading "0" (so "4.0.18" reads 04 00 18). A one-digit group at the end does not.
    std::string digits;
    int run = 0;
    for (char c : version) {
        if (c >= '0' && c <= '9') {
            digits += c;
            ++run;
        } else {
            if (run == 1) digits.insert(digits.size() - 1, 1, '0');
            run = 0;
        }
    }
    // Today's servers ("5.5.5-10.11.19-MariaDB-...") give far more digits than 32 bits hold:
    // such numbers become the largest 32-bit value, which keeps back-quoting on.
    uint64_t value = 0;
    for (char c : digits) {
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > uint64_t(INT32_MAX)) return INT32_MAX;
    }
    return static_cast<int32_t>(value);
}
