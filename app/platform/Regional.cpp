#include "platform/Regional.h"

#include "db/DbSettings.h"

namespace vt::app {

namespace {

// Rewrites a Qt date or time format in the layer's letters: d, m, y for the date; h, n, s and
// "ampm" for the time; the first separator becomes the placeholder ("/" or ":") and is
// reported as the separator. Time zones and milliseconds are dropped.
std::string convertFormat(const QString& qtFormat, bool isTime, char placeholder, char& separator)
{
    std::string out;
    bool separatorSeen = false;
    for (qsizetype i = 0; i < qtFormat.size(); ++i) {
        const QChar c = qtFormat[i];
        if (c == QLatin1Char('\'')) {  // quoted text stays quoted
            const qsizetype end = qtFormat.indexOf(QLatin1Char('\''), i + 1);
            const qsizetype stop = end < 0 ? qtFormat.size() : end;
            out += '"' + qtFormat.mid(i + 1, stop - i - 1).toStdString() + '"';
            i = stop;
            continue;
        }
        switch (c.unicode()) {
        case 'd': out += 'd'; break;
        case 'M': out += 'm'; break;
        case 'y': out += 'y'; break;
        case 'H':
        case 'h': out += 'h'; break;
        case 'm': out += isTime ? 'n' : 'm'; break;
        case 's': out += 's'; break;
        case 'A':
        case 'a':
            out += "ampm";
            if (i + 1 < qtFormat.size() && (qtFormat[i + 1] == QLatin1Char('P') || qtFormat[i + 1] == QLatin1Char('p')))
                ++i;
            break;
        case 'z':
        case 't': break;
        default:
            if (c.unicode() > 127) {  // text of the language itself stays as text
                out += '"' + QString(c).toStdString() + '"';
                break;
            }
            if (c.isLetter()) break;
            if (c.isSpace()) {
                out += ' ';
            } else if (!separatorSeen || c.toLatin1() == separator) {
                separatorSeen = true;
                separator = c.toLatin1();
                out += placeholder;
            } else {
                out += c.toLatin1();
            }
        }
    }
    // Dropped zone or millisecond parts leave trailing spaces and separators.
    while (!out.empty() && (out.back() == ' ' || out.back() == placeholder || out.back() == '.'))
        out.pop_back();
    return out;
}

}  // namespace

TFormatSettings formatSettingsFromLocale(const QLocale& locale)
{
    TFormatSettings fs;
    const QString decimal = locale.decimalPoint();
    if (decimal.size() == 1 && decimal[0].toLatin1()) fs.DecimalSeparator = decimal[0].toLatin1();
    char dateSeparator = fs.DateSeparator;
    const std::string shortDate = convertFormat(locale.dateFormat(QLocale::ShortFormat), false, '/', dateSeparator);
    // A date without separators (or with a month name, which the layer writes as a number, so
    // that "10 Dec 2026" would become "10 12 2026") keeps the layer's ISO 8601 "2026-12-10".
    if (shortDate.find('/') != std::string::npos && shortDate.find("mmm") == std::string::npos) {
        fs.ShortDateFormat = shortDate;
        fs.DateSeparator = dateSeparator;
    }
    fs.LongTimeFormat = convertFormat(locale.timeFormat(QLocale::LongFormat), true, ':', fs.TimeSeparator);
    if (!locale.amText().isEmpty()) fs.TimeAMString = locale.amText().toStdString();
    if (!locale.pmText().isEmpty()) fs.TimePMString = locale.pmText().toStdString();
    return fs;
}

void applySystemFormatSettings() { FormatSettings() = formatSettingsFromLocale(QLocale::system()); }

}  // namespace vt::app
