#pragma once
// The version of the database's schema, kept in the one row of schema_version.

namespace vt::app {
class Session;
}

namespace vt::app::data::schema {

// The schema version this program is built for; sql/schema.sql creates it and
// scripts/setup-db.sh --upgrade brings older databases to it.
inline constexpr int kVersion = 6;

// The database's schema version: the Version of schema_version, or 1 for a database made
// before that table existed (or whose upgrade has not written the row yet).
int version(const Session& session);

}  // namespace vt::app::data::schema
