#include "db/DateTimeUtil.h"

#include <cctype>
#include <charconv>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <algorithm>

#include "db/DbErrors.h"
#include "db/DbSettings.h"

namespace {

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

// Days from 0001-01-01 to the given date (proleptic Gregorian calendar).
int64_t daysFromCivilStart(int y, int m, int d) {
    int64_t days = 0;
    const int64_t py = y - 1;
    days = py * 365 + py / 4 - py / 100 + py / 400;
    for (int i = 1; i < m; ++i)
        days += daysInMonth(y, i);
    return days + d - 1;
}

constexpr int64_t kDaysTo18991230 = 693593;  // 0001-01-01 .. 1899-12-30

void appendNumber(std::string& out, int value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    out += buf;
}

} // namespace

bool TryEncodeDate(int year, int month, int day, double& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return false;
    result = static_cast<double>(daysFromCivilStart(year, month, day) - kDaysTo18991230);
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, double& result) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
        msec > 999)
        return false;
    result = (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / 86400000.0;
    return true;
}

double EncodeDate(int year, int month, int day) {
    double r = 0;
    if (!TryEncodeDate(year, month, day, r))
        throw EConvertError("Invalid argument to date encode");
    return r;
}

double EncodeTime(int hour, int minute, int second, int msec) {
    double r = 0;
    if (!TryEncodeTime(hour, minute, second, msec, r))
        throw EConvertError("Invalid argument to time encode");
    return r;
}

void DecodeDate(double value, int& year, int& month, int& day) {
    int64_t days = static_cast<int64_t>(std::trunc(value)) + kDaysTo18991230;
    if (days < 0) {
        year = month = day = 0;
        return;
    }
    // 400-year cycles of 146097 days, then centuries, 4-year cycles and years.
    int64_t y400 = days / 146097;
    days %= 146097;
    int64_t y100 = days / 36524;
    if (y100 == 4) y100 = 3;
    days -= y100 * 36524;
    int64_t y4 = days / 1461;
    days %= 1461;
    int64_t y1 = days / 365;
    if (y1 == 4) y1 = 3;
    days -= y1 * 365;
    year = static_cast<int>(y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1);
    month = 1;
    while (days >= daysInMonth(year, month)) {
        days -= daysInMonth(year, month);
        ++month;
    }
    day = static_cast<int>(days) + 1;
}

void DecodeTime(double value, int& hour, int& minute, int& second, int& msec) {
    double frac = std::fabs(value - std::trunc(value));
    int64_t ms = static_cast<int64_t>(std::llround(frac * 86400000.0));
    if (ms >= 86400000) ms = 86399999;
    hour = static_cast<int>(ms / 3600000);
    minute = static_cast<int>(ms / 60000 % 60);
    second = static_cast<int>(ms / 1000 % 60);
    msec = static_cast<int>(ms % 1000);
}

