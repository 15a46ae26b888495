#include "platform/Cleanup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QTextStream>

#include <cstring>
#include <stdexcept>

namespace vt::app {

namespace {

QString lockName(int number) { return QStringLiteral("vtinstance-%1.lock").arg(number); }

// A lock that is never taken over by age: an instance may run for days.
std::unique_ptr<QLockFile> instanceLock(const QDir& folder, int number)
{
    auto lock = std::make_unique<QLockFile>(folder.filePath(lockName(number)));
    lock->setStaleLockTime(0);
    return lock;
}

}  // namespace

InstanceFiles::InstanceFiles(const QString& folder) : m_folder(folder)
{
    const QDir dir(folder);
    for (int number = 1;; ++number) {
        auto lock = instanceLock(dir, number);
        if (lock->tryLock(0)) {
            m_number = number;
            m_lock = std::move(lock);
            // What an instance that ended left under this number is no file of ours.
            for (const QString& name : dir.entryList({QStringLiteral("*-%1.rvf").arg(number)}, QDir::Files))
                QFile::remove(dir.filePath(name));
            return;
        }
        // A folder without write access gives no lock at all: the process id keeps the names
        // apart there.
        if (lock->error() != QLockFile::LockFailedError) {
            m_number = static_cast<int>(QCoreApplication::applicationPid());
            return;
        }
    }
}

InstanceFiles::~InstanceFiles() = default;

QString InstanceFiles::path(const QString& name) const
{
    const QFileInfo info(name);
    return QDir(m_folder).filePath(info.completeBaseName() + QLatin1Char('-') + QString::number(m_number) +
                                   (info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix()));
}

bool belongsToRunningInstance(const QDir& folder, const QString& fileName)
{
    static const QRegularExpression numbered(QStringLiteral("-([0-9]{1,9})(\\.[^.]*)?$"));
    const auto match = numbered.match(fileName);
    if (!match.hasMatch()) return false;
    const int number = match.captured(1).toInt();
    if (!QFileInfo::exists(folder.filePath(lockName(number)))) return false;
    // Held by a running process, this one included, the lock cannot be taken; a lock left by an
    // instance that ended is taken and given back at once.
    auto lock = instanceLock(folder, number);
    if (!lock->tryLock(0)) return lock->error() == QLockFile::LockFailedError;
    lock->unlock();
    return false;
}

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
                if (matchesShellWildcard(pattern, name) && !belongsToRunningInstance(dir, name) && dir.remove(name))
                    ++removed;
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
