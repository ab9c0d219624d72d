#!/usr/bin/env bash
# extract_under_wine.sh WINE_RUN PELMORA_EXTRACT_EXE CABTOOL_EXE
# Extracts theme packs made by other tools with the Windows pelmora-extract.exe under Wine, and
# compares every member with what cabextract (the Linux peer) extracts from the same pack.
# The cabinet library is the platform's, or the one PELMORA_CABINET_LIBRARY names.
set -euo pipefail
wine_run=$1 extract=$2 cabtool=$3
for tool in gcab cabextract; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/pelmora-wine-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Members: compressible text, noise, a name in Cyrillic and Japanese, and a stored folder.
src=$work/members
mkdir -p "$src/DesktopBackground"
for i in $(seq 1 4000); do echo "wallpaper line $i of the autumn theme"; done >"$src/DesktopBackground/img1.jpg"
head -c 70000 /dev/urandom >"$src/DesktopBackground/img2.png"
printf 'Осень\n%.0s' $(seq 1 500) >"$src/DesktopBackground/Осень 秋.jpg"
echo "[Theme]" >"$src/Autumn.theme"
members=(DesktopBackground/img1.jpg DesktopBackground/img2.png "DesktopBackground/Осень 秋.jpg" Autumn.theme)

packs=$work/packs
mkdir -p "$packs"
(cd "$src" && gcab -c "$packs/stored.themepack" "${members[@]}" >/dev/null)
(cd "$src" && gcab -c -z "$packs/mszip.themepack" "${members[@]}" >/dev/null)
# cabtool.exe takes its arguments in the ANSI code page, which cannot spell the Cyrillic name.
(cd "$src" && "$wine_run" "$cabtool" create -z lzx:21 "$packs/lzx.themepack" \
  DesktopBackground/img1.jpg DesktopBackground/img2.png Autumn.theme >/dev/null)
cp "$(dirname "$0")/../../samples/Autumn.themepack" "$packs/sample.themepack"

failed=0
for pack in "$packs"/*.themepack; do
  name=$(basename "$pack" .themepack)
  expected=$work/expected/$name actual=$work/actual/$name
  mkdir -p "$expected" "$actual"
  # Every member under its bare name, as pelmora-extract writes them by default.
  cabextract -q -F '*.jpg' -d "$work/peer-$name" "$pack" >/dev/null
  cabextract -q -F '*.png' -d "$work/peer-$name" "$pack" >/dev/null
  find "$work/peer-$name" -type f -exec mv -t "$expected" {} +
  if ! "$wine_run" "$extract" -q -d "$actual" "$pack"; then
    echo "FAIL $name: pelmora-extract.exe failed"; failed=1; continue
  fi
  if diff -r "$expected" "$actual"; then
    echo "ok   $name: $(ls "$actual" | wc -l) members as cabextract extracts them"
  else
    echo "FAIL $name: members differ from cabextract's"; failed=1
  fi
done
exit $failed
