#pragma once
// The one-line connection-settings file "defaults.cfg":
//   UN:<user>#SQ:<server>#DB:<database>#DU:<db user>#DP:<db password>##

#include <QString>

namespace vt::app {

inline constexpr const char* kSettingsFileName = "defaults.cfg";

// Value of key in line: the text after the first occurrence of key, up to the next "#" within
// the 256 characters that follow the key. Empty when the key is missing or no "#" follows
// within those 256 characters.
QString GetSettingValue(const QString& key, const QString& line);

// The file's first line (without its line end); lines after it are never read.
// Returns false when the file does not exist; throws std::runtime_error when it cannot be read.
bool readFirstLine(const QString& path, QString& line);

}  // namespace vt::app
