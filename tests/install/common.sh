# Shell helpers shared by the install and package tests (sourced, not run).

fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs a command, keeping its output in $scratch/last.out; fails the test with the output shown.
run() {
  local code=0
  "$@" > "$scratch/last.out" 2>&1 || code=$?
  [ "$code" = 0 ] || { cat "$scratch/last.out" >&2; fail "$* (exit $code)"; }
}

# `grep -q` would stop reading early and fail the pipeline (pipefail) when readelf gets SIGPIPE, so
# the pipelines below let grep read everything.

# The ELF checks of an installed tree under $1 (the prefix): exactly the two exports, the SDK layer
# bound by its SONAME, and library search paths only relative to $ORIGIN.
check_installed_binaries() {
  local prefix=$1 module=$1/lib/zazod/modules/zaZod_190.so
  local exports
  exports=$(nm -D --defined-only "$module" | awk '{print $NF}' | sort | tr '\n' ' ')
  [ "$exports" = "Camera_Create Camera_Delete " ] || fail "the module exports: $exports"
  readelf -d "$module" | grep 'NEEDED.*\[libzazod_sdk\.so\.0\]' > /dev/null || fail "the module does not need libzazod_sdk.so.0"
  readelf -d "$module" | grep 'RUNPATH.*\[\$ORIGIN/\.\./\.\.\]' > /dev/null || fail "the module's RUNPATH is not \$ORIGIN/../.."
  readelf -d "$prefix/lib/libzazod_sdk.so.0" | grep 'SONAME.*\[libzazod_sdk\.so\.0\]' > /dev/null ||
    fail "libzazod_sdk.so.0 has no SONAME libzazod_sdk.so.0"
  local elf
  for elf in "$module" "$prefix"/lib/libzazod_sdk.so.0 "$prefix"/bin/zazod-host; do
    if readelf -d "$elf" | grep -E 'R(UN)?PATH' | grep -v '\[\$ORIGIN' > /dev/null; then
      fail "$elf has a search path outside \$ORIGIN: $(readelf -d "$elf" | grep -E 'R(UN)?PATH')"
    fi
  done
}

# Builds tests/install/host_project against the CMake package under prefix $1 into folder $2 with
# plain cmake, runs it on one emulated camera and checks that it listed, opened and grabbed.
build_and_run_host_project() {
  local prefix=$1 folder=$2
  run cmake -S "$source_dir/tests/install/host_project" -B "$folder" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE=Release
  run cmake --build "$folder"
  check_host_project_run "$prefix" "$folder/example-host"
  # The host's own module, built on the installed default operations: listed, opened and started.
  run "$folder/example-host" "$folder/example-module.so" 0
  [ "$(grep -E '^camera ' "$scratch/last.out")" = "camera example 0001" ] ||
    { cat "$scratch/last.out" >&2; fail "the example module built against the package did not run"; }
}

# Runs a built example host with one emulated camera and checks its report.
check_host_project_run() {
  local prefix=$1 program=$2
  ZAZOD_SDK_TRANSPORTS=emulation ZAZOD_SDK_EMULATED_CAMERAS=1 run "$program"
  local module
  module=$(sed -n 's/^module //p' "$scratch/last.out")
  [ "$(realpath -m "$module")" = "$(realpath -m "$prefix/lib/zazod/modules/zaZod_190.so")" ] ||
    { cat "$scratch/last.out" >&2; fail "$program loaded $module, not the module under $prefix"; }
  [ "$(grep -E '^(camera|frame) ' "$scratch/last.out")" = "$(printf 'camera basler EMU0001\nframe 1 640x480 pixels\nframe 2 640x480 pixels\nframe 3 640x480 pixels')" ] ||
    { cat "$scratch/last.out" >&2; fail "$program did not list, open and grab as expected"; }
}
