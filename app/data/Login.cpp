#include "data/Login.h"

#include "data/SqlText.h"
#include "session/Session.h"
#include "session/TextCodec.h"

#include "db/DbErrors.h"
#include "db/TField.h"
#include "db/TmySQLQuery.h"

namespace vt::app::data::login {

std::optional<QString> userRole(const Session& session, const QString& userName,
                                const QString& password)
{
    auto query = session.newQuery();
    query->SetSQL("select * from users where (Username = " + sqlQuoted(userName)
                  + ") and (password = " + sqlQuoted(password) + ")");
    query->Open();
    std::optional<QString> role;
    if (query->RecordCount() > 0)
        role = textOf(*query, "Role");
    query->Close();
    return role;
}

std::optional<GlobalSettings> globalSettings(const Session& session)
{
    auto query = session.newQuery();
    query->SetSQL("select * from global_settings");
    query->Open();
    std::optional<GlobalSettings> settings;
    if (query->RecordCount() > 0) {
        settings.emplace();
        settings->commonDir = textOf(*query, "commondir");
        settings->documents = textOf(*query, "documents");
        settings->saveAsFiles = query->FieldByName("SaveAsFiles").Value().AsFloat() > 0;
        settings->attachments = textOf(*query, "attachments");   // must exist; no further use
    }
    query->Close();
    return settings;
}

bool isReadOnlyPacketLimit(const EmySQLDatabaseError& error)
{
    return error.ServerError() == kPacketLimitReadOnly;
}

QString setPacketLimit(const Session& session)
{
    auto query = session.newQuery();
    query->SetSQL("set max_allowed_packet=16000000");
    try {
        query->Execute();
    } catch (const EmySQLDatabaseError& error) {
        if (!isReadOnlyPacketLimit(error))
            throw;
        return textFromBytes(error.what()).simplified();
    }
    return QString();
}

} // namespace vt::app::data::login
