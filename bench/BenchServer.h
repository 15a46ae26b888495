#pragma once
// The MariaDB server a benchmark measures against: the one of VT_TEST_SERVER_DIR when that
// folder holds a running server, otherwise a private one started in a temporary folder (and
// named there for the test support) and removed again by stopBenchServer().

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#ifndef VT_SOURCE_DIR
#define VT_SOURCE_DIR "."
#endif

namespace vt::bench {

inline std::string& benchServerDir()  // set when this program started the server
{
    static std::string dir;
    return dir;
}

inline bool startBenchServer(const std::string& name)
{
    if (const char* dir = std::getenv("VT_TEST_SERVER_DIR"); dir && *dir &&
                                                             std::filesystem::exists(std::string(dir) + "/port") &&
                                                             std::filesystem::exists(std::string(dir) + "/mysqld.pid"))
        return true;
    std::string& own = benchServerDir();
    own = std::filesystem::temp_directory_path() / ("vt-" + name + "-" + std::to_string(getpid()));
    const std::string cmd =
        std::string("bash '") + VT_SOURCE_DIR + "/scripts/db-server.sh' start '" + own + "' >/dev/null";
    if (std::system(cmd.c_str()) != 0) return false;
    setenv("VT_TEST_SERVER_DIR", own.c_str(), 1);
    return true;
}

inline void stopBenchServer()
{
    std::string& own = benchServerDir();
    if (own.empty()) return;
    const std::string cmd =
        std::string("bash '") + VT_SOURCE_DIR + "/scripts/db-server.sh' stop '" + own + "' >/dev/null";
    (void)std::system(cmd.c_str());
    std::filesystem::remove_all(own);
    own.clear();
}

}  // namespace vt::bench
