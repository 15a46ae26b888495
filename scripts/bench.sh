#!/usr/bin/env bash
# Builds the benchmarks in Release and runs the protocol, TLS and database-layer benchmarks (each
# starts and stops its own private MariaDB server, or uses the one of VT_TEST_SERVER_DIR) and
# the rich-text engine's, the workspace's, the report's, the slow link's, the hostile bodies',
# the revisions', the search's and the team scale's benchmarks. Not part of the tests.
#   scripts/bench.sh [--reps N]   (default: best of 3 runs per figure)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${VT_BENCH_BUILD:-$root/build-bench}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVT_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target protocol_bench tls_bench db_bench richtext_bench workspace_bench report_bench latency_bench hostile_bench revisions_bench search_bench team_bench
[ $# -eq 0 ] && set -- --reps 3
"$build/bench/protocol_bench" "$@"
"$build/bench/tls_bench" "$@"
"$build/bench/db_bench"
QT_QPA_PLATFORM=offscreen "$build/bench/richtext_bench" "$@"
QT_QPA_PLATFORM=offscreen "$build/bench/workspace_bench" "$@"
QT_QPA_PLATFORM=offscreen "$build/bench/report_bench" "$@"
QT_QPA_PLATFORM=offscreen "$build/bench/latency_bench" "$@"
QT_QPA_PLATFORM=offscreen "$build/bench/hostile_bench"
QT_QPA_PLATFORM=offscreen "$build/bench/revisions_bench" "$@"
QT_QPA_PLATFORM=offscreen "$build/bench/search_bench" "$@"
"$build/bench/team_bench" "$@"
