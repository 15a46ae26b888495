#pragma once
// The MariaDB server a benchmark measures against: the one of VT_TEST_SERVER_DIR when that
// folder holds a running server, otherwise a private one started in a temporary folder (and
// named there for the test support) and removed again by stopBenchServer().
//
// A private server is stopped on every way out of the program: stopBenchServer() at the end of
// main, a BenchServer guard going out of scope (early returns, exceptions), exit() from anywhere
// (an atexit handler), and SIGINT, SIGTERM, SIGHUP and SIGQUIT (a handler that runs the stop
// script with async-signal-safe calls only, then ends the program by the same signal).

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <sys/wait.h>
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

namespace detail {

// What the signal handler needs, prepared before it is installed: the shell command that stops
// the server and removes its folder, and the benchmark's name for the message.
inline char g_stopCommand[4096];
inline char g_benchName[64];
inline volatile std::sig_atomic_t g_stopping = 0;

inline void writeStderr(const char* text) { (void)!::write(2, text, std::strlen(text)); }

inline void onSignal(int sig)
{
    if (g_stopping == 0 && g_stopCommand[0] != '\0') {
        g_stopping = 1;
        writeStderr(g_benchName);
        writeStderr(": stopped by signal ");
        writeStderr(sig == SIGINT ? "SIGINT" : sig == SIGTERM ? "SIGTERM" : sig == SIGHUP ? "SIGHUP" : "SIGQUIT");
        writeStderr("; stopping its private database server\n");
        const pid_t child = ::fork();
        if (child == 0) {
            const char* argv[] = {"/bin/sh", "-c", g_stopCommand, nullptr};
            ::execv("/bin/sh", const_cast<char* const*>(argv));
            ::_exit(127);
        }
        if (child > 0) {
            int status = 0;
            while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
        }
        g_stopCommand[0] = '\0';
    }
    std::signal(sig, SIG_DFL);
    ::raise(sig);
}

inline void onExit()
{
    if (!benchServerDir().empty()) {
        std::fprintf(stderr, "%s: exiting; stopping its private database server\n", g_benchName);
        const std::string dir = benchServerDir();
        g_stopCommand[0] = '\0';
        const std::string cmd =
            std::string("bash '") + VT_SOURCE_DIR + "/scripts/db-server.sh' stop '" + dir + "' >/dev/null";
        (void)std::system(cmd.c_str());
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
        benchServerDir().clear();
    }
}

}  // namespace detail

inline bool startBenchServer(const std::string& name)
{
    if (const char* dir = std::getenv("VT_TEST_SERVER_DIR"); dir && *dir &&
                                                             std::filesystem::exists(std::string(dir) + "/port") &&
                                                             std::filesystem::exists(std::string(dir) + "/mysqld.pid"))
        return true;
    std::string& own = benchServerDir();
    own = std::filesystem::temp_directory_path() / ("vt-" + name + "-" + std::to_string(getpid()));
    // The ways out are covered before the server exists, so a signal during its start stops it too.
    const std::string stop = std::string("bash '") + VT_SOURCE_DIR + "/scripts/db-server.sh' stop '" + own +
                             "' >/dev/null 2>&1; rm -rf '" + own + "'";
    std::snprintf(detail::g_benchName, sizeof detail::g_benchName, "%s", name.c_str());
    if (stop.size() < sizeof detail::g_stopCommand) std::memcpy(detail::g_stopCommand, stop.c_str(), stop.size() + 1);
    static bool installed = false;
    if (!installed) {
        installed = true;
        std::atexit(detail::onExit);
        struct sigaction sa {};
        sa.sa_handler = detail::onSignal;
        sigemptyset(&sa.sa_mask);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            sigaction(sig, &sa, nullptr);
    }
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
    detail::g_stopCommand[0] = '\0';
    const std::string cmd =
        std::string("bash '") + VT_SOURCE_DIR + "/scripts/db-server.sh' stop '" + own + "' >/dev/null";
    (void)std::system(cmd.c_str());
    std::error_code ignored;
    std::filesystem::remove_all(own, ignored);
    own.clear();
}

// Starts (or finds) the server and stops a private one when it goes out of scope, so early
// returns and exceptions stop it as well.
class BenchServer {
public:
    explicit BenchServer(const std::string& name) : m_ok(startBenchServer(name))
    {
        if (!m_ok) std::fprintf(stderr, "%s: could not start or find a MariaDB server\n", name.c_str());
    }
    ~BenchServer() { stopBenchServer(); }
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;
    bool ok() const { return m_ok; }

private:
    bool m_ok;
};

}  // namespace vt::bench
