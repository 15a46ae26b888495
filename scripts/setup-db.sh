#!/usr/bin/env bash
# Creates a Veltrana database on a MariaDB/MySQL server: the database, its tables, the one
# global_settings row, the master account ADMIN (password ADMIN) and the shared database
# account that every client uses (native password, may select/insert/update/delete).
#
#   setup-db.sh [--socket PATH] [--database NAME] [--db-user NAME] [--db-password PW] [--demo]
#   setup-db.sh --upgrade [--socket PATH] [--database NAME]
#   setup-db.sh --tls DIR [--tls-name NAME]... [--tls-config FILE] [--socket PATH]
#   setup-db.sh --rebuild-search [--socket PATH] [--database NAME]
#
# Runs the mariadb command-line client as the server's root (over the Unix socket, so run it
# on the server machine as root). --demo adds sample projects, documents and users.
# --upgrade brings an existing database of an earlier schema version up to the newest one,
# keeping every row; it may be run again at any time and then changes nothing.
# --rebuild-search builds the search indexes again, after the server's search settings
# (innodb_ft_min_token_size, innodb_ft_enable_stopword) changed; the rows stay as they are.
# --tls makes the server encrypt every connection and prove who it is: it uses the team's own
# CA and server certificate when DIR holds ca.pem, server-cert.pem and server-key.pem, and
# otherwise creates them there (scripts/tls-certs.sh) for the names given with --tls-name
# (default: this machine's name, localhost and 127.0.0.1: every name the workstations use
# for the server). It writes the server options (ssl-ca, ssl-cert, ssl-key,
# require_secure_transport=ON) to FILE (default /etc/mysql/mariadb.conf.d/90-veltrana-tls.cnf)
# and switches require_secure_transport on at once when the server runs with TLS already;
# otherwise the server must be restarted. Copy DIR/ca.pem to each workstation.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
socket=""; db=Veltrana; dbuser=vtran; dbpw=vtran; demo=0; upgrade=0; rebuild=0
tls_dir=""; tls_names=(); tls_config=/etc/mysql/mariadb.conf.d/90-veltrana-tls.cnf
while [ $# -gt 0 ]; do
  case "$1" in
    --socket) socket=$2; shift 2 ;;
    --database) db=$2; shift 2 ;;
    --db-user) dbuser=$2; shift 2 ;;
    --db-password) dbpw=$2; shift 2 ;;
    --demo) demo=1; shift ;;
    --upgrade) upgrade=1; shift ;;
    --tls) tls_dir=$2; shift 2 ;;
    --tls-name) tls_names+=("$2"); shift 2 ;;
    --tls-config) tls_config=$2; shift 2 ;;
    --rebuild-search) rebuild=1; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
client=$(command -v mariadb || command -v mysql)
args=(-uroot); [ -n "$socket" ] && args+=(--socket="$socket")
case "$db$dbuser" in *[\`\'\\]*) echo "names must not contain quotes or backslashes" >&2; exit 2 ;; esac
pw_sql=${dbpw//\\/\\\\}; pw_sql=${pw_sql//\'/\\\'}

if [ -n "$tls_dir" ]; then
  mkdir -p "$tls_dir"; tls_dir=$(cd "$tls_dir" && pwd)
  if [ -f "$tls_dir/ca.pem" ] && [ -f "$tls_dir/server-cert.pem" ] && [ -f "$tls_dir/server-key.pem" ]; then
    echo "Using the certificates in $tls_dir"
    openssl verify -CAfile "$tls_dir/ca.pem" "$tls_dir/server-cert.pem" >/dev/null \
      || { echo "server-cert.pem is not signed by ca.pem" >&2; exit 1; }
  else
    [ ${#tls_names[@]} -gt 0 ] || tls_names=("$(hostname -f 2>/dev/null || hostname)" localhost 127.0.0.1)
    bash "$here/tls-certs.sh" "$tls_dir" "${tls_names[@]}"
  fi
  # The server runs as its own account, which must read its key.
  if id mysql >/dev/null 2>&1; then chgrp mysql "$tls_dir/server-key.pem" "$tls_dir/server-cert.pem" "$tls_dir/ca.pem"; fi
  chmod 640 "$tls_dir/server-key.pem"
  mkdir -p "$(dirname "$tls_config")"
  cat > "$tls_config" <<CNF
# Written by Veltrana's setup-db.sh --tls: every connection encrypted, the server proven by
# its certificate.
[mariadb]
ssl-ca=$tls_dir/ca.pem
ssl-cert=$tls_dir/server-cert.pem
ssl-key=$tls_dir/server-key.pem
require_secure_transport=ON
CNF
  echo "Server options written to $tls_config"
  if [ "$("$client" "${args[@]}" -N -B -e "SELECT @@have_ssl" 2>/dev/null)" = YES ]; then
    "$client" "${args[@]}" -e "SET GLOBAL require_secure_transport=ON"
    echo "TLS is required from now on; restart the server to load new certificates."
  else
    echo "Restart the server to turn TLS on (it runs without TLS now)."
  fi
  echo "On each workstation: copy $tls_dir/ca.pem and add #TL:1#CA:<its path> to defaults.cfg."
  exit 0
fi

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
