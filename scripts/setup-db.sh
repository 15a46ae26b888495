#!/usr/bin/env bash
# Creates a Veltrana database on a MariaDB server, or upgrades one.
#
#   setup-db.sh [--per-user-accounts] [--socket PATH] [--database NAME] [--demo]
#   setup-db.sh --shared-account [--socket PATH] [--database NAME] [--db-user NAME] [--db-password PW] [--demo]
#   setup-db.sh --upgrade [--per-user-accounts] [--passwords-file FILE] [--socket PATH] [--database NAME]
#   setup-db.sh --tls DIR [--tls-name NAME]... [--tls-config FILE] [--socket PATH]
#   setup-db.sh --rebuild-search [--socket PATH] [--database NAME]
#
# Runs the mariadb command-line client as the server's root (over the Unix socket, so run it
# on the server machine as root). --demo adds sample projects, documents and users.
# A new database is set up with per-user accounts (the default, --per-user-accounts): every
# user logs in with a server account of its own (native password, TLS required) and the server
# enforces who may read and change what (docs/server-rights.md). The tables live in NAME_store,
# which no user account reaches; NAME holds views of them. The master account ADMIN gets the
# one-time password ADMIN (with --demo every demo user has its name as a lasting password).
# --shared-account sets up the older mode instead: the tables in NAME, the master account ADMIN
# (password ADMIN) and one shared database account that every client uses (native password, may
# select/insert/update/delete), named by --db-user and --db-password (default vtran/vtran); the
# program then checks every right itself.
# --upgrade brings an existing database of an earlier schema version up to the newest one,
# keeping every row and its mode; it may be run again at any time and then changes nothing.
# A database in per-user mode is recognised by its store, which is upgraded; its views are then
# made again.
# --upgrade --per-user-accounts moves an existing shared-account database to per-user accounts,
# keeping every row, and gives every user without one an account with a random one-time
# password; the names and passwords go to FILE (default ./NAME-one-time-passwords.txt, readable
# by its owner only), never to the screen. The shared account loses its rights on NAME.
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
socket=""; db=Veltrana; dbuser=vtran; dbpw=vtran; demo=0; upgrade=0; rebuild=0; per_user=""; pwfile=""
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
    --per-user-accounts) per_user=1; shift ;;
    --shared-account) per_user=0; shift ;;
    --passwords-file) pwfile=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
# A new database gets per-user accounts unless told otherwise; an upgrade keeps the mode it
# finds unless --per-user-accounts asks for the move.
if [ -z "$per_user" ]; then
  if [ "$upgrade" = 1 ]; then per_user=0; else per_user=1; fi
