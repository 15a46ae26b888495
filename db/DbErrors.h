#pragma once
// Exceptions of the database access layer. Every one derives from EDbError, which derives
// from std::exception and carries the finished message.

#include <cstdint>
#include <exception>
#include <string>

class EDbError : public std::exception {
public:
    explicit EDbError(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }
    const std::string& Message() const { return m_message; }

private:
    std::string m_message;
};

// Misuse of a component, with a fixed text ("Cannot perform this operation on an open
// database", "Field 'x' not found", ...), prefixed with the component's name when it has one.
class EDatabaseError : public EDbError {
public:
    using EDbError::EDbError;
};

// What a failure says about the statement when the connection to the server was lost on the
// way; Other for every failure that is no such loss (or one before the statement was sent).
enum class FailureKind : uint8_t {
    Other,
    // The statement (or COMMIT) was sent and its answer was lost: it may or may not have been
    // stored. Whoever can check by a key or a token it wrote decides whether to run it again.
    OutcomeUnknown,
    // The connection was lost inside a transaction: nothing of the transaction was stored.
    TransactionLost,
};

// Every failure of the engine: its 16-bit code, the composed message and, when the protocol
// client reported the failure, the number of its error pair (the server's error number, or a
// client code 2000..2020; 0 for failures of the layer itself). Callers test that number, never
// the message text.
class EmySQLDatabaseError : public EDatabaseError {
public:
    EmySQLDatabaseError(uint16_t errorCode, std::string message, uint16_t serverError = 0,
                        FailureKind kind = FailureKind::Other)
        : EDatabaseError(std::move(message)), m_errorCode(errorCode), m_serverError(serverError), m_kind(kind)
    {
    }
    uint16_t ErrorCode() const { return m_errorCode; }
    uint16_t ServerError() const { return m_serverError; }
    FailureKind Kind() const { return m_kind; }

private:
    uint16_t m_errorCode;
    uint16_t m_serverError;
    FailureKind m_kind;
};

// Opening a statement that returns no rows: "Error creating cursor handle".
class ENoResultSet : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// A text that is not a number or date ("'%s' is not a valid integer value", "Invalid argument
// to date encode", ...).
class EConvertError : public EDbError {
public:
    using EDbError::EDbError;
};

// A variant or field read as a kind it cannot become ("Invalid variant type conversion",
// "Invalid class typecast").
class EVariantError : public EDbError {
public:
    using EDbError::EDbError;
};

// A file that cannot be opened ("Cannot open file %s").
class EFOpenError : public EDbError {
public:
    using EDbError::EDbError;
};

// A list position that does not exist ("List index out of bounds (%d)").
class EListError : public EDbError {
public:
    using EDbError::EDbError;
};
