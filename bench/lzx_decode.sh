#!/usr/bin/env bash
# LZX decoding: our decoder beside 7zz and cabextract on the same cabinets.
#   bench/lzx_decode.sh [build-dir]
# Extracts large-files.cab (three 2 GB members: MSZIP, LZX:15, LZX:21) from the corpus into a
# temporary folder, checks our decoded LZX members against their known MD5, then times our
# decoder (data blocks fed straight to it) and the peers' whole extraction to /dev/null.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
bench=$build/bin/bench_lzx_decode
corpus=$root/../shared/corpus/large/large-files-cab.cab
expected_md5=d64bf04a56027b97ac17d751aba2d291

[ -x "$bench" ] || { echo "build bench_lzx_decode first (scripts/build bench_lzx_decode)"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cabextract -q -d "$tmp" "$corpus"
cab=$tmp/large-files.cab
"$bench" --incompressible "$tmp"

for folder in 1 2; do
  sum=$("$bench" --stream "$cab" $folder | md5sum | cut -d' ' -f1)
  [ "$sum" = "$expected_md5" ] || { echo "folder $folder decodes to MD5 $sum, expected $expected_md5"; exit 1; }
done
echo "decoded LZX:15 and LZX:21 members match MD5 $expected_md5"

LZX_BENCH_DIR=$tmp "$bench"

# Wall time is at the mercy of other work on the machine; CPU time (user + sys) is steadier.
peer() {  # name, command...
  local name=$1; shift
  /usr/bin/time -f "$(printf '%-36s' "$name") %e s wall, %U s user, %S s sys" "$@" >/dev/null
}
for member in lzx15-2gb.txt lzx21-2gb.txt mszip-2gb.txt; do
  peer "7zz e -so $member" 7zz e -so "$cab" "$member"
  peer "cabextract -p $member" cabextract -q -p -F "$member" "$cab"
done
for cab in uncompressed literals; do
  peer "7zz e -so $cab.cab" 7zz e -so "$tmp/$cab.cab"
  peer "cabextract -p $cab.cab" cabextract -q -p "$tmp/$cab.cab"
done
