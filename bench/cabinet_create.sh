#!/usr/bin/env bash
# Writing cabinets: cabtool create with none, mszip and lzx:21 beside gcab -z (MSZIP) and
# xz --lzma2=preset=6,dict=2MiB, on 24 MB of text (Debian changelogs from /usr/share/doc) and
# on three 3840x2160 JPEG wallpapers. Prints each output's size, its ratio to the input, the
# time taken and the speed; every cabinet of ours is tested with cabextract first.
#   bench/cabinet_create.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cabtool=$build/bin/cabtool
[ -x "$cabtool" ] || { echo "build cabtool first (scripts/build cabtool)"; exit 1; }
work=$build/bench-cabinet
mkdir -p "$work/in"

# Inputs are made once and kept beside the build.
text=$work/in/changelogs.txt
if [ ! -s "$text" ]; then
  find /usr/share/doc -name 'changelog*.gz' -print0 | sort -z | xargs -0 zcat 2>/dev/null |
    head -c 24000000 > "$text" || true
fi
walls=()
if command -v convert >/dev/null; then
  for seed in 1 2 3; do
    wall=$work/in/wall$seed.jpg
    [ -s "$wall" ] || convert -seed $seed -size 3840x2160 plasma:fractal -quality 92 "$wall"
    walls+=("$wall")
  done
else
  echo "(ImageMagick convert not found: no JPEG wallpapers)"
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

now() { date +%s.%N; }
# run NAME INPUT_BYTES OUTPUT_FILE COMMAND...: times the command and prints one row.
run() {
  local name=$1 input=$2 output=$3; shift 3
  local start end
  start=$(now)
  "$@" >/dev/null
  end=$(now)
  local size
  size=$(stat -c %s "$output")
  awk -v n="$name" -v i="$input" -v s="$size" -v a="$start" -v b="$end" 'BEGIN {
    t = b - a; printf "  %-34s %11d  %6.3f  %7.2f s  %7.2f MB/s\n", n, s, s / i, t, i / t / 1e6 }'
  echo "$size" > "$output.size"
}

bench_set() {  # LABEL FILE...
  local label=$1; shift
  local input
  input=$(cat "$@" | wc -c)
  echo "== $label: $# file(s), $input bytes"
  printf '  %-34s %11s  %6s  %9s  %12s\n' "output" "bytes" "ratio" "time" "speed"
  local z
  for z in none mszip lzx:21; do
    local cab=$out/${z/:/}.cab
    rm -f "$cab"
    (cd "$(dirname "$1")" && run "cabtool create -z $z" "$input" "$cab" \
      "$cabtool" create -z "$z" "$cab" "${@##*/}")
    cabextract -q -t "$cab" >/dev/null || { echo "cabextract rejects $cab"; exit 1; }
  done
  rm -f "$out/gcab.cab"
  (cd "$(dirname "$1")" && run "gcab -c -z (MSZIP)" "$input" "$out/gcab.cab" \
    gcab -c -z "$out/gcab.cab" "${@##*/}")
  cat "$@" > "$out/all.bin"
  run "xz --lzma2=preset=6,dict=2MiB" "$input" "$out/all.xz" \
    sh -c "xz -T1 --lzma2=preset=6,dict=2MiB -c '$out/all.bin' > '$out/all.xz'"
  local lzx mszip gcab xz
  lzx=$(cat "$out/lzx21.cab.size"); mszip=$(cat "$out/mszip.cab.size")
  gcab=$(cat "$out/gcab.cab.size"); xz=$(cat "$out/all.xz.size")
  awk -v l="$lzx" -v m="$mszip" -v g="$gcab" -v x="$xz" -v i="$input" 'BEGIN {
    printf "  LZX:21 / our MSZIP %.3f, / gcab MSZIP %.3f, / xz %.3f, / input %.4f\n",
      l / m, l / g, l / x, l / i }'
}

bench_set "text" "$text"
[ ${#walls[@]} -eq 0 ] || bench_set "JPEG wallpapers" "${walls[@]}"
