#pragma once
// Helpers shared by the layer's sources.

#include <string>
#include <string_view>

#include "db/DbSettings.h"

void dbTrace(TraceOp op, const std::string& text);

// ASCII case-insensitive comparison and lower-casing.
bool sameText(std::string_view a, std::string_view b);
std::string lowerCase(std::string_view s);
std::string upperCase(std::string_view s);
// Text converted from the server's character set to the client's (up to the first NUL byte).
std::string convertReadText(const char* bytes, size_t length);
