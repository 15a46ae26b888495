#include "ErrorDisplay.h"

#include "platform/Platform.h"
#include "session/TextCodec.h"

#include "db/DbErrors.h"

namespace vt::app {

QString errorSentence(int serverError)
{
    switch (serverError) {
    case 1406:  // data too long for column
        return QStringLiteral("A text is longer than the database can store in its field. Shorten it and try again.");
    case 1062:  // duplicate entry
        return QStringLiteral("An entry with this name or number exists already.");
    case 1044:  // access denied to a database
    case 1142:  // command denied on a table
    case 1143:  // command denied on a column
    case 1227:  // a privilege is missing
        return QStringLiteral("The database server does not allow your database account to do this.");
    case 1644:  // a rule of the database (per-user accounts): its reason is the server's text
        return QStringLiteral("The database server refused this change for the reason below.");
    case 1369:  // a view's check: with per-user accounts, a row outside the user's projects
        return QStringLiteral("The change would put data where your account has no access, so the database "
                              "server refused it.");
    case 1045:  // access denied for user
        return QStringLiteral("The database server refused the account name or password of the connection "
                              "settings.");
    case 1049:  // unknown database
        return QStringLiteral("The database named in the connection settings does not exist on the server.");
    case 1205:  // lock wait timeout
    case 1213:  // deadlock
        return QStringLiteral("Another user was changing the same data at the same moment. Try again.");
    case 1153:  // packet bigger than max_allowed_packet
        return QStringLiteral("The document or file is too large for the database server to accept.");
    case 2002:  // cannot connect through the socket
    case 2003:  // cannot connect to the server
    case 2005:  // unknown host
        return QStringLiteral("The database server cannot be reached. Check the server address and the network, "
                              "then try again.");
    case 2006:  // server has gone away
    case 2013:  // lost connection during a query
        return QStringLiteral("The connection to the database server was lost. Try again; the program connects "
                              "again by itself.");
    default: return {};
    }
}

QString errorText(const std::exception& error)
{
    const QString text = textFromBytes(error.what());
    const auto* server = dynamic_cast<const EmySQLDatabaseError*>(&error);
    QString sentence = server ? errorSentence(server->ServerError()) : QString();
    // A lost connection is not always to be answered by trying again: a change whose answer
    // was lost may be stored already.
    if (server && server->Kind() == FailureKind::OutcomeUnknown)
        sentence = QStringLiteral("The connection to the database server was lost after the change was sent. "
                                  "Look whether it was stored before you make it again.");
    else if (server && server->Kind() == FailureKind::TransactionLost)
        sentence = QStringLiteral("The connection to the database server was lost during the change; nothing of "
                                  "it was stored. Try again; the program connects again by itself.");
    return sentence.isEmpty() ? text : sentence + QStringLiteral("\n\n") + text;
}

void showError(const std::exception& error) { platform().showErrorMessage(errorText(error)); }

void showUnknownError() { platform().showErrorMessage(QStringLiteral("Unknown error")); }

bool VeltranaApplication::notify(QObject* receiver, QEvent* event)
{
    bool result = false;
    guarded([&] { result = QApplication::notify(receiver, event); });
    return result;
}

}  // namespace vt::app
