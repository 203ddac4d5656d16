#!/usr/bin/env python3
"""Runs the package's udev rule for USB3 Vision cameras over a table of devices, as udev would
evaluate it, and fails unless exactly the USB3 Vision cameras of vendor 2676 get access, and
those the way we mean (TAG "uaccess", GROUP "video", MODE "0664").

udev itself cannot be asked here (no udev on build machines, and Debian 12's udevadm has no
"verify"), so this reads the rule with the parts of udev's grammar the rule may use: comparisons
with == and != on ACTION, SUBSYSTEM, ENV{...} and ATTR{...} (shell globs), GOTO and LABEL, TAG+=,
GROUP=, MODE= and IMPORT{builtin}="usb_id". Anything else in the file fails the check, so the
rule cannot grow a key this reading would ignore.

Usage: udev_rule_check.py RULES_FILE
"""
import fnmatch
import re
import sys

TOKEN = re.compile(r'\s*([A-Z_]+)(?:\{([^}]*)\})?\s*(==|!=|\+=|=)\s*"([^"]*)"\s*(?:,|$)')
MATCH_KEYS = {"ACTION", "SUBSYSTEM", "ENV", "ATTR"}


def parse(path):
    rules = []
    with open(path, encoding="utf-8") as rules_file:
        for number, line in enumerate(rules_file, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.endswith("\\"):
                sys.exit(f"{path}:{number}: continued lines are not expected")
            tokens, position = [], 0
            while position < len(line):
                token = TOKEN.match(line, position)
                if token is None:
                    sys.exit(f"{path}:{number}: cannot read {line[position:]!r}")
                tokens.append(token.groups())
                position = token.end()
            rules.append((number, tokens))
    return rules


def value_of(device, key, name):
    if key == "ACTION":
        return device["action"]
    if key == "SUBSYSTEM":
        return device["subsystem"]
    if key == "ENV":
        return device["env"].get(name, "")
    return device["attr"].get(name, "")


def evaluate(rules, device):
    """What the rule assigns to `device`: tags, group, mode."""
    labels = {}
    for index, (number, tokens) in enumerate(rules):
        for key, _name, operator, value in tokens:
            if key == "LABEL":
                if len(tokens) != 1 or operator != "=":
                    sys.exit(f"line {number}: a LABEL stands alone")
                labels[value] = index
    result = {"tags": set(), "group": None, "mode": None}
    index = 0
    while index < len(rules):
        number, tokens = rules[index]
        index += 1
        for key, name, operator, value in tokens:
            if key in MATCH_KEYS and operator in ("==", "!="):
                if key in ("ENV", "ATTR") and name is None:
                    sys.exit(f"line {number}: {key} without a name")
                hit = fnmatch.fnmatchcase(value_of(device, key, name), value)
                if hit != (operator == "=="):
                    break
            elif key == "LABEL":
                pass
            elif key == "GOTO" and operator == "=":
                if value not in labels or labels[value] < index:
                    sys.exit(f"line {number}: GOTO \"{value}\" has no LABEL after it")
                index = labels[value]
                break
            elif key == "TAG" and operator == "+=":
                result["tags"].add(value)
            elif key == "GROUP" and operator == "=":
                result["group"] = value
            elif key == "MODE" and operator == "=":
                result["mode"] = value
            elif key == "IMPORT" and name == "builtin" and operator == "=" and value == "usb_id":
                device["env"]["ID_USB_INTERFACES"] = device["interfaces"]
            else:
                sys.exit(f"line {number}: {key}{{{name}}}{operator}\"{value}\" is not expected")
    return result


def device(action="add", subsystem="usb", devtype="usb_device", vendor="2676",
           device_class=("ef", "02", "01"), interfaces=":ef0500:ef0502:", imported=True):
    env = {"DEVTYPE": devtype}
    if imported:
        env["ID_USB_INTERFACES"] = interfaces
    return {
        "action": action, "subsystem": subsystem, "env": env, "interfaces": interfaces,
        "attr": {"idVendor": vendor, "bDeviceClass": device_class[0],
                 "bDeviceSubClass": device_class[1], "bDeviceProtocol": device_class[2]},
    }


GRANTED = {"tags": {"uaccess"}, "group": "video", "mode": "0664"}
NOTHING = {"tags": set(), "group": None, "mode": None}
CASES = [
    ("a USB3 Vision camera plugged in", device(), GRANTED),
    ("the same camera on a change event (postinst's trigger)", device(action="change"), GRANTED),
    ("the same camera before usb_id ran", device(imported=False), GRANTED),
    ("the camera unplugged", device(action="remove"), NOTHING),
    ("the camera's control interface", device(devtype="usb_interface"), NOTHING),
    ("another subsystem with the same attributes", device(subsystem="tty"), NOTHING),
    ("a USB3 Vision camera of another vendor", device(vendor="1ab2"), NOTHING),
    ("another device of the vendor", device(device_class=("00", "00", "00"), interfaces=":ff0000:"), NOTHING),
    ("a composite device of the vendor without a USB3 Vision control interface",
     device(interfaces=":0e0100:0e0200:"), NOTHING),
] + [
    (f"a USB3 Vision interface on a device of class {'/'.join(other)}", device(device_class=other), NOTHING)
    for other in (("00", "02", "01"), ("ef", "00", "01"), ("ef", "02", "00"))
] + [
    ("a device with a USB3 Vision interface of another protocol only",
     device(interfaces=":ef0501:ef0502:"), NOTHING),
]


def main():
    rules = parse(sys.argv[1])
    failures = 0
    for name, candidate, expected in CASES:
        got = evaluate(rules, candidate)
        if got != expected:
            print(f"{name}: got {got}, expected {expected}")
            failures += 1
    if failures:
        sys.exit(f"{sys.argv[1]}: {failures} of {len(CASES)} devices get other access than meant")


if __name__ == "__main__":
    main()
