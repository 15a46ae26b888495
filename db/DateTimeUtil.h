#pragma once
// Date-time values: a double counting days since 1899-12-30, the fraction being the time of day.

#include <cstdint>
#include <string>

struct TFormatSettings;

// Builders; false when the date or time is impossible.
bool TryEncodeDate(int year, int month, int day, double& result);
bool TryEncodeTime(int hour, int minute, int second, int msec, double& result);
// Throwing forms: EConvertError "Invalid argument to date encode" / "... time encode".
double EncodeDate(int year, int month, int day);
double EncodeTime(int hour, int minute, int second, int msec = 0);

void DecodeDate(double value, int& year, int& month, int& day);
void DecodeTime(double value, int& hour, int& minute, int& second, int& msec);

// Column texts of the server. DATE, TIME, DATETIME: "yyyy-mm-dd", "hh:nn:ss" or both; a zero
// year, month or day leaves the date at 1899-12-30; impossible values raise EConvertError.
double DateTimeFromColumnText(const std::string& text);
// TIMESTAMP, compact ("yyyymmddhhnnss") or with separators: date parts below 1 count as 1;
// an impossible value gives 0 without raising.
double TimestampFromColumnText(const std::string& text);
// TIME column texts ([-]h:mm:ss, hours up to 838) as a signed number of days; a malformed
// text raises "Invalid argument to time encode".
double TimeFromColumnText(const std::string& text);

// Formats with the letters described at TFormatSettings.
std::string FormatDateTime(const std::string& format, double value, const TFormatSettings& fs);
std::string FormatDateTime(const std::string& format, double value);  // process-wide settings
// Date as ShortDateFormat, then a space and LongTimeFormat when the time is not midnight.
std::string DateTimeToStr(double value);
std::string DateToStr(double value);
std::string TimeToStr(double value);

// Floats in general format: up to 15 significant digits, no thousands separator, scientific
// form (1E20, 1.5E-7) below 0.00001 in magnitude or above 15 integer digits.
std::string FloatToStrGeneral(double value, char decimalSeparator);
std::string FloatToStr(double value);  // with the regional decimal separator

// Strict decimal integers (optional sign, digits, nothing else): EConvertError
// "'%s' is not a valid integer value" otherwise or when out of range.
int32_t StrToInt(const std::string& text);
int64_t StrToInt64(const std::string& text);
bool TryStrToInt(const std::string& text, int32_t& value);
bool TryStrToInt64(const std::string& text, int64_t& value);
