#!/usr/bin/env bash
# LZX:21 beside MSZIP (gcab) and xz on 24 MB of text and on large JPEG wallpapers.
# usage: bench/lzx_encode.sh BUILD_DIR   (inputs are made once under BUILD_DIR/bench-lzx)
set -euo pipefail
build=${1:-build}
encoder="$build/bin/bench_lzx_encode"
work="$build/bench-lzx"
mkdir -p "$work"

if [ ! -s "$work/text.bin" ]; then
  zcat -f /usr/share/doc/*/changelog*.gz 2>/dev/null | head -c 24000000 > "$work/text.bin" || true
fi
if [ ! -s "$work/wallpapers.bin" ]; then
  # Wallpaper-sized JPEGs; plasma noise stands in for photographs.
  for seed in 1 2 3; do
    convert -seed $seed -size 3840x2160 plasma:fractal -quality 92 "$work/wall$seed.jpg"
  done
  cat "$work"/wall*.jpg > "$work/wallpapers.bin"
fi

cpu_seconds() {  # OUTPUT command... -> CPU seconds (user + system), the best of three runs
  local out=$1 t best=""
  shift
  for _ in 1 2 3; do
    t=$( { /usr/bin/time -f "%U %S" "$@" > "$out"; } 2>&1 | tail -1)
    best=$(awk -v t="$t" -v b="$best" 'BEGIN { split(t, a, " "); s = a[1] + a[2]
                                             if (b == "" || s < b) b = s; printf "%.2f", b }')
  done
  echo "$best"
}

# Speeds are the best of three runs each: other work on a shared machine only slows a run.
printf "%-11s %10s | %10s %6s %7s %7s | %10s %6s | %10s %6s %7s\n" input bytes \
  "LZX:21" ratio "MB/s" "cpuMB/s" MSZIP ratio xz ratio "cpuMB/s"
for name in text wallpapers; do
  file="$work/$name.bin"
  size=$(stat -c %s "$file")
  read -r _ lzx wall cpu < <("$encoder" --window=21 "$file")
  # gcab stores the member under its bare name; the cabinet's size is what counts.
  (cd "$work" && rm -f "$name.cab" && gcab -z -c "$name.cab" "$name.bin")
  mszip=$(stat -c %s "$work/$name.cab")
  xzcpu=$(cpu_seconds "$work/$name.xz" xz -c -T1 --lzma2=preset=6,dict=2MiB "$file")
  xzsize=$(stat -c %s "$work/$name.xz")
  awk -v n="$name" -v s="$size" -v l="$lzx" -v w="$wall" -v c="$cpu" -v m="$mszip" \
    -v x="$xzsize" -v xc="$xzcpu" 'BEGIN {
      printf "%-11s %10d | %10d %6.3f %7.2f %7.2f | %10d %6.3f | %10d %6.3f %7.2f\n",
             n, s, l, l / s, w, c, m, m / s, x, x / s, s / xc / 1e6
      printf "%-11s LZX:21 is %.3fx MSZIP and %.3fx xz\n", "", l / m, l / x }'
done
