#!/usr/bin/env bash
# Creates a Veltrana database on a MariaDB/MySQL server: the database, its tables, the one
# global_settings row, the master account ADMIN (password ADMIN) and the shared database
# account that every client uses (native password, may select/insert/update/delete).
#
#   setup-db.sh [--socket PATH] [--database NAME] [--db-user NAME] [--db-password PW] [--demo]
#
# Runs the mariadb command-line client as the server's root (over the Unix socket, so run it
# on the server machine as root). --demo adds sample projects, documents and users.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
socket=""; db=Veltrana; dbuser=vtran; dbpw=vtran; demo=0
while [ $# -gt 0 ]; do
  case "$1" in
    --socket) socket=$2; shift 2 ;;
    --database) db=$2; shift 2 ;;
    --db-user) dbuser=$2; shift 2 ;;
    --db-password) dbpw=$2; shift 2 ;;
    --demo) demo=1; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
client=$(command -v mariadb || command -v mysql)
args=(-uroot); [ -n "$socket" ] && args+=(--socket="$socket")
case "$db$dbuser" in *[\`\'\\]*) echo "names must not contain quotes or backslashes" >&2; exit 2 ;; esac
pw_sql=${dbpw//\\/\\\\}; pw_sql=${pw_sql//\'/\\\'}

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
