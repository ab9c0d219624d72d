#!/usr/bin/env bash
# Whole-path decoding through libcabinet (cabtool test: read, check, decode, discard) beside
# 7zz and cabextract writing to /dev/null, on real Microsoft-made streams:
#   bench/cabtool_decode.sh [build-dir]
# - the three 2 GB members of large-files.cab (MSZIP, LZX:15, LZX:21), one by one and together;
#   each is first checked against its known MD5 through cabtool extract -p;
# - incompressible data in LZX:21 (what JPEGs become), as uncompressed blocks and as literals,
#   made by bench_lzx_decode.
# Goals: all three members together in at most the sum of 7zz's times; the incompressible
# stream at least as fast as the faster peer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cabtool=$build/bin/cabtool
maker=$build/bin/bench_lzx_decode
corpus=$root/../shared/corpus/large/large-files-cab.cab
expected_md5=d64bf04a56027b97ac17d751aba2d291
runs=${BENCH_RUNS:-3}

[ -x "$cabtool" ] || { echo "build cabtool first (scripts/build cabtool)"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$cabtool" extract -d "$tmp" "$corpus"
cab=$tmp/large-files.cab
members=(mszip-2gb.txt lzx15-2gb.txt lzx21-2gb.txt)

for m in "${members[@]}"; do
  sum=$("$cabtool" extract -p "$cab" "$m" | md5sum | cut -d' ' -f1)
  [ "$sum" = "$expected_md5" ] || { echo "$m decodes to MD5 $sum, expected $expected_md5"; exit 1; }
done
echo "cabtool: the three 2 GB members match MD5 $expected_md5"

commands=()
for m in "${members[@]}"; do
  commands+=("$cabtool test $cab $m" "7zz e -so $cab $m" "cabextract -q -p -F $m $cab")
done
commands+=("$cabtool test $cab")
if [ -x "$maker" ]; then
  "$maker" --incompressible "$tmp" >/dev/null
  for c in uncompressed literals; do
    commands+=("$cabtool test $tmp/$c.cab" "7zz e -so $tmp/$c.cab" "cabextract -q -p $tmp/$c.cab")
  done
else
  echo "(build bench_lzx_decode to include the incompressible LZX:21 stream)"
fi

if command -v hyperfine >/dev/null; then
  hyperfine -N --runs "$runs" --warmup 1 --output=null --style basic \
    --export-json "$tmp/report.json" "${commands[@]}" >/dev/null
  # CPU time (user + system) beside the wall time: on a shared machine the wall time also
  # measures the neighbours.
  python3 - "$tmp/report.json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
print(f"{'command':<72} {'wall s':>7} {'cpu s':>7}")
for r in results:
    command = r["command"].replace(sys.argv[1].rsplit("/", 1)[0] + "/", "")
    print(f"{command[-72:]:<72} {r['mean']:7.3f} {r['user'] + r['system']:7.3f}")
PY
else
  for c in "${commands[@]}"; do
    start=$(date +%s.%N)
    $c >/dev/null
    end=$(date +%s.%N)
    printf '%-70s %6.3f s\n' "$c" "$(echo "$end - $start" | bc)"
  done
fi
