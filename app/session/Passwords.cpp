#include "session/Passwords.h"

#include <sodium.h>

#include <QByteArray>

#include <stdexcept>

namespace vt::app::passwords {

namespace {

HashCost& cost()
{
    static HashCost value{crypto_pwhash_argon2id_OPSLIMIT_INTERACTIVE, crypto_pwhash_argon2id_MEMLIMIT_INTERACTIVE};
    return value;
}

void initialise()
{
    // Idempotent and thread-safe; needed once before the random salt is drawn.
    if (sodium_init() < 0) throw std::runtime_error("The password library cannot be initialised");
}

const char kPrefix[] = "$argon2id$";

}  // namespace

HashCost hashCost() { return cost(); }

void setHashCost(HashCost value) { cost() = value; }

QString hash(const QString& password)
{
    initialise();
    const QByteArray bytes = password.toUtf8();
    char out[crypto_pwhash_argon2id_STRBYTES];
    if (crypto_pwhash_argon2id_str(out, bytes.constData(), static_cast<unsigned long long>(bytes.size()),
                                   cost().opsLimit, cost().memLimit) != 0)
        throw std::runtime_error("Not enough memory to protect the password");
    return QString::fromLatin1(out);
}

bool isHash(const QString& stored) { return stored.startsWith(QLatin1String(kPrefix)); }

bool matches(const QString& stored, const QString& password)
{
    if (!isHash(stored)) return stored.compare(password, Qt::CaseInsensitive) == 0;
    initialise();
    const QByteArray encoded = stored.toLatin1();
    if (encoded.size() >= crypto_pwhash_argon2id_STRBYTES)
        return false;  // not a hash this library wrote; never read past its buffer
    const QByteArray bytes = password.toUtf8();
    return crypto_pwhash_argon2id_str_verify(encoded.constData(), bytes.constData(),
                                             static_cast<unsigned long long>(bytes.size())) == 0;
}

}  // namespace vt::app::passwords
