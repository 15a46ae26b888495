#!/usr/bin/env bash
# A 3-node MariaDB Galera cluster on loopback in its own folder, for the failover tests and
# benchmarks. Every node has its own data, socket and free ports (client, group, incremental
# and full state transfer); the full state transfer uses rsync.
#   galera-cluster.sh start DIR   -> 3 synced nodes; DIR/ports holds the client port of node
#                                    1, 2 and 3 (one line), DIR/nN.pid the pid of node N
#   galera-cluster.sh kill DIR N  -> node N ends at once (SIGKILL, as a lost machine)
#   galera-cluster.sh stop DIR    -> every node that still runs ends
#   galera-cluster.sh available   -> exit 0 when the Galera library and rsync are installed
# After start, the account vttest/vttest has all privileges over TCP on 127.0.0.1.
# The group timeouts are the ones the README recommends to teams that want a lost node
# replaced within 2 s: a silent node is suspected after 1 s (Galera's default: 5 s), checked
# every 0.1 s, and the survivors agree on the new membership in rounds of 0.2 s (default 1 s).
# A lost node then pauses the others for about 1.3 s instead of about 6 s.
# VT_GALERA_GROUP_TIMEOUTS replaces them (wsrep_provider_options syntax), to measure others.
set -euo pipefail
cmd=${1:?usage: galera-cluster.sh start|kill|stop DIR [N]}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cnf="$here/../sql/server.cnf"

find_lib() {
  for f in /usr/lib/galera/libgalera_smm.so /usr/lib/libgalera_smm.so /usr/lib/galera-4/libgalera_smm.so \
           /usr/lib/x86_64-linux-gnu/galera/libgalera_smm.so; do
    [ -f "$f" ] && { echo "$f"; return 0; }
  done
  return 1
}
find_bin() { for b in "$@"; do command -v "$b" >/dev/null 2>&1 && { command -v "$b"; return; }; [ -x "/usr/sbin/$b" ] && { echo "/usr/sbin/$b"; return; }; done; echo "missing: $*" >&2; exit 1; }

if [ "$cmd" = available ]; then
  find_lib >/dev/null && command -v rsync >/dev/null
  exit $?
fi
dir=${2:?usage: galera-cluster.sh start|kill|stop DIR [N]}

