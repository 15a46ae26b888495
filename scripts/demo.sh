#!/usr/bin/env bash
# The demo: builds Veltrana, starts a private local MariaDB with a sample database
# (per-user server accounts over TLS: ADMIN/ADMIN, ALICE/ALICE, BOB/BOB, CHLOÉ/CHLOÉ)
# and runs the program against it. Without a display it runs under Xvfb and saves a
# screenshot. The database is kept in demo-data/ between runs; --fresh starts over.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
fresh=0
for arg in "$@"; do
  case "$arg" in
    --fresh) fresh=1 ;;
    *) echo "usage: demo.sh [--fresh]" >&2; exit 2 ;;
  esac
done
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target veltrana veltrana-search-fill
data="$root/demo-data"
server="$data/server"

if [ "$fresh" = 1 ]; then
  bash "$root/scripts/db-server.sh" stop "$server"
  rm -rf "$data"
fi

# Qt wants a private runtime folder; without one it warns on every start.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR="$data/runtime"
  mkdir -p "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
fi

# The marker is written once the sample database is complete; without it the demo starts over.
ready="$data/database-ready"
fill() { "$root/build/tools/veltrana-search-fill" "$@" | tail -1; }
if [ -f "$ready" ] && [ -d "$server/data" ]; then
  bash "$root/scripts/db-server.sh" resume "$server"
  trap 'bash "$root/scripts/db-server.sh" stop "$server"' EXIT
  port=$(cat "$server/port")
  # A database kept from an earlier version of the program is brought up to date, rows kept.
  bash "$root/scripts/setup-db.sh" --socket "$server/mysqld.sock" --upgrade
  if [ -z "$(mariadb --socket="$server/mysqld.sock" -uroot -N -B -e "SHOW DATABASES LIKE 'Veltrana\_store'")" ]; then
    # Kept from a demo with the shared account: bodies get their search text while that
    # account still works, then every user gets a server account of its own. The demo users'
    # passwords stay their names, as before.
    fill "127.0.0.1:$port" Veltrana vtran vtran ADMIN ADMIN
    bash "$root/scripts/setup-db.sh" --socket "$server/mysqld.sock" --upgrade --per-user-accounts \
      --passwords-file "$data/one-time-passwords.txt"
    mariadb --socket="$server/mysqld.sock" -uroot -N -B Veltrana_store -e "SELECT concat('ALTER USER ',
        quote(upper(Username)), '@''%'' IDENTIFIED BY ', quote(upper(Username)), ';') FROM Users" |
      mariadb --socket="$server/mysqld.sock" -uroot
    rm -f "$data/one-time-passwords.txt"
  fi
else
  rm -f "$ready"
  bash "$root/scripts/db-server.sh" start "$server"
  trap 'bash "$root/scripts/db-server.sh" stop "$server"' EXIT
  bash "$root/scripts/setup-db.sh" --socket "$server/mysqld.sock" --demo
  touch "$ready"
fi
port=$(cat "$server/port")
ca="$server/tls/ca.pem"
# Bodies stored before search existed (the sample bodies, or a database kept from an earlier
# version) get their search text; bodies that have one already are not read again. ADMIN's own
# server account does it, over TLS like every login of the demo.
fill --per-user --ca "$ca" "127.0.0.1:$port" Veltrana - - ADMIN ADMIN
# The program reads its connection settings from defaults.cfg in its working folder: each user
# logs in with a server account of its own (#PU:1), over TLS verified by the private server's CA.
printf 'UN:ADMIN#SQ:127.0.0.1:%s#DB:Veltrana#DU:#DP:#PU:1#CA:%s##\r\n' "$port" "$ca" > "$data/defaults.cfg"
cat <<INFO
Demo data is kept in $data (start over with: bash scripts/demo.sh --fresh).
  Users (password = user name): ADMIN (administrator, member of Ünïcödé Café),
  ALICE (Website Relaunch, Ünïcödé Café), BOB (Website Relaunch, Field Study 2027),
  CHLOÉ (Ünïcödé Café).
  Reports are written to $root/build/app/vtranTemp.html (the program's folder).
  Every user logs in with a server account of its own, over TLS; the server enforces who may
  read and change what (docs/server-rights.md).
  Inspect the data: mariadb --socket=$server/mysqld.sock -uroot Veltrana_store
INFO
cd "$data"
if [ -n "${DISPLAY:-}" ]; then
  "$root/build/app/veltrana"
else
  echo "No display: running under Xvfb; a screenshot goes to $data/screenshot.png"
  # Logs in as ALICE (a member of Website Relaunch), picks that project, opens its first
  # document and searches everything for a word, as a user would.
  # The window takes its first-start place (a settings store of its own, emptied each time),
  # so the clicks below land where they should.
  export XDG_CONFIG_HOME="$data/runtime/screenshot-config"
  rm -rf "$XDG_CONFIG_HOME"
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    "$1" & pid=$!
    sleep "${VT_DEMO_SECONDS:-8}"
    if command -v xdotool >/dev/null; then
      xdotool key ctrl+a; xdotool type --delay 20 ALICE; xdotool key Tab
      xdotool type --delay 20 ALICE; xdotool key Return; sleep 2
      xdotool mousemove 150 179 click 1; xdotool key ctrl+a; xdotool type --delay 20 "Website Relaunch"
      xdotool key Return; sleep 2
      xdotool mousemove 211 413 click 1; sleep 1; xdotool key Right; sleep 0.5; xdotool key Down; sleep 2
      # Search everything for a word of the sample data, results grouped by kind. (A click into
      # the search field: without a window manager no window is active, so Ctrl+Shift+F, a
      # shortcut of the main window, does not reach it under Xvfb.)
      xdotool mousemove 150 153 click 1; xdotool type --delay 40 "${VT_DEMO_SEARCH:-plan}"; sleep 2
    fi
    import -window root "$2/screenshot.png"
    kill $pid' _ "$root/build/app/veltrana" "$data"
fi
