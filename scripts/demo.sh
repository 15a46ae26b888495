#!/usr/bin/env bash
# The demo: builds Veltrana, starts a private local MariaDB with a sample database
# (account vtran/vtran, application users ADMIN/ADMIN, ALICE/ALICE, BOB/BOB) and runs the
# program against it. Without a display it runs under Xvfb and saves a screenshot.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target veltrana
data="$root/demo-data"
bash "$root/scripts/db-server.sh" start "$data/server"
trap 'bash "$root/scripts/db-server.sh" stop "$data/server"' EXIT
bash "$root/scripts/setup-db.sh" --socket "$data/server/mysqld.sock" --demo
port=$(cat "$data/server/port")
# The program reads its connection settings from defaults.cfg in its working folder.
printf 'UN:ADMIN#SQ:127.0.0.1:%s#DB:Veltrana#DU:vtran#DP:vtran##\r\n' "$port" > "$data/defaults.cfg"
cd "$data"
if [ -n "${DISPLAY:-}" ]; then
  "$root/build/app/veltrana"
else
  echo "No display: running under Xvfb; a screenshot goes to $data/screenshot.png"
  # Logs in as ADMIN, picks Website Relaunch and opens its first document, as a user would.
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    "$1" & pid=$!
    sleep "${VT_DEMO_SECONDS:-8}"
    if command -v xdotool >/dev/null; then
      xdotool key ctrl+a; xdotool type --delay 20 ADMIN; xdotool key Tab
      xdotool type --delay 20 ADMIN; xdotool key Return; sleep 2
      xdotool key ctrl+a; xdotool type --delay 20 "Website Relaunch"; sleep 2
      xdotool mousemove 258 356 click 1; sleep 1; xdotool key Right; sleep 0.5; xdotool key Down; sleep 2
    fi
    import -window root "$2/screenshot.png"
    kill $pid' _ "$root/build/app/veltrana" "$data"
fi
