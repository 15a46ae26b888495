#pragma once
// Clean-up of temporary files through the batch file "vtcleanup.bat": the program writes the
// file on its first start; on later starts a separate process carries out its "erase" lines in
// the work folder.

#include <QString>

namespace vt::app {

inline constexpr const char* kCleanupBatchName = "vtcleanup.bat";
// Command-line switch that makes the program interpret a batch file and exit.
inline constexpr const char* kRunBatchArgument = "--run-batch";

// Writes the batch file's two lines (CR LF each) into folder, replacing any earlier file.
// Throws std::runtime_error when the file cannot be written.
void writeCleanupBatch(const QString& folder);

// Carries out the "erase <pattern>" lines of a batch file in folder (other lines are ignored).
// Patterns use the command shell's wildcards, compared without regard to case; "name.*" also
// matches a name without extension. Returns the number of files removed.
int runBatchFile(const QString& batchFile, const QString& folder);

// True when pattern matches fileName the way the command shell's "erase" matches it.
bool matchesShellWildcard(const QString& pattern, const QString& fileName);

// If argv asks for batch interpretation (kRunBatchArgument and a file), runs the file in the
// current folder and returns the exit code; otherwise returns -1 and does nothing.
int runBatchModeIfRequested(int argc, char** argv);

}  // namespace vt::app
