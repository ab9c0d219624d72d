#!/usr/bin/env bash
# Installs the build into a staging folder with `cmake --install` (DESTDIR and a prefix, as a
# packager does) and checks the layout: the programs in bin/, the cabinet library in the
# private folder beside them, the desktop files; then runs the staged pelmora-extract with
# no library path set, which works only when it finds its library from where it stands.
# Usage: install_layout.sh BUILD_DIR SAMPLE_PACK
set -euo pipefail
build=$1 sample=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
fail() { echo "$*" >&2; exit 1; }

DESTDIR="$stage/root" cmake --install "$build" --prefix /opt/pelmora-test >/dev/null
prefix=$stage/root/opt/pelmora-test
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
libdir=${libdir:-lib}

expected=(
  bin/pelmora-extract bin/cabtool "$libdir/pelmora/libcabinet.so"
  share/mime/packages/pelmora.xml
  share/bash-completion/completions/pelmora-extract share/bash-completion/completions/cabtool
  share/man/man1/pelmora-extract.1.gz share/man/man1/cabtool.1.gz
  share/doc/pelmora/copyright share/doc/pelmora/changelog.gz
)
if [ -e "$build/bin/pelmora" ]; then
  expected+=(bin/pelmora share/applications/pelmora.desktop share/man/man1/pelmora.1.gz
             share/metainfo/org.pelmora.Pelmora.metainfo.xml
             share/icons/hicolor/48x48/apps/pelmora.png)
fi
for path in "${expected[@]}"; do
  [ -e "$prefix/$path" ] || fail "not installed: $path"
done
# The library is the program's own: nothing of it on the global library path.
if find "$prefix" -maxdepth 2 -name 'libcabinet*' | grep -q .; then
  fail "libcabinet installed outside its private folder: $(find "$prefix" -maxdepth 2 -name 'libcabinet*')"
fi
for program in pelmora-extract cabtool; do
  runpath=$(readelf -d "$prefix/bin/$program" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  [ "$runpath" = "\$ORIGIN/../$libdir/pelmora" ] || fail "$program: run path '$runpath'"
done

# Run from the staged place, with the build's library folder nowhere in sight.
cp "$sample" "$stage/Autumn.themepack"
(unset LD_LIBRARY_PATH; "$prefix/bin/pelmora-extract" -q "$stage/Autumn.themepack") ||
  fail "the installed pelmora-extract could not extract the sample"
pictures=$(find "$stage/Autumn" -type f | wc -l)
[ "$pictures" -gt 0 ] || fail "the installed pelmora-extract wrote no picture"
(unset LD_LIBRARY_PATH; "$prefix/bin/cabtool" list "$stage/Autumn.themepack" >/dev/null) ||
  fail "the installed cabtool could not list the sample"
echo "installed under a staged prefix: layout complete, $pictures pictures extracted"