stop_node() {  # n [signal]
  local f="$dir/n$1.pid" pid
  [ -f "$f" ] || return 0
  pid=$(cat "$f" 2>/dev/null || true)
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "-${2:-TERM}" "$pid" 2>/dev/null || true
    if [ "${2:-TERM}" != KILL ]; then
      for _ in $(seq 1 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -9 "$pid" 2>/dev/null || true
    fi
  fi
  rm -f "$f"
}

free_ports() {  # count
  python3 - "$1" <<'PY'
import socket, sys
socks = []
for _ in range(int(sys.argv[1])):
    s = socket.socket(); s.bind(("127.0.0.1", 0)); socks.append(s)
print(" ".join(str(s.getsockname()[1]) for s in socks))
PY
}

status_of() {  # n variable
  "$client" --socket="$dir/s$1.sock" -uroot -N -e "show status like '$2'" 2>/dev/null | awk '{print $2}'
}

group_timeouts=${VT_GALERA_GROUP_TIMEOUTS:-evs.suspect_timeout=PT1S;evs.inactive_timeout=PT3S;evs.keepalive_period=PT0.2S;evs.inactive_check_period=PT0.1S;evs.join_retrans_period=PT0.2S}

provider_options() {  # n
  local i=$(($1 - 1))
  echo "gmcast.listen_addr=tcp://127.0.0.1:${group_ports[$i]};ist.recv_addr=127.0.0.1:${ist_ports[$i]};gcache.size=32M;$group_timeouts"
}

start_node() {  # n [extra options]
  local n=$1; shift
  local i=$((n - 1))
  local user_opt=(); [ "$(id -u)" = 0 ] && user_opt=(--user=root)
  mkdir -p "$dir/tmp$n"
  "$mysqld" --defaults-file="$dir/my.cnf" "${user_opt[@]}" --datadir="$dir/d$n" --tmpdir="$dir/tmp$n" --port="${client_ports[$i]}" \
    --socket="$dir/s$n.sock" --pid-file="$dir/n$n.pid" --bind-address=127.0.0.1 --log-error="$dir/n$n.log" \
    --skip-name-resolve --innodb-buffer-pool-size=64M --innodb-log-file-size=16M \
    --binlog-format=ROW --default-storage-engine=InnoDB --innodb-autoinc-lock-mode=2 \
    --wsrep-on=ON --wsrep-provider="$lib" --wsrep-cluster-name=vt \
    --wsrep-cluster-address="gcomm://$gcomm" --wsrep-node-address="127.0.0.1:${group_ports[$i]}" \
    --wsrep-provider-options="$(provider_options "$n")" \
    --wsrep-sst-method=rsync --wsrep-sst-receive-address="127.0.0.1:${sst_ports[$i]}" --wsrep-node-name="n$n" \
    "$@" >/dev/null 2>&1 &
}

wait_ready() {  # n seconds
  for _ in $(seq 1 $(($2 * 5))); do
    [ "$(status_of "$1" wsrep_ready)" = ON ] && return 0
    sleep 0.2
  done
  echo "Galera node $1 did not become ready:" >&2
  tail -20 "$dir/n$1.log" >&2
  return 1
}

case "$cmd" in
start)
  lib=$(find_lib) || { echo "the Galera library (galera-4) is not installed" >&2; exit 1; }
  command -v rsync >/dev/null || { echo "rsync is not installed (the state transfer needs it)" >&2; exit 1; }
  mysqld=$(find_bin mariadbd mysqld)
  client=$(find_bin mariadb mysql)
  installdb=$(find_bin mariadb-install-db mysql_install_db)
  if [ -d "$dir" ]; then for n in 1 2 3; do stop_node "$n"; done; fi
  rm -rf "$dir"; mkdir -p "$dir"; dir=$(cd "$dir" && pwd)
  cp "$cnf" "$dir/my.cnf"
  # A temporary folder of its own, never shared with another server set up at the same time.
  mkdir -p "$dir/tmp"
  printf '\n[mysqld]\ntmpdir=%s\n' "$dir/tmp" >> "$dir/my.cnf"
  read -r -a all <<<"$(free_ports 12)"
  client_ports=("${all[@]:0:3}"); group_ports=("${all[@]:3:3}"); ist_ports=("${all[@]:6:3}"); sst_ports=("${all[@]:9:3}")
  gcomm="127.0.0.1:${group_ports[0]},127.0.0.1:${group_ports[1]},127.0.0.1:${group_ports[2]}"
  user_opt=(); [ "$(id -u)" = 0 ] && user_opt=(--user=root)
  # Node 1 starts the cluster on a fresh database; the others receive its state by rsync.
  "$installdb" --defaults-file="$dir/my.cnf" --datadir="$dir/d1" "${user_opt[@]}" \
    --auth-root-authentication-method=socket --skip-test-db >"$dir/install.log" 2>&1 \
    || { cat "$dir/install.log" >&2; exit 1; }
  mkdir -p "$dir/d2" "$dir/d3"
  # The rsync daemon of the state transfer reads and writes the data folders.
  chmod -R a+rwX "$dir"
  # A world-writable option file is ignored by the server: the nodes would run without it.
  chmod 644 "$dir/my.cnf"
  start_node 1 --wsrep-new-cluster
  wait_ready 1 60
  "$client" --socket="$dir/s1.sock" -uroot <<'SQL'
DELETE FROM mysql.global_priv WHERE User='';
CREATE USER 'vttest'@'%' IDENTIFIED BY 'vttest';
GRANT ALL PRIVILEGES ON *.* TO 'vttest'@'%' WITH GRANT OPTION;
FLUSH PRIVILEGES;
SQL
  # Both join at once: node 1 gives its state to one, then the first that is synced to the other.
  start_node 2
  start_node 3
  wait_ready 2 180
  wait_ready 3 180
  for _ in $(seq 1 50); do [ "$(status_of 1 wsrep_cluster_size)" = 3 ] && break; sleep 0.2; done
  [ "$(status_of 1 wsrep_cluster_size)" = 3 ] || { echo "the cluster did not reach 3 nodes" >&2; exit 1; }
  echo "${client_ports[*]}" >"$dir/ports"
  echo "Galera cluster running in $dir on 127.0.0.1 ports ${client_ports[*]}"
  ;;
kill)
  n=${3:?usage: galera-cluster.sh kill DIR N}
  stop_node "$n" KILL
  ;;
stop)
  [ -d "$dir" ] || exit 0
  for n in 1 2 3; do stop_node "$n" TERM & done
  wait
  ;;
*) echo "usage: galera-cluster.sh start|kill|stop DIR [N] | available" >&2; exit 2 ;;
esac
