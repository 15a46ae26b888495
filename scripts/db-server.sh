#!/usr/bin/env bash
# Starts or stops a private MariaDB server in its own folder: own data, own socket, loopback
# only, on a free port. Used by the tests (CTest fixture), the demo and the benchmarks.
#   db-server.sh start DIR   -> server running; DIR/port holds the port, DIR/mysqld.sock the socket
#   db-server.sh resume DIR  -> the server of an earlier start again, its data kept
#   db-server.sh stop DIR
# After start, the account vttest/vttest has all privileges over TCP on 127.0.0.1.
# The server offers TLS (without requiring it) with certificates of a test CA made at start:
# DIR/tls/ca.pem verifies it, for the names localhost and 127.0.0.1.
set -euo pipefail
cmd=${1:?usage: db-server.sh start|resume|stop DIR}
dir=${2:?usage: db-server.sh start|resume|stop DIR}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cnf="$here/../sql/server.cnf"

find_bin() { for b in "$@"; do command -v "$b" >/dev/null 2>&1 && { command -v "$b"; return; }; [ -x "/usr/sbin/$b" ] && { echo "/usr/sbin/$b"; return; }; done; echo "missing: $*" >&2; exit 1; }

stop_server() {
  [ -f "$dir/mysqld.pid" ] || return 0
  local pid; pid=$(cat "$dir/mysqld.pid" 2>/dev/null || true)
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$dir/mysqld.pid"
}

# Runs the server on the data folder of $dir on a free port and waits until it answers.
launch() {
  mysqld=$(find_bin mariadbd mysqld)
  client=$(find_bin mariadb mysql)
  user_opt=(); [ "$(id -u)" = 0 ] && user_opt=(--user=root)
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1]); s.close()')
  "$mysqld" --defaults-file="$dir/my.cnf" "${user_opt[@]}" --datadir="$dir/data" \
      --socket="$dir/mysqld.sock" --pid-file="$dir/mysqld.pid" --port="$port" \
      --bind-address=127.0.0.1 --log-error="$dir/error.log" --skip-log-bin \
      --innodb-buffer-pool-size=128M --innodb-log-file-size=64M --skip-name-resolve >/dev/null 2>&1 &
  for _ in $(seq 1 300); do
    "$client" --socket="$dir/mysqld.sock" -uroot -e "select 1" >/dev/null 2>&1 && break
    sleep 0.1
  done
  "$client" --socket="$dir/mysqld.sock" -uroot -e "select 1" >/dev/null 2>&1 \
    || { echo "MariaDB did not start:" >&2; tail -20 "$dir/error.log" >&2; exit 1; }
}

# Writes the server's options: those of sql/server.cnf as they are now (a resumed server gets
# options added since its first start), TLS with the folder's test CA, and the option files an
# earlier my.cnf included (setup-db.sh --tls adds one).
write_cnf() {
  local included=""
  [ -f "$dir/my.cnf" ] && included=$(grep '^!include' "$dir/my.cnf" || true)
  cp "$cnf" "$dir/my.cnf"
  # A temporary folder of its own: servers set up at the same time (the test server and the
  # cluster's nodes) never share or remove each other's temporary files in /tmp.
  mkdir -p "$dir/tmp"
  printf '\n[mysqld]\ntmpdir=%s\n' "$dir/tmp" >> "$dir/my.cnf"
  if command -v openssl >/dev/null 2>&1; then
    [ -f "$dir/tls/server-key.pem" ] || bash "$here/tls-certs.sh" "$dir/tls" localhost 127.0.0.1 >/dev/null
    printf '\n[mariadb]\nssl-ca=%s\nssl-cert=%s\nssl-key=%s\n' \
        "$dir/tls/ca.pem" "$dir/tls/server-cert.pem" "$dir/tls/server-key.pem" >> "$dir/my.cnf"
  fi
  if [ -n "$included" ]; then printf '%s\n' "$included" >> "$dir/my.cnf"; fi
}

case "$cmd" in
stop)
  stop_server
  ;;
resume)
  # The server again on the data of an earlier start, kept as it was.
  [ -d "$dir/data" ] && [ -f "$dir/my.cnf" ] || { echo "no server data in $dir" >&2; exit 1; }
  stop_server
  dir=$(cd "$dir" && pwd)
  write_cnf
  launch
  echo "$port" > "$dir/port"
  echo "MariaDB running in $dir on 127.0.0.1:$port (data kept)"
  ;;
start)
  installdb=$(find_bin mariadb-install-db mysql_install_db)
  stop_server
  rm -rf "$dir"; mkdir -p "$dir/data"; dir=$(cd "$dir" && pwd)
  user_opt=(); [ "$(id -u)" = 0 ] && user_opt=(--user=root)
  write_cnf
  # The system tables are made once more on a fresh folder if the first attempt fails.
  make_system_tables() {
    "$installdb" --defaults-file="$dir/my.cnf" --datadir="$dir/data" "${user_opt[@]}" \
        --auth-root-authentication-method=socket --skip-test-db >"$dir/install.log" 2>&1
  }
  make_system_tables || { rm -rf "$dir/data"; mkdir -p "$dir/data"; make_system_tables; } \
    || { cat "$dir/install.log" >&2; exit 1; }
  launch
  "$client" --socket="$dir/mysqld.sock" -uroot <<'SQL'
DELETE FROM mysql.global_priv WHERE User='';
FLUSH PRIVILEGES;
CREATE USER 'vttest'@'%' IDENTIFIED BY 'vttest';
GRANT ALL PRIVILEGES ON *.* TO 'vttest'@'%' WITH GRANT OPTION;
SQL
  echo "$port" > "$dir/port"
  echo "MariaDB running in $dir on 127.0.0.1:$port"
  ;;
*) echo "usage: db-server.sh start|resume|stop DIR" >&2; exit 2 ;;
esac
