#include "platform/Cleanup.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <cstring>
#include <stdexcept>

namespace vt::app {

void writeCleanupBatch(const QString& folder)
{
    QFile file(QDir(folder).filePath(QString::fromLatin1(kCleanupBatchName)));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("Cannot create file " + file.fileName().toStdString() + ". " +
                                 file.errorString().toStdString());
    file.write("erase vt_*.*\r\nerase *.rvf\r\n");
}

bool matchesShellWildcard(const QString& pattern, const QString& fileName)
{
    auto matches = [&](const QString& p) {
        const QRegularExpression re(
            QRegularExpression::wildcardToRegularExpression(p, QRegularExpression::UnanchoredWildcardConversion),
            QRegularExpression::CaseInsensitiveOption);
        const auto m = re.match(fileName);
        return m.hasMatch() && m.capturedStart() == 0 && m.capturedLength() == fileName.size();
    };
    if (matches(pattern)) return true;
    // "name.*" matches a name with any extension or with none.
    if (pattern.endsWith(QLatin1String(".*"))) return matches(pattern.left(pattern.size() - 2));
    return false;
}

int runBatchFile(const QString& batchFile, const QString& folder)
{
    QFile file(batchFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return 0;
    int removed = 0;
    QDir dir(folder);
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList words = in.readLine().simplified().split(QLatin1Char(' '));
        if (words.size() < 2 || words.front().compare(QLatin1String("erase"), Qt::CaseInsensitive) != 0) continue;
        for (qsizetype i = 1; i < words.size(); ++i) {
            const QString pattern = words[i];
            if (pattern.contains(QLatin1Char('/')) || pattern.contains(QLatin1Char('\\')))
                continue;  // only names in the work folder itself
            for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
                if (matchesShellWildcard(pattern, name) && dir.remove(name)) ++removed;
            }
        }
    }
    return removed;
}

int runBatchModeIfRequested(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], kRunBatchArgument) == 0) {
            runBatchFile(QString::fromLocal8Bit(argv[i + 1]), QDir::currentPath());
            return 0;
        }
    }
    return -1;
}

}  // namespace vt::app
