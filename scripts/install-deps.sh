#!/usr/bin/env bash
# Installs the Debian 12 packages Veltrana needs to build, test and run its demo.
# Does nothing when they are all present already.
set -euo pipefail
pkgs=(g++ cmake ninja-build pkg-config python3 qt6-base-dev zlib1g-dev liblz4-dev libsodium-dev
      libssl-dev openssl   # TLS in the protocol client; certificates for the test and team servers
      libgtest-dev libgmock-dev libbenchmark-dev libmariadb-dev
      mariadb-server mariadb-client xvfb xauth x11-utils imagemagick fonts-dejavu-core
      clang libclang-rt-14-dev
      libreoffice-writer-nogui poppler-utils
      chromium libxml2-utils   # the HTML report is rendered by a browser and read by libxml2 in tests
      xdotool    # the demo's screenshot logs in and opens a document by typed keys
      galera-4 rsync)   # the failover tests run a 3-node cluster; a joining node copies data by rsync
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""; [ "$(id -u)" != 0 ] && SUDO=sudo
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
# The server package must not start a system-wide server; tests and demo run private ones.
DEBIAN_FRONTEND=noninteractive RUNLEVEL=1 $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
