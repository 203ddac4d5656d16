#!/usr/bin/env bash
# scripts/abi against fixture modules: the module as built from the interface passes; those built
# with two operations swapped, with a field moved, and with two operations of the frame sink
# swapped fail, and the report names what moved.
# Usage: abi-check-test.sh SCRIPTS_ABI REFERENCE_MODULE SWAPPED_MODULE MOVED_MODULE SINK_MODULE
set -uo pipefail
abi=$1 reference=$2 swapped=$3 moved=$4 sink=$5
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$abi" --describe "$reference" > "$scratch/reference.abi" || fail "cannot describe $reference"
"$abi" --compare "$scratch/reference.abi" "$reference" > "$scratch/same.out" 2>&1 ||
  { cat "$scratch/same.out"; fail "the unchanged module was reported as changed"; }

# Each altered module must fail the check with a report that names what moved.
expect_reported() {  # module, then patterns the report must contain
  local module=$1; shift
  local status=0
  "$abi" --compare "$scratch/reference.abi" "$module" > "$scratch/report.out" 2>&1 || status=$?
  cat "$scratch/report.out"
  [ "$status" != 0 ] || fail "$module passed the check"
  local pattern
  for pattern in "$@"; do
    grep -qF -- "$pattern" "$scratch/report.out" || fail "the report on $module does not mention: $pattern"
  done
}
expect_reported "$swapped" \
  "the vtable offset of method virtual int ICameraObject::IStartCamera() changed" \
  "the vtable offset of method virtual void ICameraObject::IStopCamera() changed"
expect_reported "$moved" \
  "'uint32_t m_frameLimit' offset changed" "'std::atomic<unsigned int> m_imageNumber' offset changed"
expect_reported "$sink" \
  "the vtable offset of method virtual void ICameraFrameSink::OnFrameReady(ICameraObject*) changed" \
  "the vtable offset of method virtual void ICameraFrameSink::OnCameraError(ICameraObject*, int) changed"
echo "abi check test passed"
