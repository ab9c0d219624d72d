#!/usr/bin/env bash
# pelmora-extract against cabextract on one theme pack of 24 wallpapers of 1 MB each
# (LZX:21, one folder), side by side: wall time of both (hyperfine when installed, else the
# best of five runs) and peak memory (GNU time). Limits: at most 1.2 times cabextract's
# time, peak memory under 32 MB.
# Usage: bench/extract_pack.sh [build dir]   (scripts/bench extract_pack)
set -euo pipefail
build=$(cd "${1:-$(dirname "$0")/../build}" && pwd)
extract=$build/bin/pelmora-extract
cabtool=$build/bin/cabtool
for tool in "$extract" "$cabtool"; do
  [ -x "$tool" ] || { echo "extract_pack: build $(basename "$tool") first" >&2; exit 1; }
done
command -v cabextract >/dev/null || { echo "extract_pack: cabextract is missing" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "extract_pack: GNU time is missing (apt-get install time)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/stage/DesktopBackground"
# Wallpapers are JPEG data, which does not compress: random bytes behave the same.
for i in $(seq -w 1 24); do
  head -c 1048576 /dev/urandom >"$work/stage/DesktopBackground/wallpaper$i.jpg"
done
printf '[Theme]\nDisplayName=Bench\n' >"$work/stage/Bench.theme"
( cd "$work/stage" && "$cabtool" create -z lzx:21 -f 100m "$work/Bench.themepack" \
    Bench.theme DesktopBackground/*.jpg >/dev/null )
pack=$work/Bench.themepack
echo "pack: 24 x 1 MB .jpg + a theme file, LZX:21, one folder, $(($(stat -c %s "$pack") / 1024)) KB"

ours="$extract -q -d $work/ours $pack"
theirs="cabextract -q -F '*.jpg' -d $work/theirs $pack"
clean="rm -rf $work/ours $work/theirs"

# Both must write the same pictures.
eval "$clean"; eval "$ours"; eval "$theirs"
diff -r "$work/ours" "$work/theirs/DesktopBackground" >/dev/null ||
  { echo "extract_pack: the two tools wrote different files" >&2; exit 1; }

if command -v hyperfine >/dev/null; then
  hyperfine --style basic --warmup 1 --runs 8 --prepare "$clean" \
    --export-csv "$work/times.csv" -n pelmora-extract "$ours" -n cabextract "$theirs"
  ours_s=$(awk -F, '$1 == "pelmora-extract" {print $2}' "$work/times.csv")
  theirs_s=$(awk -F, '$1 == "cabextract" {print $2}' "$work/times.csv")
else
  best() {
    local best_s=999999 s
    for _ in 1 2 3 4 5; do
      eval "$clean"
      s=$( { /usr/bin/time -f %e bash -c "$1" >/dev/null; } 2>&1 | tail -n1)
      best_s=$(awk -v a="$s" -v b="$best_s" 'BEGIN {print (a < b) ? a : b}')
    done
    echo "$best_s"
  }
  ours_s=$(best "$ours")
  theirs_s=$(best "$theirs")
  echo "pelmora-extract: best of 5 ${ours_s} s; cabextract: best of 5 ${theirs_s} s"
fi

peak() {
  eval "$clean"
  { /usr/bin/time -f %M bash -c "exec $1" >/dev/null; } 2>&1 | tail -n1
}
ours_kb=$(peak "$ours")
theirs_kb=$(peak "$theirs")

ratio=$(awk -v a="$ours_s" -v b="$theirs_s" 'BEGIN {printf "%.2f", a / b}')
ours_s=$(awk -v s="$ours_s" 'BEGIN {printf "%.3f", s}')
theirs_s=$(awk -v s="$theirs_s" 'BEGIN {printf "%.3f", s}')
echo "time:        pelmora-extract ${ours_s} s, cabextract ${theirs_s} s, ratio ${ratio} (limit 1.20)"
echo "peak memory: pelmora-extract $((ours_kb / 1024)) MB, cabextract $((theirs_kb / 1024)) MB (limit 32 MB)"
over=0
awk -v r="$ratio" 'BEGIN {exit !(r > 1.2)}' && { echo "OVER LIMIT: time"; over=1; }
[ "$ours_kb" -lt $((32 * 1024)) ] || { echo "OVER LIMIT: peak memory"; over=1; }
[ $over -eq 0 ] && echo "within limits"
exit $over