fi
client=$(command -v mariadb || command -v mysql)
args=(-uroot); [ -n "$socket" ] && args+=(--socket="$socket")
case "$db$dbuser" in *[\`\'\\]*) echo "names must not contain quotes or backslashes" >&2; exit 2 ;; esac
pw_sql=${dbpw//\\/\\\\}; pw_sql=${pw_sql//\'/\\\'}
# Per-user mode: the tables in the store database, the role every user account holds.
store="${db}_store"; role="veltrana_user_$db"
# A database name in a grant is a pattern: its wildcards are escaped, so that the grant on the
# views does not also match the store ("V_store" would match "V%").
db_grant=${db//\\/\\\\}; db_grant=${db_grant//_/\\_}; db_grant=${db_grant//%/\\%}
if [ "$per_user" = 1 ] && [ ${#store} -gt 64 ]; then
  echo "with per-user accounts a database name has at most 58 characters" >&2; exit 2
fi

# Applies the per-user layer (sql/per-user/, in order) with this database's names.
apply_per_user() {
  local f sql
  for f in "$here"/../sql/per-user/*.sql; do
    sql=$(<"$f"); sql=${sql//@DB_GRANT@/$db_grant}; sql=${sql//@STORE@/$store}; sql=${sql//@DB@/$db}
    sql=${sql//@ROLE@/$role}
    printf '%s\n' "$sql" | "$client" "${args[@]}"
  done
}

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
  # Each index is dropped and added again in one statement, with the server's settings of now;
  # in per-user mode the tables are the store's.
  tables=$db
  if [ "$("$client" "${args[@]}" -N -B -e "SELECT count(*) FROM information_schema.schemata
          WHERE schema_name = '$store'")" != 0 ]; then tables=$store; fi
  "$client" "${args[@]}" "$tables" <<'SQL'
SET SESSION innodb_ft_enable_stopword = 0;
ALTER TABLE search_body_text DROP INDEX ft_search_body, ADD FULLTEXT KEY ft_search_body (BodyText, BodyPairs);
ALTER TABLE Requirements DROP INDEX ft_search_topic, ADD FULLTEXT KEY ft_search_topic (RequirementName);
ALTER TABLE Req_messages DROP INDEX ft_search_message, ADD FULLTEXT KEY ft_search_message (Subject, msg);
ALTER TABLE Attachments DROP INDEX ft_search_attachment, ADD FULLTEXT KEY ft_search_attachment (Link, Description);
SQL
  echo "Search indexes of '$db' rebuilt."
  exit 0
fi

# Gives every Users row of the store without a server account one, with a random one-time
# password (16 hexadecimal digits, upper case as the login field types them), and appends the
# names and passwords to the passwords file, which only its owner may read.
create_missing_accounts() {
  local file=${pwfile:-./$db-one-time-passwords.txt} made
  made=$("$client" "${args[@]}" -N -B -r "$store" <<SQL
DELIMITER //
BEGIN NOT ATOMIC
  DECLARE pw VARCHAR(16);
  CREATE TEMPORARY TABLE vt_made (Username VARCHAR(400), Password VARCHAR(16)) CHARSET utf8mb4;
  FOR u IN (SELECT Username FROM Users WHERE NOT vt_is_user_account(vt_account_name(Username))) DO
    SET pw = UPPER(LEFT(SHA2(RANDOM_BYTES(32), 256), 16));
    CALL vt_account_write(u.Username, pw, TRUE);
    INSERT INTO vt_made VALUES (UPPER(u.Username), pw);
  END FOR;
  SELECT concat(Username, '\t', Password) FROM vt_made;
END//
SQL
)
  if [ -n "$made" ]; then
    (umask 077; printf '%s\n' "$made" >> "$file")
    echo "$(printf '%s\n' "$made" | wc -l) server accounts made; their one-time passwords are in $file (readable by its owner only)."
  else
    echo "Every user has a server account already."
  fi
}

# The Users rows of database $1 that cannot get a server account of their name: too long, or
# the name is taken by an account that is not one of this database's users.
unusable_names() {
  "$client" "${args[@]}" -N -B "$1" -e "SELECT Username FROM Users u
    WHERE CHAR_LENGTH(Username) NOT BETWEEN 1 AND 128
       OR EXISTS (SELECT 1 FROM mysql.global_priv g WHERE g.User = UPPER(u.Username) COLLATE utf8mb4_bin
                  AND NOT EXISTS (SELECT 1 FROM mysql.roles_mapping r
                                  WHERE r.User = g.User AND r.Host = '%' AND r.Role = '$role'))"
}

if [ "$upgrade" = 1 ]; then
  q() { "$client" "${args[@]}" -N -B "$db" -e "$1"; }
  q "SELECT 1" >/dev/null  # fails with the client's message when the database does not exist
  # A database in per-user mode keeps its tables in the store database, with views in $db.
  target=$db
  if [ "$(q "SELECT count(*) FROM information_schema.schemata WHERE schema_name = '$store'")" != 0 ]; then
    target=$store; mode=per-user
  else
    mode=shared
  fi
  qt() { "$client" "${args[@]}" -N -B "$target" -e "$1"; }
  # A database without schema_version (or without its row yet) has version 1.
  version=1
  if [ "$(qt "SELECT count(*) FROM information_schema.tables WHERE table_schema = DATABASE()
             AND lower(table_name) = 'schema_version'")" != 0 ]; then
    version=$(qt "SELECT coalesce(max(Version), 1) FROM schema_version")
  fi
  if [ "$version" -gt "$newest" ]; then
    echo "Database '$db' has schema version $version, newer than version $newest of these scripts; nothing changed." >&2
    exit 1
  fi
  from=$version
  while [ "$version" -lt "$newest" ]; do
    version=$((version + 1))
    echo "Upgrading '$db' to schema version $version"
    "$client" "${args[@]}" "$target" < "$here/../sql/upgrade/$version.sql"
  done
  if [ "$from" = "$newest" ]; then
    echo "Database '$db' is at schema version $newest already; nothing to do."
  else
    echo "Database '$db' upgraded from schema version $from to $newest."
  fi
  if [ "$per_user" = 1 ]; then
    # Every user needs an account of its own name; a name the server has for another account
    # already stops the move before anything changes.
    taken=$(unusable_names "$target")
    if [ -n "$taken" ]; then
      echo "These users cannot get a server account of their name (taken already, or too long); no account made:" >&2
      printf '%s\n' "$taken" >&2
      exit 1
    fi
  fi
  if [ "$mode" = shared ] && [ "$per_user" = 1 ]; then
    # Every table moves to the store in one statement, rows and all; $db then holds the views.
    tables=$(q "SELECT group_concat('\`$db\`.\`', table_name, '\` TO \`$store\`.\`', table_name, '\`' SEPARATOR ', ')
                FROM information_schema.tables WHERE table_schema = DATABASE() AND table_type = 'BASE TABLE'")
    "$client" "${args[@]}" -e "CREATE DATABASE \`$store\` CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;
                               RENAME TABLE $tables"
    mode=per-user
    echo "Database '$db' moved to per-user accounts: its tables are in '$store'."
  fi
  if [ "$mode" = per-user ]; then
    apply_per_user
    # The server keeps the passwords now: no hash stays in Users.
    "$client" "${args[@]}" "$store" -e "UPDATE Users SET password = '' WHERE password <> ''"
    if [ "$per_user" = 1 ]; then
      create_missing_accounts
      # The shared account has no business with the database any more.
      if [ "$(q "SELECT count(*) FROM mysql.db WHERE User = '$dbuser' AND Host = '%' AND Db = '$db'")" != 0 ]; then
        "$client" "${args[@]}" -e "REVOKE ALL PRIVILEGES ON \`$db\`.* FROM '$dbuser'@'%'"
        echo "The shared account '$dbuser' may no longer use '$db'."
      fi
    fi
  fi
  exit 0
fi

if [ "$per_user" = 1 ]; then
  "$client" "${args[@]}" -e "CREATE DATABASE \`$store\` CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;
                             CREATE DATABASE \`$db\` CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci"
  into=$store
else
  "$client" "${args[@]}" -e "CREATE DATABASE \`$db\` CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci"
  into=$db
fi
"$client" "${args[@]}" "$into" < "$here/../sql/schema.sql"
"$client" "${args[@]}" "$into" < "$here/../sql/initial-data.sql"
if [ "$demo" = 1 ]; then
  "$client" "${args[@]}" "$into" < "$here/../sql/demo-data.sql"
  # The demo's document bodies, one file per document id, stored as the program stores them.
  for body in "$here"/../sql/demo-bodies/*.rvf; do
    id=$(basename "$body" .rvf)
    hex=$(od -An -v -tx1 "$body" | tr -d ' \n')
    echo "INSERT INTO Req_objects (RequirementID, Document) VALUES ($id, X'$hex');"
  done | "$client" "${args[@]}" "$into"
fi
if [ "$per_user" = 1 ]; then
  taken=$(unusable_names "$store")
  if [ -n "$taken" ]; then
    "$client" "${args[@]}" -e "DROP DATABASE \`$db\`; DROP DATABASE \`$store\`"
    echo "These users cannot get a server account of their name (taken already, or too long):" >&2
    printf '%s\n' "$taken" >&2
    exit 1
  fi
  apply_per_user
  "$client" "${args[@]}" "$store" -e "UPDATE Users SET password = '' WHERE password <> ''"
  if [ "$demo" = 1 ]; then
    # Each demo user's password is its name, as in the shared mode's demo, and lasts.
    "$client" "${args[@]}" "$store" <<'SQL'
DELIMITER //
FOR u IN (SELECT Username FROM Users) DO CALL vt_account_write(u.Username, u.Username, FALSE); END FOR//
SQL
    echo "Database '$db' ready with per-user accounts; each demo user's password is its name."
  else
    "$client" "${args[@]}" "$store" -e "CALL vt_account_write('ADMIN', 'ADMIN', TRUE)"
    echo "Database '$db' ready with per-user accounts; ADMIN logs in with the one-time password ADMIN."
  fi
  exit 0
fi
"$client" "${args[@]}" <<SQL
CREATE USER IF NOT EXISTS '$dbuser'@'%' IDENTIFIED VIA mysql_native_password USING PASSWORD('$pw_sql');
GRANT SELECT, INSERT, UPDATE, DELETE ON \`$db\`.* TO '$dbuser'@'%';
SQL
echo "Database '$db' ready; clients log in to it with the account '$dbuser'."
