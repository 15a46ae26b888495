#pragma once
// Clean-up of temporary files through the batch file "vtcleanup.bat": the program writes the
// file on its first start; on later starts a separate process carries out its "erase" lines in
// the work folder.

#include <QString>

#include <memory>

class QDir;
class QLockFile;

namespace vt::app {

inline constexpr const char* kCleanupBatchName = "vtcleanup.bat";
// Command-line switch that makes the program interpret a batch file and exit.
inline constexpr const char* kRunBatchArgument = "--run-batch";

// The temporary files of one running instance of the program. Several users may start the
// program from one folder; each instance holds the lock "vtinstance-<n>.lock" of a number of its
// own in the work folder for as long as it runs, and puts that number into the names of its
// temporary files ("TempReq.rvf" becomes "TempReq-<n>.rvf"), so that no instance reads a file
// another one wrote. Numbers of instances that ended are taken again.
class InstanceFiles {
public:
    // Claims the lowest number whose lock is free in folder, and removes the ".rvf" files an
    // instance that ended left under that number.
    explicit InstanceFiles(const QString& folder);
    ~InstanceFiles();
    InstanceFiles(const InstanceFiles&) = delete;
    InstanceFiles& operator=(const InstanceFiles&) = delete;

    const QString& folder() const { return m_folder; }
    int number() const { return m_number; }
    // The path of this instance's file for name ("TempReq.rvf").
    QString path(const QString& name) const;

private:
    QString m_folder;
    int m_number = 0;
    std::unique_ptr<QLockFile> m_lock;
};

// True when fileName (in folder) is a temporary file of an instance that still runs: its name
// carries the number of an instance lock that is held.
bool belongsToRunningInstance(const QDir& folder, const QString& fileName);

// Writes the batch file's two lines (CR LF each) into folder, replacing any earlier file.
// Throws std::runtime_error when the file cannot be written.
void writeCleanupBatch(const QString& folder);

// Carries out the "erase <pattern>" lines of a batch file in folder (other lines are ignored);
// the temporary files of instances that still run are left alone.
// Patterns use the command shell's wildcards, compared without regard to case; "name.*" also
// matches a name without extension. Returns the number of files removed.
int runBatchFile(const QString& batchFile, const QString& folder);

// True when pattern matches fileName the way the command shell's "erase" matches it.
bool matchesShellWildcard(const QString& pattern, const QString& fileName);

// If argv asks for batch interpretation (kRunBatchArgument and a file), runs the file in the
// current folder and returns the exit code; otherwise returns -1 and does nothing.
int runBatchModeIfRequested(int argc, char** argv);

}  // namespace vt::app