std::string FormatDateTime(const std::string& format, double value, const TFormatSettings& fs) {
    int year, month, day, hour, minute, second, msec;
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, minute, second, msec);
    // A 12-hour clock applies when the format holds an am/pm marker.
    bool twelve = false;
    for (size_t i = 0; i < format.size(); ++i) {
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(format[i])));
        if (c == 'a' && (format.compare(i, 5, "am/pm") == 0 || format.compare(i, 5, "AM/PM") == 0 ||
                         format.compare(i, 3, "a/p") == 0 || format.compare(i, 3, "A/P") == 0 ||
                         format.compare(i, 4, "ampm") == 0 || format.compare(i, 4, "AMPM") == 0))
            twelve = true;
    }
    std::string out;
    size_t i = 0;
    auto run = [&](char lower) {
        size_t n = 0;
        while (i + n < format.size() && std::tolower(static_cast<unsigned char>(format[i + n])) == lower)
            ++n;
        return n;
    };
    bool lastWasHour = false;
    while (i < format.size()) {
        char ch = format[i];
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (ch == '\'' || ch == '"') {
            size_t end = format.find(ch, i + 1);
            if (end == std::string::npos) end = format.size();
            out.append(format, i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (c == 'y') {
            size_t n = run('y');
            if (n <= 2) appendNumber(out, year % 100, 2);
            else appendNumber(out, year, 4);
            i += n;
        } else if (c == 'm') {
            size_t n = run('m');
            // "m" right after an hour means minutes.
            int v = lastWasHour ? minute : month;
            appendNumber(out, v, n >= 2 ? 2 : 1);
            i += n;
            lastWasHour = false;
            continue;
        } else if (c == 'd') {
            size_t n = run('d');
            appendNumber(out, day, n >= 2 ? 2 : 1);
            i += n;
        } else if (c == 'h') {
            size_t n = run('h');
            int h = hour;
            if (twelve) {
                h = hour % 12;
                if (h == 0) h = 12;
            }
            appendNumber(out, h, n >= 2 ? 2 : 1);
            i += n;
            lastWasHour = true;
            continue;
        } else if (c == 'n') {
            size_t n = run('n');
            appendNumber(out, minute, n >= 2 ? 2 : 1);
            i += n;
        } else if (c == 's') {
            size_t n = run('s');
            appendNumber(out, second, n >= 2 ? 2 : 1);
            i += n;
        } else if (c == 'z') {
            size_t n = run('z');
            appendNumber(out, msec, n >= 3 ? 3 : 1);
            i += n;
        } else if (c == 'a' && (format.compare(i, 5, "am/pm") == 0 || format.compare(i, 5, "AM/PM") == 0)) {
            out += hour < 12 ? std::string(format.substr(i, 2)) : std::string(format.substr(i + 3, 2));
            i += 5;
        } else if (c == 'a' && (format.compare(i, 3, "a/p") == 0 || format.compare(i, 3, "A/P") == 0)) {
            out += hour < 12 ? format[i] : format[i + 2];
            i += 3;
        } else if (c == 'a' && (format.compare(i, 4, "ampm") == 0 || format.compare(i, 4, "AMPM") == 0)) {
            out += hour < 12 ? fs.TimeAMString : fs.TimePMString;
            i += 4;
        } else if (ch == '/') {
            out += fs.DateSeparator;
            ++i;
        } else if (ch == ':') {
            out += fs.TimeSeparator;
            ++i;
            continue;
        } else {
            out += ch;
            ++i;
            continue;  // literal characters keep an hour's claim on a following "m"
        }
        lastWasHour = false;
    }
    return out;
}

std::string FormatDateTime(const std::string& format, double value) {
    return FormatDateTime(format, value, FormatSettings());
}

std::string DateTimeToStr(double value) {
    const TFormatSettings& fs = FormatSettings();
    std::string out = FormatDateTime(fs.ShortDateFormat, value, fs);
    int h, m, s, ms;
    DecodeTime(value, h, m, s, ms);
    if (h != 0 || m != 0 || s != 0)
        out += ' ' + FormatDateTime(fs.LongTimeFormat, value, fs);
    return out;
}

std::string DateToStr(double value) {
    return FormatDateTime(FormatSettings().ShortDateFormat, value);
}

std::string TimeToStr(double value) {
    return FormatDateTime(FormatSettings().LongTimeFormat, value);
}

std::string FloatToStrGeneral(double value, char decimalSeparator) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0) return "0";
    // 15 significant digits: d.dddddddddddddde[+-]xx
    // Independent of the C locale, which the application may have set.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    std::string s(buf, res.ptr);
    bool negative = s[0] == '-';
    if (negative) s.erase(0, 1);
    size_t e = s.find('e');
    int exponent = std::atoi(s.c_str() + e + 1);
    std::string digits = s.substr(0, 1) + s.substr(2, e - 2);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string out = negative ? "-" : "";
    if (exponent >= 15 || std::fabs(value) < 0.00001) {
        out += digits[0];
        if (digits.size() > 1) {
            out += decimalSeparator;
            out.append(digits, 1, std::string::npos);
        }
        out += 'E';
        if (exponent < 0) out += '-';
        out += std::to_string(std::abs(exponent));
        return out;
    }
    if (exponent < 0) {
        out += '0';
        out += decimalSeparator;
        out.append(static_cast<size_t>(-exponent - 1), '0');
        out += digits;
        return out;
    }
    size_t intDigits = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
        out += digits;
        out.append(intDigits - digits.size(), '0');
    } else {
        out.append(digits, 0, intDigits);
        out += decimalSeparator;
        out.append(digits, intDigits, std::string::npos);
    }
    return out;
}

std::string FloatToStr(double value) {
    return FloatToStrGeneral(value, FormatSettings().DecimalSeparator);
}

