#!/usr/bin/env bash
# Checks the layering by the includes of each folder: protocol/ and db/ know no Qt, the
# protocol knows nothing above it, the access layer only the protocol, the rich-text engine
# nothing of the database, and the application never the protocol. Prints each offending
# line and exits 1; silent and 0 when the layers are clean.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 2
status=0
check() {  # folder, pattern of forbidden includes, reason
  local hits
  [ -d "$1" ] || return 0
  hits=$(grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]($2)" "$1" --include='*.h' --include='*.cpp' 2>/dev/null)
  if [ -n "$hits" ]; then
    echo "layering: $3"
    echo "$hits"
    status=1
  fi
}
check protocol 'Q[A-Za-z]|db/|app/|richtext/|session/|data/|windows/' "protocol/ includes nothing above it and no Qt"
check db 'Q[A-Za-z]|app/|richtext/|session/|data/|windows/' "db/ includes only the protocol and no Qt"
check richtext 'protocol/|db/|app/|session/|data/|windows/' "richtext/ knows nothing of the database"
check app 'protocol/' "the application reaches the database only through db/"
check app/data 'windows/|Q[A-Za-z]*Widget|QDialog|QMainWindow' "data modules include no windows or widgets"
exit $status
