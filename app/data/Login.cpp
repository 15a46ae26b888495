#include "data/Login.h"

#include "data/SqlText.h"
#include "data/Users.h"
#include "session/Passwords.h"
#include "session/Session.h"
#include "session/TextCodec.h"

#include "db/DbErrors.h"
#include "db/TField.h"
#include "db/TmySQLQuery.h"

namespace vt::app::data::login {

std::optional<QString> userRole(const Session& session, const QString& userName, const QString& password)
{
    // The row is found by name alone; the password is checked here, against a hash the server
    // never sees the password of.
    auto query = session.newQuery();
    query->SetSQL("select * from users where (Username = " + sqlQuoted(userName) + ")");
    query->Open();
    std::optional<QString> role;
    QString storedName;
    QString legacyPassword;
    bool legacy = false;
    for (int i = 0, count = query->RecordCount(); i < count && !role; ++i, query->Next()) {
        const QString stored = textOf(*query, "password");
        if (!passwords::matches(stored, password)) continue;
        role = textOf(*query, "Role");
        legacy = !passwords::isHash(stored);
        storedName = textOf(*query, "Username");
        legacyPassword = stored;
    }
    query->Close();
    if (role && legacy) users::replaceLegacyPassword(session, storedName, legacyPassword, password);
    return role;
}

std::optional<QString> storedRole(const Session& session, const QString& userName)
{
    auto query = session.newQuery();
    query->SetSQL("select Role from users where (Username = " + sqlQuoted(userName) + ")");
    query->Open();
    std::optional<QString> role;
    if (query->RecordCount() > 0) role = textOf(*query, "Role");
    query->Close();
    return role;
}

void setOwnServerPassword(const Session& session, const QString& password)
{
    auto query = session.newQuery();
    query->SetSQL("SET PASSWORD = PASSWORD(" + sqlQuoted(password) + ")");
    query->Execute();
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
        settings->attachments = textOf(*query, "attachments");  // must exist; no further use
    }
    query->Close();
    return settings;
}

bool isReadOnlyPacketLimit(const EmySQLDatabaseError& error) { return error.ServerError() == kPacketLimitReadOnly; }

QString setPacketLimit(const Session& session)
{
    auto query = session.newQuery();
    query->SetSQL("set max_allowed_packet=16000000");
    try {
        query->Execute();
    } catch (const EmySQLDatabaseError& error) {
        if (!isReadOnlyPacketLimit(error)) throw;
        return textFromBytes(error.what()).simplified();
    }
    return QString();
}

}  // namespace vt::app::data::login
