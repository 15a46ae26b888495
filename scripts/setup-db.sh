#!/usr/bin/env bash
# Creates a Veltrana database on a MariaDB/MySQL server: the database, its tables, the one
# global_settings row, the master account ADMIN (password ADMIN) and the shared database
# account that every client uses (native password, may select/insert/update/delete).
#
#   setup-db.sh [--socket PATH] [--database NAME] [--db-user NAME] [--db-password PW] [--demo]
#   setup-db.sh --upgrade [--socket PATH] [--database NAME]
#   setup-db.sh --rebuild-search [--socket PATH] [--database NAME]
#
# Runs the mariadb command-line client as the server's root (over the Unix socket, so run it
# on the server machine as root). --demo adds sample projects, documents and users.
# --upgrade brings an existing database of an earlier schema version up to the newest one,
# keeping every row; it may be run again at any time and then changes nothing.
# --rebuild-search builds the search indexes again, after the server's search settings
# (innodb_ft_min_token_size, innodb_ft_enable_stopword) changed; the rows stay as they are.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
socket=""; db=Veltrana; dbuser=vtran; dbpw=vtran; demo=0; upgrade=0; rebuild=0
while [ $# -gt 0 ]; do
  case "$1" in
    --socket) socket=$2; shift 2 ;;
    --database) db=$2; shift 2 ;;
    --db-user) dbuser=$2; shift 2 ;;
    --db-password) dbpw=$2; shift 2 ;;
    --demo) demo=1; shift ;;
    --upgrade) upgrade=1; shift ;;
    --rebuild-search) rebuild=1; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
client=$(command -v mariadb || command -v mysql)
args=(-uroot); [ -n "$socket" ] && args+=(--socket="$socket")
case "$db$dbuser" in *[\`\'\\]*) echo "names must not contain quotes or backslashes" >&2; exit 2 ;; esac
pw_sql=${dbpw//\\/\\\\}; pw_sql=${pw_sql//\'/\\\'}

# The newest schema version: the highest numbered step in sql/upgrade/ (version 1 needs none).
newest=1
for step in "$here"/../sql/upgrade/*.sql; do
  n=$(basename "$step" .sql); [ "$n" -gt "$newest" ] && newest=$n
done

if [ "$rebuild" = 1 ]; then
  # Each index is dropped and added again in one statement, with the server's settings of now.
  "$client" "${args[@]}" "$db" <<'SQL'
SET SESSION innodb_ft_enable_stopword = 0;
ALTER TABLE search_body_text DROP INDEX ft_search_body, ADD FULLTEXT KEY ft_search_body (BodyText, BodyPairs);
ALTER TABLE Requirements DROP INDEX ft_search_topic, ADD FULLTEXT KEY ft_search_topic (RequirementName);
ALTER TABLE Req_messages DROP INDEX ft_search_message, ADD FULLTEXT KEY ft_search_message (Subject, msg);
ALTER TABLE Attachments DROP INDEX ft_search_attachment, ADD FULLTEXT KEY ft_search_attachment (Link, Description);
SQL
  echo "Search indexes of '$db' rebuilt."
  exit 0
fi

if [ "$upgrade" = 1 ]; then
  q() { "$client" "${args[@]}" -N -B "$db" -e "$1"; }
  q "SELECT 1" >/dev/null  # fails with the client's message when the database does not exist
  # A database without schema_version (or without its row yet) has version 1.
  version=1
  if [ "$(q "SELECT count(*) FROM information_schema.tables WHERE table_schema = DATABASE()
             AND lower(table_name) = 'schema_version'")" != 0 ]; then
    version=$(q "SELECT coalesce(max(Version), 1) FROM schema_version")
  fi
  if [ "$version" -gt "$newest" ]; then
    echo "Database '$db' has schema version $version, newer than version $newest of these scripts; nothing changed." >&2
    exit 1
  fi
  from=$version
  while [ "$version" -lt "$newest" ]; do
    version=$((version + 1))
    echo "Upgrading '$db' to schema version $version"
    "$client" "${args[@]}" "$db" < "$here/../sql/upgrade/$version.sql"
  done
  if [ "$from" = "$newest" ]; then
    echo "Database '$db' is at schema version $newest already; nothing to do."
  else
    echo "Database '$db' upgraded from schema version $from to $newest."
  fi
  exit 0
fi

"$client" "${args[@]}" -e "CREATE DATABASE \`$db\` CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci"
"$client" "${args[@]}" "$db" < "$here/../sql/schema.sql"
"$client" "${args[@]}" "$db" < "$here/../sql/initial-data.sql"
if [ "$demo" = 1 ]; then
  "$client" "${args[@]}" "$db" < "$here/../sql/demo-data.sql"
  # The demo's document bodies, one file per document id, stored as the program stores them.
  for body in "$here"/../sql/demo-bodies/*.rvf; do
    id=$(basename "$body" .rvf)
    hex=$(od -An -v -tx1 "$body" | tr -d ' \n')
    echo "INSERT INTO Req_objects (RequirementID, Document) VALUES ($id, X'$hex');"
  done | "$client" "${args[@]}" "$db"
fi
"$client" "${args[@]}" <<SQL
CREATE USER IF NOT EXISTS '$dbuser'@'%' IDENTIFIED VIA mysql_native_password USING PASSWORD('$pw_sql');
GRANT SELECT, INSERT, UPDATE, DELETE ON \`$db\`.* TO '$dbuser'@'%';
SQL
echo "Database '$db' ready; clients log in to it with the account '$dbuser'."
