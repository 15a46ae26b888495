// Password hashes as the Users table keeps them: salted Argon2id in the encoded form, verified
// in the client, and the legacy values an older client stored as typed.

#include "session/Passwords.h"

#include <gtest/gtest.h>

using namespace vt::app;

TEST(Passwords, HashesAreSaltedEncodedArgon2idThatVerifyOnlyTheirPassword)
{
    const QString secret = QString::fromUtf8("ÜNÏ'\\PW");
    const QString a = passwords::hash(secret);
    const QString b = passwords::hash(secret);
    EXPECT_TRUE(a.startsWith("$argon2id$v=19$m=16384,t=2,p=1$")) << a.toStdString();
    EXPECT_NE(a, b);  // a fresh salt each time
    EXPECT_TRUE(passwords::isHash(a));
    EXPECT_FALSE(a.contains(secret));
    for (const QString& h : {a, b}) {
        EXPECT_TRUE(passwords::matches(h, secret));
        EXPECT_FALSE(passwords::matches(h, secret.toLower()));  // a hash is checked exactly
        EXPECT_FALSE(passwords::matches(h, ""));
        EXPECT_FALSE(passwords::matches(h, h));  // the hash is no password
    }
}

TEST(Passwords, StoredValuesThatAreNotGoodHashesNeverCrashOrMatchByAccident)
{
    struct Case {
        QString stored;
        QString typed;
        bool matches;
    } cases[] = {
        {"PW", "PW", true},  // legacy, as typed
        {"pw", "PW", true},  // legacy, as the server compared it
        {"PW", "PW ", false},
        {"", "", true},  // an empty legacy password
        {"", "X", false},
        {"$argon2id$", "", false},  // truncated hash
        {"$argon2id$v=19$m=16384,t=2,p=1$AAAA$BBBB", "x", false},
        {"$argon2id$" + QString(500, 'A'), "x", false},  // longer than any encoded hash
        {"$ARGON2ID$V=19", "$ARGON2ID$V=19", true},      // an upper-case typed text is legacy
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.left(40).toStdString());
        EXPECT_EQ(passwords::matches(c.stored, c.typed), c.matches);
    }
}
