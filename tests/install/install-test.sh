#!/usr/bin/env bash
# Installs the build into a scratch prefix whose path holds blanks, over an older installation, and
# checks it as a host team would use it: the installed files and their ELF properties, zazod-host
# finding the installed module by default, a host project of its own built with plain cmake and
# with pkg-config, and a foreign SDK layer on the library path.
# Usage: install-test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/zazod install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# shellcheck source=common.sh
. "$source_dir/tests/install/common.sh"
prefix="$scratch/host prefix"

# An older installation: a previous SDK layer version that the SONAME link points at, a stale
# module and a header that no longer exists.
mkdir -p "$prefix/lib/zazod/modules" "$prefix/include/zazod-host"
echo "old SDK layer" > "$prefix/lib/libzazod_sdk.so.0.0.9"
ln -s libzazod_sdk.so.0.0.9 "$prefix/lib/libzazod_sdk.so.0"
echo "old module" > "$prefix/lib/zazod/modules/zaZod_190.so"
echo "old header" > "$prefix/include/zazod-host/ICameraObject.h"

run cmake --install "$build_dir" --prefix "$prefix"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
[ "$(readlink "$prefix/lib/libzazod_sdk.so.0")" = "libzazod_sdk.so.$version" ] ||
  fail "libzazod_sdk.so.0 still points at $(readlink "$prefix/lib/libzazod_sdk.so.0")"
cmp -s "$prefix/include/zazod-host/ICameraObject.h" "$source_dir/host_sdk/ICameraObject.h" ||
  fail "the installed ICameraObject.h is not the current one"
for file in bin/zazod-host lib/libzazod_host_interface.a include/zazod-host/CameraInterface.h \
            lib/cmake/ZazodHost/ZazodHostConfig.cmake lib/pkgconfig/zazod-host.pc \
            share/doc/zazod-host/README.md share/doc/zazod-host/COPYRIGHT; do
  [ -f "$prefix/$file" ] || fail "$file was not installed"
done
check_installed_binaries "$prefix"
# The package files find everything relative to themselves, never in this build or source tree.
if grep -rlF -e "$build_dir" -e "$source_dir" "$prefix/lib/cmake" "$prefix/lib/pkgconfig"; then
  fail "installed package files (above) name the build or source folder"
fi
# Installing again over the same version changes nothing that matters and still works.
run cmake --install "$build_dir" --prefix "$prefix"

# zazod-host, run from elsewhere, loads the module of its own installation.
cd "$scratch"
run "$prefix/bin/zazod-host" --help
grep -qF "$prefix/lib/zazod/modules/zaZod_190.so" <(tr -s ' \n' ' ' < "$scratch/last.out") ||
  { cat "$scratch/last.out"; fail "zazod-host --help does not name the installed module as default"; }
ZAZOD_SDK_TRANSPORTS=emulation run "$prefix/bin/zazod-host" list --emulate 2
[ "$(cat "$scratch/last.out")" = "$(printf 'basler EMU0001\nbasler EMU0002')" ] ||
  { cat "$scratch/last.out"; fail "the installed zazod-host did not list the two emulated cameras"; }

# A host project built with plain cmake against the CMake package.
build_and_run_host_project "$prefix" "$scratch/cmake build"

# The same host built with pkg-config alone; its output quotes blanks in the prefix, for a shell.
pc() { PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config "$@"; }
run pc --exists --print-errors zazod-host
eval "module=$(pc --variable=module zazod-host)"
[ "$(realpath -m "$module")" = "$prefix/lib/zazod/modules/zaZod_190.so" ] || fail "pkg-config names the module $module"
flags=$(pc --cflags --libs zazod-host)
define="-DZAZOD_MODULE=\"$module\""
# Qt 5 is built with reduced relocations, so code including its headers is compiled with -fPIC,
# which Qt5Core.pc does not say (Qt's CMake package does).
eval "run c++ -std=c++17 -fPIC -o \"\$scratch/pkg-config-host\" \"\$source_dir/tests/install/host_project/main.cpp\" \
  \"\$define\" $flags -ldl"
check_host_project_run "$prefix" "$scratch/pkg-config-host"

# A foreign SDK layer on the library path. One with the same SONAME but not our symbols: the module
# refuses to load, naming the missing symbol. One with another SONAME: the module does not bind it.
mkdir -p "$scratch/foreign"
echo 'int zazod_foreign_sdk_layer() { return 1; }' > "$scratch/foreign/sdk.cpp"
run c++ -shared -fPIC -Wl,-soname,libzazod_sdk.so.0 -o "$scratch/foreign/libzazod_sdk.so.0" "$scratch/foreign/sdk.cpp"
set +e
LD_LIBRARY_PATH="$scratch/foreign" ZAZOD_SDK_TRANSPORTS=emulation "$prefix/bin/zazod-host" list --emulate 1 \
  > "$scratch/foreign.out" 2>&1
code=$?
set -e
[ "$code" = 3 ] || { cat "$scratch/foreign.out"; fail "with a foreign libzazod_sdk.so.0 zazod-host exited $code, not 3"; }
grep -q "^zazod-host: cannot load the module .*zaZod_190.so: .*undefined symbol: " "$scratch/foreign.out" ||
  { cat "$scratch/foreign.out"; fail "the load failure does not name the missing symbol"; }
mv "$scratch/foreign/libzazod_sdk.so.0" "$scratch/foreign/libzazod_sdk.so.1"
ln -s libzazod_sdk.so.1 "$scratch/foreign/libzazod_sdk.so"
LD_LIBRARY_PATH="$scratch/foreign" ZAZOD_SDK_TRANSPORTS=emulation run "$prefix/bin/zazod-host" list --emulate 1
[ "$(cat "$scratch/last.out")" = "basler EMU0001" ] ||
  { cat "$scratch/last.out"; fail "a libzazod_sdk.so.1 on the library path disturbed the module"; }
echo "install test passed"
