#pragma once
// The engine of a connection component: every low-level operation runs inside its guard,
// which turns the layer's internal exception into a 16-bit code (0 for success) and keeps
// the error text and server error number for the composed message.

#include <cstdint>
#include <exception>
#include <string>

#include "db/DbErrors.h"

// Internal failure of the layer, never seen by the application: a bare engine code, or a
// client error (code 1001) with the protocol client's error number and text.
class EmySQLException : public std::exception {
public:
    explicit EmySQLException(uint16_t code) : m_code(code) {}
    EmySQLException(int clientError, std::string text, FailureKind kind = FailureKind::Other)
        : m_code(1001), m_clientError(clientError), m_text(std::move(text)), m_isClient(true), m_kind(kind)
    {
    }
    const char* what() const noexcept override { return m_text.c_str(); }
    uint16_t Code() const { return m_code; }
    int ClientError() const { return m_clientError; }
    const std::string& Text() const { return m_text; }
    bool IsClientError() const { return m_isClient; }
    FailureKind Kind() const { return m_kind; }

private:
    uint16_t m_code;
    int m_clientError = 0;
    std::string m_text;
    bool m_isClient = false;
    FailureKind m_kind = FailureKind::Other;
};

namespace EngineCode {
constexpr uint16_t ClientError = 1001;
constexpr uint16_t BeginOfTable = 8705;
constexpr uint16_t EndOfTable = 8706;
constexpr uint16_t NoCurrentRecord = 8709;
constexpr uint16_t RecordNotFound = 8710;
constexpr uint16_t EndOfBlob = 8711;
constexpr uint16_t InvalidParameter = 9986;
constexpr uint16_t InvalidHandle = 9990;
constexpr uint16_t NoSuchIndex = 9997;
constexpr uint16_t InvalidBlobOffset = 9998;
constexpr uint16_t InvalidRecordStructure = 10003;
constexpr uint16_t NoSuchTable = 10024;
constexpr uint16_t InvalidFilterHandle = 10050;
constexpr uint16_t NotSufficientRights = 10498;
constexpr uint16_t NotABlob = 10753;
constexpr uint16_t TableReadOnly = 10763;
constexpr uint16_t NoAssociatedIndex = 10764;
constexpr uint16_t QueryEmpty = 11886;
constexpr uint16_t NotSupported = 12289;
constexpr uint16_t UpdateAborted = 13062;
}  // namespace EngineCode

class TmySQLEngine {
public:
    // Runs op; returns 0, or the code of the internal exception it raised (recording the
    // client's error number and text for a client error, clearing the text for a bare code).
    // Every other exception passes through unchanged.
    template <class Op>
    uint16_t Guard(Op&& op)
    {
        try {
            op();
            return 0;
        } catch (const EmySQLException& e) {
            return record(e);
        }
    }
    // Guard, then raise EmySQLDatabaseError when the code is not 0.
    template <class Op>
    void Run(Op&& op)
    {
        Check(Guard(std::forward<Op>(op)));
    }

    void Check(uint16_t code) const;  // raises EmySQLDatabaseError for code != 0
    std::string ComposeMessage(uint16_t code) const;
    static const char* CodeText(uint16_t code);  // the table of engine texts, "Unknown error"

    const std::string& LastErrorText() const { return m_lastErrorText; }
    uint16_t LastServerError() const { return m_lastServerError; }
    bool MultiThreaded = false;
    const void* LastObject = nullptr;  // the native connection or statement used last

    uint16_t record(const EmySQLException& e);

private:
    std::string m_lastErrorText;
    uint16_t m_lastServerError = 0;
    FailureKind m_lastKind = FailureKind::Other;
};
