#pragma once
// The 3-node cluster on loopback that the galera_app fixture starts (scripts/galera-cluster.sh),
// as the app cluster tests reach it: its folder, its nodes' ports, and SQL run as root on a
// node through the command-line client.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vt::test {

inline std::string clusterDir() { return std::getenv("VT_GALERA_DIR") ? std::getenv("VT_GALERA_DIR") : ""; }

inline std::vector<unsigned> clusterPorts()
{
    std::ifstream in(clusterDir() + "/ports");
    std::vector<unsigned> ports;
    for (unsigned p; in >> p;)
        ports.push_back(p);
    return ports;
}

// Runs SQL as root on node n through the command-line client; the output's rows.
inline std::string onNode(int n, const std::string& sql, const std::string& database = "")
{
    const std::string file = clusterDir() + "/statement.sql";
    std::ofstream(file, std::ios::binary) << sql;
    const std::string cmd = "mariadb --socket='" + clusterDir() + "/s" + std::to_string(n) +
                            ".sock' -uroot -N -B --default-character-set=utf8mb4 " + database + " < '" + file +
                            "' 2>&1";
    std::string output;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buffer[4096];
        for (size_t got; (got = fread(buffer, 1, sizeof buffer, p)) > 0;)
            output.append(buffer, got);
        if (pclose(p) != 0) ADD_FAILURE() << "SQL failed on node " << n << ": " << output;
    }
    return output;
}

inline std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

}  // namespace vt::test
