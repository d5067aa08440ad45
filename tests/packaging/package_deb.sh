#!/usr/bin/env bash
# Makes the Debian package of a build, unpacks it into a scratch root
# (dpkg -x, as an install would lay it out), checks its files and
# dependencies, and builds and runs the consumer against the unpacked tree.
#   package_deb.sh BUILD_DIR CONSUMER_DIR LIBDIR DESIGNER_PLUGIN_DIR
set -euo pipefail
build=$1 consumer=$2 libdir=$3 plugindir=$4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "package_deb: $*" >&2; exit 1; }

(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1) ||
  { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
debs=("$scratch"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package, got: ${debs[*]}"
deb=${debs[0]}
dpkg-deb -x "$deb" "$scratch/root"

usr=$scratch/root/usr
for f in "$libdir/libTessal.so.19" "$libdir/libTessal.so" "$libdir/libArvelleQt.so.22" "$libdir/libArvelleQt.so" \
         include/tessal/tessal.h include/tessal/fcurve.h include/arvelle/arvelle.h include/arvelle/graphwidget.h \
         "$libdir/cmake/ArvelleQt/ArvelleQtConfig.cmake" "$libdir/cmake/ArvelleQt/ArvelleQtConfigVersion.cmake" \
         "$libdir/cmake/Tessal/TessalConfig.cmake" "$libdir/pkgconfig/tessal.pc" "$libdir/pkgconfig/arvelle-qt.pc" \
         "$plugindir/libarvelledesigner.so" bin/arvelle-demo; do
  [ -e "$usr/$f" ] || fail "missing /usr/$f"
done
# The development links point at the versioned objects, which carry their
# SONAMEs.
[ "$(readlink -f "$usr/$libdir/libArvelleQt.so")" = "$(readlink -f "$usr/$libdir/libArvelleQt.so.22")" ] ||
  fail "libArvelleQt.so does not lead to libArvelleQt.so.22"
objdump -p "$usr/$libdir/libArvelleQt.so.22" | grep -q 'SONAME *libArvelleQt\.so\.22$' || fail "wrong SONAME"

depends=$(dpkg-deb -f "$deb" Depends)
for dep in libc6 libstdc++6 libqt5widgets5 libqt5gui5 libqt5core5a qtbase5-dev libgl-dev; do
  tr ',|' '\n\n' <<<"$depends" | awk '{ print $1 }' | grep -qxF "$dep" || fail "Depends lacks $dep: $depends"
done
dpkg-deb -I "$deb" shlibs 2>/dev/null | grep -q '^libArvelleQt 22 ' || fail "no shlibs entry for libArvelleQt"

# The unpacked tree is a working prefix.
cmake -S "$consumer" -B "$scratch/consumer" -DCMAKE_PREFIX_PATH="$usr" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF \
      -DCMAKE_BUILD_TYPE=Release >"$scratch/consumer.log" 2>&1 &&
  cmake --build "$scratch/consumer" --target consumer >>"$scratch/consumer.log" 2>&1 ||
  { cat "$scratch/consumer.log" >&2; fail "consumer build against the unpacked package failed"; }
ldd "$scratch/consumer/consumer" | grep -q "libArvelleQt.so.22 => $usr/" || fail "consumer does not load the packaged library"
"$scratch/consumer/consumer" || fail "consumer failed"
echo "package_deb: $(basename "$deb") unpacks with its files; Depends: $depends"
