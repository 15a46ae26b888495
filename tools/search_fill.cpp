// The one-time fill of the search's texts for bodies stored before search existed: reads every
// body without a stored text (from the database, or from the shared documents folder when the
// shared settings say so) and stores its plain text. Prints its progress; stopped at any point,
// it is resumed by running it again, which reads only the bodies still without text.
//
//   veltrana-search-fill [--ca FILE] [--per-user] HOST[:PORT] DATABASE DB-USER DB-PASSWORD USER PASSWORD
//
// USER and PASSWORD are a Veltrana account (upper-cased as at the login dialog). --ca requires
// TLS, verified by FILE; --per-user logs in with USER's own server account (TLS required, the
// DB-USER and DB-PASSWORD given are then ignored; "-" will do).

#include "data/Search.h"
#include "session/Session.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString caFile;
    bool perUser = false;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string option = argv[first];
        if (option == "--ca" && first + 1 < argc) {
            caFile = QString::fromLocal8Bit(argv[++first]);
        } else if (option == "--per-user") {
            perUser = true;
        } else {
            break;
        }
    }
    if (argc - first != 6) {
        std::fprintf(stderr, "usage: veltrana-search-fill [--ca FILE] [--per-user] HOST[:PORT] DATABASE DB-USER "
                             "DB-PASSWORD USER PASSWORD\n");
        return 2;
    }
    const auto arg = [&](int i) { return QString::fromLocal8Bit(argv[first + i - 1]); };
    try {
        vt::app::Session session;
        vt::app::ConnectionValues values;
        values.database = arg(2);
        values.host = arg(1);
        values.user = arg(3);
        values.password = arg(4);
        values.requireTls = perUser || !caFile.isEmpty();
        values.tlsCaFile = caFile;
        values.perUser = perUser;
        const auto result = session.logIn(values, arg(5).toUpper(), arg(6).toUpper());
        if (result != vt::app::Session::LoginResult::LoggedIn) {
            std::fprintf(stderr, "veltrana-search-fill: cannot log in (%s)\n",
                         result == vt::app::Session::LoginResult::WrongSchemaVersion
                             ? session.schemaRefusal().toLocal8Bit().constData()
                             : "unknown user, wrong password or no shared settings");
            return 1;
        }
        const auto filled = vt::app::data::search::fillMissingTexts(
            session, session.StoreDocumentsAsFiles, session.DocumentsFolder, [](int done, int total) {
                std::printf("%d of %d bodies read\n", done, total);
                std::fflush(stdout);
            });
        std::printf("%d texts stored; %d bodies could not be read\n", filled.filled, filled.unreadable);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "veltrana-search-fill: %s\n", e.what());
        return 1;
    }
}
