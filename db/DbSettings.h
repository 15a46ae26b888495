#pragma once
// Process-wide values of the access layer: the regional formats used when values are shown
// as text, the trace hook, the server's version number and character-set index of the
// latest connect, and the client's character-set index.

#include <cstdint>
#include <functional>
#include <string>

// Regional formats. Only "as text" of floats, dates and times uses them; statement texts
// never do. Format letters (case-insensitive): d dd (day), m mm (month), yy yyyy (year),
// h hh (hour), n nn (minute), s ss (second), am/pm or a/p (12-hour clock with that marker),
// ampm (the AM/PM strings below); "/" is the date separator, ":" the time separator;
// text in single or double quotes is copied as it is.
struct TFormatSettings {
    char DecimalSeparator = '.';
    char DateSeparator = '-';
    char TimeSeparator = ':';
    std::string ShortDateFormat = "yyyy/mm/dd";
    std::string LongTimeFormat = "hh:nn:ss";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
};

// The one settings value of the process; the application fills it from the system locale at
// start-up, tests set it as they need.
TFormatSettings& FormatSettings();

// Trace hook: called for every operation of the layer with a text. Every statement sent to
// the server produces exactly one call, in sending order: Begin/Commit/Rollback for the
// transaction statements, Execute for all others (probes included), with the statement text.
// Connect and Disconnect carry "host:port/database"; Prepare carries the prepared text;
// Fetch follows each stored result set of a query's own statement with the statement text.
enum class TraceOp : uint8_t { Connect, Disconnect, Prepare, Execute, Fetch, Begin, Commit, Rollback };
using TraceHook = std::function<void(TraceOp op, const std::string& text)>;
void SetTraceHook(TraceHook hook);    // an empty function switches tracing off
const char* TraceOpName(TraceOp op);  // "connect", "execute", ...

// Set at each successful connect. ServerVersionNumber below 32307: no back-quoted identifiers.
extern int32_t ServerVersionNumber;
extern uint8_t ServerCharsetIndex;

// Character-set index of the client; 0 (no conversion) until the application passes down the
// client's code page, which it decides once at start-up. Text read from the server is
// converted from ServerCharsetIndex to this when they differ.
uint8_t ClientCharsetIndex();
void SetClientCharsetIndex(uint8_t index);
// The same from a Windows code page number: 1250..1258 give their index, any other 0.
void SetClientCodePage(int codePage);

// The metadata probes ("SHOW VARIABLES" after connect, "SHOW INDEX FROM" and "DESCRIBE" after
// a query's statement) follow a command that has just succeeded on the same connection, so the
// ping that precedes every other statement is left out for them (the connection cannot have
// gone idle in between). True restores a ping before each probe.
extern bool PingBeforeProbes;

// How long after the server's last answer a statement still goes without a ping before it
// (milliseconds; 0 pings before every statement). Taken by each connect.
extern int PingAfterIdleMs;

// The version rule: "4.0.18-nt" -> 40018; digits beyond 32 bits give 2147483647.
int32_t VersionNumberFromText(const std::string& version);
