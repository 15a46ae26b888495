#pragma once
// The regional formats of the database layer, taken from a Qt locale (the system's at start-up).

#include <QLocale>

struct TFormatSettings;

namespace vt::app {

TFormatSettings formatSettingsFromLocale(const QLocale& locale);
// Fills the database layer's process-wide formats from the system locale.
void applySystemFormatSettings();

}  // namespace vt::app