namespace {
bool parseInt64(const std::string& text, int64_t& value) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size()) return false;
    uint64_t v = 0;
    for (; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < '0' || c > '9') return false;
        if (v > (uint64_t(INT64_MAX) + 1 - (c - '0')) / 10) return false;
        v = v * 10 + (c - '0');
    }
    if (!negative && v > uint64_t(INT64_MAX)) return false;
    value = negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
    return true;
}

[[noreturn]] void notInteger(const std::string& text) {
    throw EConvertError("'" + text + "' is not a valid integer value");
}
} // namespace

bool TryStrToInt(const std::string& text, int32_t& value) {
    int64_t v = 0;
    if (!parseInt64(text, v) || v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

int32_t StrToInt(const std::string& text) {
    int32_t v = 0;
    if (!TryStrToInt(text, v)) notInteger(text);
    return v;
}

namespace {
// Characters first..last (1-based, inclusive) of text, as far as it reaches.
std::string part(const std::string& text, size_t first, size_t last) {
    if (first > text.size()) return {};
    return text.substr(first - 1, last - first + 1);
}

// An integer, or fallback for text that is not one.
int intOr(const std::string& text, int fallback) {
    int32_t v = 0;
    return TryStrToInt(text, v) ? v : fallback;
}

} // namespace

// Date and time texts of DATE, TIME, DATETIME (and NEWDATE).
double DateTimeFromColumnText(const std::string& columnText) {
    std::string text = columnText;
    double value = 0;
    if (text.size() >= 10) {
        int y = std::max(0, intOr(part(text, 1, 4), 0));
        int m = std::max(0, intOr(part(text, 6, 7), 0));
        int d = std::max(0, intOr(part(text, 9, 10), 0));
        if (y != 0 && m != 0 && d != 0) value = EncodeDate(y, m, d);
        text = part(text, 12, 19);
    }
    if (text.size() >= 8) {
        int h = intOr(part(text, 1, 2), 0);
        int n = intOr(part(text, 4, 5), 0);
        int s = intOr(part(text, 7, 8), 0);
        value += EncodeTime(h, n, s, 0);
    }
    return value;
}

// TIME texts: [-]h:mm:ss with as many hour digits as needed (the server sends -838:59:59 to
// 838:59:59, fractions after a "."), read as a signed number of days.
double TimeFromColumnText(const std::string& text) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) ++i;
    const size_t colon = text.find(':', i);
    if (colon == std::string::npos || colon == i || colon > i + 9 || text.size() < colon + 6 || text[colon + 3] != ':')
        throw EConvertError("Invalid argument to time encode");
    long hours = 0;
    for (size_t k = i; k < colon; ++k) {
        if (text[k] < '0' || text[k] > '9') throw EConvertError("Invalid argument to time encode");
        hours = hours * 10 + (text[k] - '0');
    }
    int minutes = intOr(text.substr(colon + 1, 2), -1);
    int seconds = intOr(text.substr(colon + 4, 2), -1);
    if (minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        throw EConvertError("Invalid argument to time encode");
    double value = (hours * 3600000.0 + minutes * 60000.0 + seconds * 1000.0) / 86400000.0;
    return negative ? -value : value;
}

// TIMESTAMP texts, compact (yyyymmddhhnnss) or with separators; impossible values give 0.
double TimestampFromColumnText(const std::string& text) {
    const bool compact = text.find('-') == std::string::npos;
    int y, m, d, h, n, s;
    if (compact) {
        y = intOr(part(text, 1, 4), 1);
        m = intOr(part(text, 5, 6), 1);
        d = intOr(part(text, 7, 8), 1);
        h = intOr(part(text, 9, 10), 0);
        n = intOr(part(text, 11, 12), 0);
        s = intOr(part(text, 13, 14), 0);
    } else {
        y = intOr(part(text, 1, 4), 1);
        m = intOr(part(text, 6, 7), 1);
        d = intOr(part(text, 9, 10), 1);
        h = intOr(part(text, 12, 13), 0);
        n = intOr(part(text, 15, 16), 0);
        s = intOr(part(text, 18, 19), 0);
    }
    double date = 0, time = 0;
    if (!TryEncodeDate(std::max(y, 1), std::max(m, 1), std::max(d, 1), date) || !TryEncodeTime(h, n, s, 0, time))
        return 0;
    return date + time;
}


bool TryStrToInt64(const std::string& text, int64_t& value) { return parseInt64(text, value); }

int64_t StrToInt64(const std::string& text) {
    int64_t v = 0;
    if (!parseInt64(text, v)) notInteger(text);
    return v;
}
