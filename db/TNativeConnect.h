#pragma once
// One open server connection: owns the protocol client, the values parsed from Params, the
// transaction mark and the statements created on it.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/TStringList.h"

class TMysqlClient;
class TMysqlResult;
class TNativeDataSet;

// The protocol client's capability flags (MysqlFlags) for a connect-options word, option by
// option: coInteractive is CLIENT_INTERACTIVE and coSSL is CLIENT_SSL (TLS required), which
// do not sit at their options' ordinal bits.
uint32_t ClientFlagsFromOptions(uint16_t options);

class TNativeConnect {
public:
    TNativeConnect(uint16_t options, bool multiThreaded);
    ~TNativeConnect();  // closes the server connection (traced as disconnect when open)
    TNativeConnect(const TNativeConnect&) = delete;
    TNativeConnect& operator=(const TNativeConnect&) = delete;

    // Reads UID, PWD, DatabaseName, Port, Host, TIMEOUT and TLSCA (the CA file that verifies
    // the server when coSSL asks for TLS; empty: the system's store) from params
    // (EConvertError for a Port or TIMEOUT that is not an integer), connects, and computes
    // ServerVersionNumber.
    // A refused connect raises EmySQLException with the client's error.
    void Connect(const TStringList& params);
    // "SHOW VARIABLES": the character_set variable's index, 0 when missing or failing.
    uint8_t ProbeCharset();

    // Runs one statement (traced), result stored. Failure raises EmySQLException with the
    // client's error. Returns the result set or none.
    std::unique_ptr<TMysqlResult> Query(const std::string& sql);
    // The same, but a failure gives none and ok false instead of raising.
    std::unique_ptr<TMysqlResult> TryQuery(const std::string& sql, bool& ok);
    // A metadata probe right after a successful command: as Query / TryQuery, without the
    // leading ping unless PingBeforeProbes is set.
    std::unique_ptr<TMysqlResult> Probe(const std::string& sql);
    std::unique_ptr<TMysqlResult> TryProbe(const std::string& sql, bool& ok);
    // A metadata probe of a table (SHOW INDEX, DESCRIBE) answered once per connection: the
    // stored answer is kept by statement text and database, and dropped when the client
    // connects again. A failed probe is kept as failed when mustSucceed is off; with it on,
    // the failure raises as Probe does and is not kept.
    std::shared_ptr<TMysqlResult> CachedProbe(const std::string& sql, bool mustSucceed, bool& ok);
    // A transaction statement, traced under its own operation; a failure raises.
    void Transaction(const std::string& sql);

    TMysqlClient& Client() { return *m_client; }
    uint16_t Options() const { return m_options; }
    bool IsOpen() const { return m_open; }
    bool InTransaction = false;
    int Isolation = 0;

    const std::string& User() const { return m_user; }
    const std::string& Password() const { return m_password; }
    const std::string& Database() const { return m_database; }
    const std::string& Host() const { return m_host; }
    int PortNumber() const { return m_port; }
    int Timeout() const { return m_timeout; }

    std::vector<TNativeDataSet*> Statements;

private:
    std::unique_ptr<TMysqlClient> m_client;
    uint16_t m_options;
    bool m_open = false;
    std::string m_user, m_password, m_database, m_host;
    int m_port = 0;
    int m_timeout = 30;
    struct CachedAnswer {
        std::shared_ptr<TMysqlResult> result;
        bool ok = false;
    };
    std::map<std::string, CachedAnswer> m_probeCache;
    uint64_t m_probeCacheConnection = 0;  // the client's connection count the cache belongs to
};
