#!/usr/bin/env bash
# Unpacks the Debian packages into a scratch root (dpkg -x: the machine's own package state is not
# touched) and uses them from there: the Depends that dpkg-shlibdeps wrote, the installed binaries,
# the udev rule for USB3 Vision cameras (where udev reads it, and the devices it grants access
# to) and the postinst that applies it, the installed zazod-host grabbing into PNG pictures, and a
# host project built against the unpacked development package.
# Usage: package-test.sh SOURCE_DIR RUNTIME_DEB DEVELOPMENT_DEB
set -euo pipefail
source_dir=$(realpath "$1")
runtime=$(realpath "$2")
development=$(realpath "$3")
scratch=$(mktemp -d "${TMPDIR:-/tmp}/zazod package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# shellcheck source=common.sh
. "$source_dir/tests/install/common.sh"
root="$scratch/scratch root"

depends=$(dpkg-deb -f "$runtime" Depends)
names=$(tr ',|' '\n\n' <<< "$depends" | awk '{print $1}')
for library in libc6 libstdc++6 libqt5core5a libqt5gui5; do
  grep -qFx "$library" <<< "$names" || fail "zazod-host does not depend on $library: $depends"
done
version=$(dpkg-deb -f "$runtime" Version)
grep -qF "zazod-host (= $version)" <<< "$(dpkg-deb -f "$development" Depends)" ||
  fail "zazod-host-dev does not depend on zazod-host (= $version)"

mkdir -p "$root"
run dpkg -x "$runtime" "$root"
run dpkg -x "$development" "$root"
check_installed_binaries "$root/usr"
[ -f "$root/usr/share/doc/zazod-host/copyright" ] || fail "zazod-host has no copyright file"

# The udev rule: only in the folder where udev reads packages' rules, before 73-seat-late.rules
# acts on the uaccess tag, readable by udev and by nobody writable but root.
rules=$(cd "$root" && find . -name '*.rules' | sort)
[ "$rules" = "./usr/lib/udev/rules.d/60-zazod-usb3-vision.rules" ] ||
  fail "zazod-host's udev rules are not just usr/lib/udev/rules.d/60-zazod-usb3-vision.rules: $rules"
rule="$root/usr/lib/udev/rules.d/60-zazod-usb3-vision.rules"
[ "$(stat -c %a "$rule")" = 644 ] || fail "the udev rule has mode $(stat -c %a "$rule"), not 644"
run python3 "$source_dir/tests/install/udev_rule_check.py" "$rule"
# The postinst asks udev only where it runs, and never fails the installation over it.
control="$scratch/control"
run dpkg-deb -e "$runtime" "$control"
run sh -n "$control/postinst"
grep -q '^if \[ "$1" = "configure" \] && \[ -S /run/udev/control \] && command -v udevadm' "$control/postinst" ||
  fail "the postinst does not check that udev runs before asking it"
unguarded=$(grep -n 'udevadm ' "$control/postinst" | grep -v 'command -v udevadm' | grep -v '|| true$' || true)
[ -z "$unguarded" ] || fail "the postinst calls udevadm without a guard: $unguarded"

# The installed zazod-host, run from elsewhere, grabs from one emulated camera with its own module.
cd "$scratch"
ZAZOD_SDK_TRANSPORTS=emulation run "$root/usr/bin/zazod-host" grab --frames 5 --out "$scratch/frames"
python3 - "$scratch/frames" <<'PY' || fail "the pictures zazod-host wrote are not what it grabbed"
import pathlib, struct, sys
folder = pathlib.Path(sys.argv[1])
names = sorted(p.name for p in folder.iterdir())
expected = [f"frame-{n:04d}.png" for n in range(1, 6)] + ["contact.png"]
if sorted(expected) != names:
    sys.exit(f"pictures in {folder}: {names}")
for name in expected[:-1]:
    head = (folder / name).read_bytes()[:24]
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        sys.exit(f"{name} is not a PNG picture")
    if struct.unpack(">II", head[16:24]) != (640, 480):
        sys.exit(f"{name} is {struct.unpack('>II', head[16:24])}, not 640x480")
PY

build_and_run_host_project "$root/usr" "$scratch/host build"
echo "package test passed"
