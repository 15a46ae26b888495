#include "db/TmySQLEngine.h"

#include "db/DbErrors.h"

uint16_t TmySQLEngine::record(const EmySQLException& e)
{
    m_lastKind = e.Kind();
    if (e.IsClientError()) {
        m_lastServerError = static_cast<uint16_t>(e.ClientError());
        m_lastErrorText = e.Text();
    } else {
        m_lastErrorText.clear();
    }
    return e.Code();
}

const char* TmySQLEngine::CodeText(uint16_t code)
{
    switch (code) {
    case 8705: return "At beginning of table.";
    case 8706: return "At end of table.";
    case 8709: return "No current record.";
    case 8710: return "Could not find record.";
    case 8711: return "End of BLOB.";
    case 9986: return "Invalid parameter.";
    case 9990: return "Invalid handle to the function.";
    case 9997: return "Index does not exist.";
    case 9998: return "Invalid offset into the BLOB.";
    case 10003: return "Invalid record structure.";
    case 10024: return "Table does not exist.";
    case 10050: return "Filter handle is invalid.";
    case 10498: return "Insufficient table rights for operation. Password required.";
    case 10753: return "Field is not a BLOB.";
    case 10763: return "Table is read only.";
    case 10764: return "No associated index.";
    case 11886: return "Query string is empty.";
    case 12289: return "Capability not supported.";
    case 13062: return "Update aborted.";
    default: return "Unknown error";
    }
}

std::string TmySQLEngine::ComposeMessage(uint16_t code) const
{
    std::string message;
    if (!m_lastErrorText.empty() && m_lastServerError > 0)
        message = "mySQL Error Code: (" + std::to_string(m_lastServerError) + ")\r\n" + m_lastErrorText;
    else
        message = "DBI Error Code: (" + std::to_string(code) + ")\r\n" + m_lastErrorText + " \r\n" + CodeText(code);
    if (message.empty()) message = "Dalvirex Interface Error: (" + std::to_string(code) + ")";
    return message;
}

void TmySQLEngine::Check(uint16_t code) const
{
    if (code == 0) return;
    // The number is the one the composed message shows after "mySQL Error Code:".
    const bool fromClient = !m_lastErrorText.empty() && m_lastServerError > 0;
    throw EmySQLDatabaseError(code, ComposeMessage(code), fromClient ? m_lastServerError : 0, m_lastKind);
}
