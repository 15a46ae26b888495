#pragma once
// The one-line connection-settings file "defaults.cfg":
//   UN:<user>#SQ:<server>#DB:<database>#DU:<db user>#DP:<db password>##
// with two optional TLS keys before the closing "##": "#TL:1" requires TLS, "#CA:<path>"
// names the CA file that verifies the server (else the system's store). Files without
// them connect as before. "#PU:1" (also before "##") selects per-user server accounts: the
// login's name and password are the server account's, DU/DP are ignored and TLS is required.

#include <QString>

namespace vt::app {

inline constexpr const char* kSettingsFileName = "defaults.cfg";

// Value of key in line: the text after the first occurrence of key, up to the next "#" within
// the 256 characters that follow the key. Empty when the key is missing or no "#" follows
// within those 256 characters.
QString GetSettingValue(const QString& key, const QString& line);

struct TlsSettings {
    bool required = false;
    QString caFile;
};
// The TLS keys of the line; TL: with any value other than 1 leaves TLS off.
TlsSettings readTlsSettings(const QString& line);
// The keys to write before the closing "##" ("#TL:1#CA:<path>"); empty for the defaults.
QString tlsSettingsText(const TlsSettings& tls);

// The per-user key of the line: true only for "#PU:1".
bool readPerUserSetting(const QString& line);
// "#PU:1" when on, else empty.
QString perUserSettingText(bool perUser);

// The file's first line (without its line end); lines after it are never read.
// Returns false when the file does not exist; throws std::runtime_error when it cannot be read.
bool readFirstLine(const QString& path, QString& line);

}  // namespace vt::app
