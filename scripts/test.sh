#!/usr/bin/env bash
# The test command: installs what is needed, builds, and runs every test (the CTest suite
# starts and stops its own private MariaDB server).
#   VT_SANITIZE=1 scripts/test.sh   builds with AddressSanitizer + UndefinedBehaviorSanitizer
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/install-deps.sh"
build="$root/build"
opts=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${VT_SANITIZE:-0}" = 1 ]; then build="$root/build-asan"; opts+=(-DVT_SANITIZE=ON); fi
start=$(date +%s)
cmake -S "$root" -B "$build" "${opts[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
echo "build: $(( $(date +%s) - start )) s"
# A short run of every protocol fuzz target (clang, libFuzzer, sanitizers).
VT_FUZZ_BUILD="$root/build-fuzz" bash "$root/scripts/fuzz.sh" "${VT_FUZZ_SECONDS:-15}"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600
