#!/usr/bin/env bash
# Builds the protocol and document-format fuzz targets with clang (libFuzzer,
# AddressSanitizer, UBSan) in their own build folder and runs each for a bounded time.
#   scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${VT_FUZZ_BUILD:-$root/build-fuzz}"
CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

# A few well-formed packets as starting points.
seed() { mkdir -p "$build/corpus/$1"; printf "$2" > "$build/corpus/$1/$3"; }
seed greeting '\x0a5.5.5-10.11\x00\x2a\x00\x00\x00abcdefgh\x00\xad\xa0\x08\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00ijklmnopqrst\x00' full
seed greeting '\x095.0\x00\x01\x00\x00\x00abcdefgh\x00' v9
seed ok_error '\x00\xfe\x01\x02\x03\x04\x05\x06\x07\x08\x05\x02\x00' ok9
seed ok_error '\xff\x15\x04Access denied' error
seed result_stream '\x01\x00\x00\x01\x02\x0b\x00\x00\x02\x01t\x01a\x03\x0b\x00\x00\x01\x03\x02\x03\x00\x01\x00\x00\x03\xfe\x04\x00\x00\x04\x01x\xfb\x01\x00\x00\x05\xfe' rows
seed client '\x31\x00\x00\x00\x0a\x35\x2e\x30\x00\x01\x00\x00\x00\x61\x62\x63\x64\x65\x66\x67\x68\x00\x8d\xa0\x08\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x69\x6a\x6b\x6c\x6d\x6e\x6f\x70\x71\x72\x73\x74\x00\x05\x00\x00\x02\x00\x00\x00\x02\x00\x01\x00\x00\x01\x01\x0e\x00\x00\x02\x01\x74\x01\x61\x03\x0b\x00\x00\x01\xfd\x03\x03\x00\x00\x01\x00\x00\x03\xfe\x02\x00\x00\x04\x01\x78\x01\x00\x00\x05\xfe' session
seed compressed '\x05\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x07' stored
# Stored results: flags (1 compressed, 2 buffered, 4 deflated), chunk choice, columns, rows,
# then two bytes a value (a power of two and an offset; 255 gives NULL).
seed store '\x02\x00\x00\x00\x0f\x02' row40k
seed store '\x03\x04\x01\x00\x10\x02\x0a\x01\x12\xff' compressed
# The TLS switch: a mode byte (1 compression, 2 a wrong host name, 4 raw bytes instead of the
# TLS handshake), then the server's packets: the login's OK and a result of one row.
seed tls '\x00\x05\x00\x00\x03\x00\x00\x00\x02\x00\x01\x00\x00\x01\x01\x0e\x00\x00\x02\x01\x74\x01\x61\x03\x0b\x00\x00\x01\xfd\x03\x03\x00\x00\x01\x00\x00\x03\xfe\x02\x00\x00\x04\x01\x78\x01\x00\x00\x05\xfe' session
seed tls '\x02' wronghost
seed tls '\x04\x16\x03\x03\x00\x05\x02\x00\x00\x01\x00' rawhello
seed store '\x00\x00\x02\x01\x03\x01\x14\x00\x05\xff\x11\x04\x00\x00' streamed

# Documents written by the engine (the committed golden files).
mkdir -p "$build/corpus/rvf_reader"
cp "$root"/tests/richtext/data/*.rvf "$build/corpus/rvf_reader/"
# Small hand-made ones of forms the writer produces only for large documents.
cp "$root"/fuzz/seeds/rvf_reader/*.rvf "$build/corpus/rvf_reader/"

status=0
for target in greeting ok_error result_stream compressed client store tls rvf_reader; do
  log="$build/fuzz_$target.log"
  mkdir -p "$build/corpus/$target"
  if "$build/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=3072 \
       -artifact_prefix="$build/crash_${target}_" "$build/corpus/$target" >"$log" 2>&1; then
    runs=$(grep -a -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')
    echo "fuzz_$target: ${seconds}s, ${runs:-?} executions, no failure"
  else
    echo "fuzz_$target: FAILED, see $log"
    status=1
  fi
done
exit $status
