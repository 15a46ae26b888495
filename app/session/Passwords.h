#pragma once
// Account passwords as the Users table keeps them: a salted, slow Argon2id hash in its encoded
// string form ("$argon2id$v=19$m=...,t=...,p=1$salt$hash"), made and checked in the client so
// that the shared database account never sees a password it could read back.

#include <QString>

namespace vt::app::passwords {

// Work factors of new hashes. Checking a stored hash uses the factors encoded in it, so
// lowering these (as the tests do) never locks out an account hashed with other ones.
struct HashCost {
    unsigned long long opsLimit;
    size_t memLimit;  // bytes
};
// libsodium's interactive limits: 2 passes over 64 MiB.
HashCost hashCost();
void setHashCost(HashCost cost);

// A new encoded Argon2id hash of the password (its UTF-8 bytes) with a fresh random salt.
// Raises std::runtime_error when the hash cannot be made (memory exhausted).
QString hash(const QString& password);

// Whether a stored value is an encoded Argon2id hash (rather than a password kept as typed
// by an older client).
bool isHash(const QString& stored);

// Whether password matches the stored value: an encoded hash is verified; any other stored
// value is a legacy plain password, compared as the server compared it before (without
// regard to letter case). An empty password matches only an empty legacy value.
bool matches(const QString& stored, const QString& password);

}  // namespace vt::app::passwords
