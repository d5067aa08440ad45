#!/usr/bin/env bash
# Installs a build into a scratch prefix and builds the consumer programs
# against the installed package only, then moves the prefix and does it
# again. Each program must run and must have loaded the libraries from the
# prefix it was built against.
#   install_consumer.sh cmake|pkgconfig BUILD_DIR CONSUMER_DIR LIBDIR [COMPILER_FLAGS]
set -euo pipefail
way=$1 build=$2 consumer=$3 libdir=$4 flags=${5:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() { echo "install_consumer ($way): $*" >&2; exit 1; }

# Checks that a program or plugin loads libTessal and libArvelleQt from the
# prefix.
loads_from() {
  local prefix=$1 object=$2 libs name arrow path
  libs=$(ldd "$object" | grep -E 'lib(Tessal|ArvelleQt)\.so' || true)
  [ -n "$libs" ] || fail "$object links neither library"
  while read -r name arrow path _; do
    [ "$(dirname "$(realpath -e "$path" 2>/dev/null)")" = "$(realpath "$prefix/$libdir")" ] ||
      fail "$object loads $name from $path, not from $prefix"
  done <<<"$libs"
}

run_from() {
  loads_from "$1" "$2"
  "$2" || fail "$2 failed"
}

# What the prefix brings of its own: the demo runs, the Designer plugin
# finds its libraries.
installed_programs() {
  local prefix=$1 out=$2 plugin
  mkdir -p "$out"
  loads_from "$prefix" "$prefix/bin/arvelle-demo"
  # In the sanitizer build the demo's leaks are the widget suites' business
  # (they drive its window); the GL driver it unloads would only blur them.
  ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" "$prefix/bin/arvelle-demo" --screenshot "$out/demo.png" \
    --size 400x300 >/dev/null || fail "installed demo failed"
  [ -s "$out/demo.png" ] || fail "installed demo wrote no picture"
  plugin=$(find "$prefix" -name libarvelledesigner.so)
  [ -n "$plugin" ] || fail "no Designer plugin installed"
  loads_from "$prefix" "$plugin"
}

with_cmake() {
  local prefix=$1 out=$2
  # No build tree, registry or system package may stand in for the prefix.
  cmake -S "$consumer" -B "$out" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF \
        -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_EXE_LINKER_FLAGS=$flags" >"$out.log" 2>&1 ||
    { cat "$out.log" >&2; fail "configure against $prefix failed"; }
  cmake --build "$out" >>"$out.log" 2>&1 || { cat "$out.log" >&2; fail "build against $prefix failed"; }
  for program in tessal_consumer consumer consumer_form; do run_from "$prefix" "$out/$program"; done
  installed_programs "$prefix" "$out"
}

with_pkgconfig() {
  local prefix=$1 out=$2
  mkdir -p "$out"
  export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
  [ "$(pkg-config --variable=prefix arvelle-qt)" -ef "$prefix" ] || fail "arvelle-qt.pc does not point into $prefix"
  # shellcheck disable=SC2046,SC2086  # the flags are words
  c++ -std=c++17 $flags "$consumer/tessal_only.cpp" -o "$out/tessal_consumer" $(pkg-config --cflags --libs tessal) \
      -Wl,-rpath,"$(pkg-config --variable=libdir tessal)" || fail "pkg-config build of tessal_consumer failed"
  # shellcheck disable=SC2046,SC2086
  c++ -std=c++17 $flags "$consumer/main.cpp" -o "$out/consumer" $(pkg-config --cflags --libs arvelle-qt) \
      -Wl,-rpath,"$(pkg-config --variable=libdir arvelle-qt)" || fail "pkg-config build of consumer failed"
  for program in tessal_consumer consumer; do run_from "$prefix" "$out/$program"; done
}

# The packages take any version of their major one and no other.
versions_refused() {
  local prefix=$1 out=$2
  mkdir -p "$out/src"
  cat >"$out/src/CMakeLists.txt" <<'END'
cmake_minimum_required(VERSION 3.16)
project(VersionCheck NONE)
foreach(request "ArvelleQt 21" "ArvelleQt 23" "Tessal 18" "Tessal 20")
  separate_arguments(request)
  find_package(${request} CONFIG QUIET)
  list(GET request 0 name)
  list(GET request 1 wanted)
  if(${name}_FOUND)
    message(FATAL_ERROR "${name} ${wanted} was answered by version ${${name}_VERSION}")
  endif()
  unset(${name}_DIR CACHE)
endforeach()
END
  cmake -S "$out/src" -B "$out/build" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF \
        >"$out.log" 2>&1 || { cat "$out.log" >&2; fail "a version of another major was accepted"; }
}

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null || fail "cmake --install failed"
[ "$way" = pkgconfig ] || versions_refused "$scratch/prefix" "$scratch/versions"
"with_$way" "$scratch/prefix" "$scratch/first"
mv "$scratch/prefix" "$scratch/moved"
"with_$way" "$scratch/moved" "$scratch/second"
echo "install_consumer ($way): built and ran against the installed prefix, before and after moving it"
