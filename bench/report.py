#!/usr/bin/env python3
"""Turns the outputs of the benchmark programs into one markdown table (stdout) and the same
figures as JSON, with the goals beside them.

  report.py --frames F.json --allocs A.json --callgrind SHORT.out LONG.out SHORT_N LONG_N
            [--debug-off F.json A.json SHORT.out LONG.out]
            [--aravis ARAVIS.json ARAVIS.txt] [--aravis-scale SCALE.json]... --json OUT.json

--debug-off gives the same emulated runs with the module's debug lines switched off; their rows
follow the ones with the lines on, each with its own goals.
"""
import argparse
import json
import re
import sys

MODULE_FN = "CCameraBasler::OnImageGrabbed("
HANDLER_FN = "ZODOzizoZavozEzazodu::OnImageGrabbed("
SINK_FN = "SignalSink::OnFrameReady("
LINE_FN = "CGrabThreadLog::"


def callgrind_costs(path):
    """Self cost and inclusive cost per callee for every function of a callgrind output written
    with --compress-strings=no --compress-pos=no."""
    functions = {}
    current = None
    callee = None
    inclusive_next = False
    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("fn="):
                current = functions.setdefault(line[3:], {"self": 0, "calls": {}})
            elif line.startswith("cfn="):
                callee = line[4:]
            elif line.startswith("calls="):
                inclusive_next = True
            elif line and (line[0].isdigit() or line[0] in "+-*") and current is not None:
                fields = line.split()
                cost = int(fields[1]) if len(fields) > 1 else 0
                if inclusive_next:
                    current["calls"][callee] = current["calls"].get(callee, 0) + cost
                    inclusive_next = False
                else:
                    current["self"] += cost
    return functions


def find(functions, prefix):
    for name, cost in functions.items():
        if name.startswith(prefix):
            return cost
    return {"self": 0, "calls": {}}


def is_qt(name):
    return name.startswith("Q") or name.startswith("q") or name.startswith("operator<<(QDebug")


def is_debug_line(name):
    return is_qt(name) or name.startswith(LINE_FN)


def split_handler(path):
    functions = callgrind_costs(path)
    module = find(functions, MODULE_FN)
    handler = find(functions, HANDLER_FN)
    parts = {"debug_line": 0, "sdk_readers": 0, "host_sink": 0, "module_own": module["self"]}
    for name, cost in module["calls"].items():
        if name.startswith(SINK_FN):
            parts["host_sink"] += cost
        elif is_debug_line(name):
            parts["debug_line"] += cost
        else:
            parts["sdk_readers"] += cost
    parts["handler_total"] = handler["self"] + sum(handler["calls"].values())
    return parts


def per_frame(short_parts, long_parts, frames):
    return {key: (long_parts[key] - short_parts[key]) / frames for key in short_parts}


def fmt(value, digits=1):
    return f"{value:,.{digits}f}"


# Goals with the module's per-frame debug lines delivered ("on") and switched off by the host's
# logging rules ("off"); None: reported without a goal.
GOALS = {
    "on": {"latency_ratio": 1.05, "allocations": 3, "instructions": None, "throughput_ratio": None},
    "off": {"latency_ratio": 1.02, "allocations": 0, "instructions": 1000, "throughput_ratio": 0.97},
}


def debug_mode(data):
    """'on' or 'off', as the benchmark program found Qt's rules for the default category."""
    return "on" if data.get("debug_lines", True) else "off"


def at_most(value, goal):
    return ("", None) if goal is None else (f"<= {fmt(goal, 2 if goal < 10 else 0)}", value <= goal)


def latency_rows(frames, rows):
    """Snap-to-frame latency for each placement of the grab-loop threads against the snapping thread."""
    mode = debug_mode(frames)
    goal = GOALS[mode]["latency_ratio"]
    figures = {}
    placements = [("", "grab threads on another CPU"), ("_same_cpu", "grab threads on the snapping CPU")]
    for suffix, placement in placements:
        lm, ls = frames.get("latency_module" + suffix), frames.get("latency_sdk" + suffix)
        if not lm or not ls or not lm["frames"] or not ls["frames"]:
            continue
        ratios = {p: lm[f"{p}_us"] / ls[f"{p}_us"] if ls[f"{p}_us"] else 0 for p in ("p50", "p99", "p999")}
        label = f"1 latency ({placement}), debug {mode}"
        for who, l in (("module: ISnapCamera to OnFrameReady", lm), ("SDK alone, bare image handler", ls)):
            rows.append((label, f"{who}, {l['frames']} frames",
                         f"p50 {fmt(l['p50_us'])} us, p99 {fmt(l['p99_us'])} us, p99.9 {fmt(l['p999_us'])} us, "
                         f"max {fmt(l['max_us'])} us, lost {l['lost']}", "", None))
        for p, name in (("p50", "p50"), ("p99", "p99")):
            rows.append((label, f"ratio module / SDK alone, {name}", fmt(ratios[p], 3), *at_most(ratios[p], goal)))
        rows.append((label, "ratio module / SDK alone, p99.9", fmt(ratios["p999"], 3), "", None))
        figures["other_cpu" if not suffix else "same_cpu"] = {
            "module": lm, "sdk_alone": ls, "ratio_p50": ratios["p50"], "ratio_p99": ratios["p99"],
            "ratio_p999": ratios["p999"]}
    return figures


def throughput_rows(frames, rows):
    mode = debug_mode(frames)
    goal = GOALS[mode]["throughput_ratio"]
    throughput = []
    by_size = {}
    for r in frames["throughput"]:
        total = r["delivered"] / r["seconds"]
        per_camera = [n / r["seconds"] for n in r["per_camera"]]
        cpu_us = r["cpu_seconds"] * 1e6 / r["delivered"] if r["delivered"] else 0
        entry = dict(r, frames_per_s=total, frames_per_s_per_camera=per_camera, cpu_us_per_frame=cpu_us)
        throughput.append(entry)
        path = "SDK alone" if r.get("sdk_alone") else "module"
        by_size.setdefault((r["width"], r["height"], path), []).append(entry)
        spread = f"{fmt(min(per_camera), 0)}..{fmt(max(per_camera), 0)}" if per_camera else "-"
        rows.append((f"2 throughput {r['width']}x{r['height']}, debug {mode}", f"{r['cameras']} camera(s), {path}",
                     f"{fmt(total, 0)} frames/s in all, per camera {spread}, {fmt(cpu_us, 2)} us CPU/frame, lost {r['lost']}",
                     "lost 0", r["lost"] == 0))
    for (w, h, path), entries in by_size.items():
        entries.sort(key=lambda e: e["cameras"])
        base = entries[0]["frames_per_s"]
        growth = ", ".join(f"{e['cameras']}: x{fmt(e['frames_per_s'] / base, 2)}" for e in entries) if base else "-"
        rows.append((f"2 throughput {w}x{h}, debug {mode}", f"total frames/s against 1 camera, {path}", growth,
                     "grows until both cores are busy", None))
    module_small = {e["cameras"]: e for e in by_size.get((640, 480, "module"), [])}
    sdk_small = {e["cameras"]: e for e in by_size.get((640, 480, "SDK alone"), [])}
    ratios = {n: module_small[n]["frames_per_s"] / sdk_small[n]["frames_per_s"]
              for n in sorted(module_small) if n in sdk_small and sdk_small[n]["frames_per_s"]}
    if ratios:
        met = None if goal is None else all(r >= goal for r in ratios.values())
        rows.append((f"2 throughput 640x480, debug {mode}", "total frames/s, module / SDK alone",
                     ", ".join(f"{n}: {fmt(r, 3)}" for n, r in ratios.items()),
                     "" if goal is None else f">= {goal} at every count", met))
    return throughput, ratios


def instruction_rows(short_path, long_path, short_n, long_n, mode, rows):
    n = int(long_n) - int(short_n)
    pf = per_frame(split_handler(short_path), split_handler(long_path), n)
    stores_and_sink = pf["module_own"] + pf["sdk_readers"] + pf["host_sink"]
    label = f"3 instructions, debug {mode}"
    rows.append((label, f"handler path in all (handler's OnImageGrabbed, inclusive), per frame over {n} frames",
                 fmt(pf["handler_total"], 0), *at_most(pf["handler_total"], GOALS[mode]["instructions"])))
    rows.append((label, "field stores + sink call (module code, SDK result readers, host sink body)",
                 f"{fmt(stores_and_sink, 0)} (module's own {fmt(pf['module_own'], 0)}, SDK readers {fmt(pf['sdk_readers'], 0)}, host sink {fmt(pf['host_sink'], 0)})",
                 "", None))
    what = ("gate on the default category, line built in the grab thread's buffer, Qt's message output, "
            "discarding handler") if mode == "on" else "gate on the default category only"
    rows.append((label, f"debug line ({what})", fmt(pf["debug_line"], 0), "", None))
    return dict(pf, stores_and_sink=stores_and_sink, frames=n)


def allocation_rows(allocs, rows):
    mode = debug_mode(allocs)
    label = f"4 allocations, debug {mode}"
    sdk_rate = allocs["sdk_alone"]["allocations"] / allocs["sdk_alone"]["frames"] if allocs["sdk_alone"]["frames"] else -1
    module_rate = allocs["module"]["allocations"] / allocs["module"]["frames"] if allocs["module"]["frames"] else -1
    rows.append((label, f"SDK layer alone, per frame over {allocs['sdk_alone']['frames']} frames",
                 fmt(sdk_rate, 2), "0", sdk_rate == 0))
    goal = GOALS[mode]["allocations"]
    rows.append((label, f"through the module, per frame over {allocs['module']['frames']} frames",
                 f"{fmt(module_rate, 2)} (module's share {fmt(module_rate - sdk_rate, 2)})",
                 f"<= {goal}" if goal else "0", 0 <= module_rate <= goal))
    return {"sdk_alone": sdk_rate, "module": module_rate, "module_share": module_rate - sdk_rate, "raw": allocs}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--frames", required=True)
    parser.add_argument("--allocs", required=True)
    parser.add_argument("--callgrind", nargs=4, metavar=("SHORT", "LONG", "SHORT_N", "LONG_N"))
    parser.add_argument("--debug-off", nargs=4, metavar=("FRAMES", "ALLOCS", "CALLGRIND_SHORT", "CALLGRIND_LONG"),
                        help="the same runs with the module's debug lines switched off")
    parser.add_argument("--aravis", nargs=2, metavar=("JSON", "TEXT"))
    parser.add_argument("--aravis-scale", metavar="SCALE_JSON", action="append",
                        help="the scale figures of one run (GigE Vision, or a USB3 Vision mode); repeatable")
    parser.add_argument("--json", required=True)
    args = parser.parse_args()

    frames = json.load(open(args.frames))
    allocs = json.load(open(args.allocs))
    off = None
    if args.debug_off:
        off = {"frames": json.load(open(args.debug_off[0])), "allocs": json.load(open(args.debug_off[1]))}
    results = {"goals": GOALS, "rows": []}
    rows = []  # (row, measure, figure, goal, met)

    # 1. Latency
    results["latency"] = latency_rows(frames, rows)
    if off:
        off["latency"] = latency_rows(off["frames"], rows)

    # 2. Throughput
    results["throughput"], results["throughput_ratio_module_sdk_640x480"] = throughput_rows(frames, rows)
    if off:
        off["throughput"], off["throughput_ratio_module_sdk_640x480"] = throughput_rows(off["frames"], rows)

    # 3. Instructions per frame in the handler path
    if args.callgrind:
        results["instructions_per_frame"] = instruction_rows(*args.callgrind, debug_mode(frames), rows)
        if off:
            off["instructions_per_frame"] = instruction_rows(args.debug_off[2], args.debug_off[3],
                                                             *args.callgrind[2:], "off", rows)

    # 4. Allocations per frame
    results["allocations_per_frame"] = allocation_rows(allocs, rows)
    if off:
        off["allocations_per_frame"] = allocation_rows(off["allocs"], rows)
        results["debug_off"] = {k: v for k, v in off.items() if k not in ("frames", "allocs")}

    # 5. Aravis
    if args.aravis:
        aravis = aravis_rows(*args.aravis)
        if aravis is not None:
            rows.extend(aravis["rows"])
            results["aravis"] = aravis["figures"]
    else:
        results["aravis"] = None

    # 6, 7. Aravis at production load
    # 8. USB3 Vision at production load (the same figures, one file per USB mode and trigger)
    for path in args.aravis_scale or []:
        scale = aravis_scale_rows(path)
        if scale is not None:
            rows.extend(scale["rows"])
            key = "aravis_scale"
            if scale["figures"]["scale"] and scale["figures"]["scale"][0].get("transport") == "usb3":
                first = scale["figures"]["scale"][0]
                key = f"usb3_scale_{first['usb_mode']}_{first.get('trigger', 'Software').lower()}"
            results[key] = scale["figures"]

    results["rows"] = [{"row": r[0], "measure": r[1], "figure": r[2], "goal": r[3], "met": r[4]} for r in rows]
    with open(args.json, "w") as out:
        json.dump(results, out, indent=2)

    print("| row | measure | figure | goal | met |")
    print("|---|---|---|---|---|")
    for r in rows:
        met = "" if r[4] is None else ("yes" if r[4] else "**no**")
        print(f"| {r[0]} | {r[1]} | {r[2]} | {r[3]} | {met} |")


def aravis_rows(json_path, text_path):
    try:
        data = json.load(open(json_path))
        text = open(text_path).read()
    except (OSError, ValueError) as error:
        print(f"aravis figures unreadable: {error}", file=sys.stderr)
        return None
    rows, figures = [], {}
    for b in data.get("benchmarks", []):
        if b["name"].startswith("SnapToFrame"):
            figures["module_snap_to_frame_ms"] = b["real_time"]
            rows.append(("5 aravis", "module snap to frame on the fake camera (mean; the fake camera answers about 25 triggers/s)", f"{fmt(b['real_time'], 2)} ms", "", None))
        elif b["name"].startswith("TriggeredRate"):
            figures["module_frames_per_s"] = b.get("frames_per_s", 0)
    match = re.search(r"baseline arv-camera-test -o (\d+): ([\d.]+) frames/s; module: ([\d.]+) frames/s; ratio ([\d.]+)", text)
    if match:
        hz, base, module, ratio = match.groups()
        figures.update(trigger_hz=int(hz), baseline_frames_per_s=float(base), ratio=float(ratio))
        rows.append(("5 aravis", f"software triggers at {hz}/s: module vs arv-camera-test (the fake camera answers about 25 triggers/s)",
                     f"{module} vs {base} frames/s, ratio {ratio}", ">= 0.95", float(ratio) >= 0.95))
    return {"rows": rows, "figures": figures}


def run_figures(run):
    """Frames/s in all and per camera, triggers without a frame, CPU per delivered frame."""
    seconds = run.get("seconds") or 0
    delivered = run.get("delivered", 0)
    per_camera = [n / seconds for n in run.get("per_camera", [])] if seconds else []
    return {
        "frames_per_s": delivered / seconds if seconds else 0,
        "frames_per_s_per_camera": per_camera,
        "triggers_without_frame": run.get("snaps", 0) - delivered - run.get("failed", 0),
        "cpu_ms_per_frame": run["cpu_seconds"] * 1e3 / delivered if delivered else 0,
        "fake_cpu_share": run.get("fake_cpu_seconds", 0) / seconds if seconds else 0,
    }


def describe_run(run, figures):
    spread = "-"
    if figures["frames_per_s_per_camera"]:
        spread = f"{fmt(min(figures['frames_per_s_per_camera']))}..{fmt(max(figures['frames_per_s_per_camera']))}"
    return (f"{fmt(figures['frames_per_s'])} frames/s in all (per camera {spread}) of {run['snaps']} triggers, "
            f"{figures['triggers_without_frame']} triggers without a frame, {run['failed']} failed")


def aravis_scale_rows(path):
    try:
        data = json.load(open(path))
    except (OSError, ValueError) as error:
        print(f"aravis scale figures unreadable: {error}", file=sys.stderr)
        return None
    rows, figures = [], {"scale": [], "loss": None}
    for entry in data.get("scale", []):
        n = entry["cameras"]
        usb3 = entry.get("transport") == "usb3"
        if usb3:
            trigger = f"Line1 at {entry['rate']}/s" if entry.get("trigger") == "Line1" else f"{entry['rate']}/s"
            label = f"8 usb3 {entry['width']}x{entry['height']} {trigger}, {entry['usb_mode']} USB mode, {n} camera(s)"
            bare_setup = ""
        else:
            packets = f"{entry['packet_size']}-byte packets" if entry.get("packet_size") else "1400-byte packets"
            way = f", packet socket {entry['packet_socket']} ({entry['stream']})" if entry.get("packet_socket") else ""
            label = f"6 aravis {entry['width']}x{entry['height']} at {entry['rate']}/s, {packets}, {n} camera(s){way}"
            bare_setup = (", Aravis's default (packet socket where permitted)" if entry.get("packet_socket") == "auto"
                          else ", packet socket off, same socket buffer")
        module, bare = entry["module"], entry["bare_client"]
        fm, fb = run_figures(module), run_figures(bare)
        how = "hardware trigger" if usb3 and entry.get("trigger") == "Line1" else "one snapping thread per camera"
        rows.append((label, f"module (loaded, {how})", describe_run(module, fm), "", None))
        rows.append((label, f"bare libaravis client, {entry['buffers']} buffers" + bare_setup,
                     describe_run(bare, fb), "", None))
        if not (usb3 and entry.get("trigger") == "Line1"):  # with Line1 the frames are the triggers
            rows.append((label, "triggers without a frame, module vs bare client",
                         f"{fm['triggers_without_frame']} vs {fb['triggers_without_frame']}",
                         "<= bare client's", fm["triggers_without_frame"] <= fb["triggers_without_frame"]))
        rows.append((label, "failed frames through the module (no injected loss)", str(module["failed"]), "0",
                     module["failed"] == 0))
        ratio = fm["cpu_ms_per_frame"] / fb["cpu_ms_per_frame"] if fb["cpu_ms_per_frame"] else 0
        rows.append((label, "CPU of the receiving process per delivered frame, module vs bare client",
                     f"{fmt(fm['cpu_ms_per_frame'], 2)} ms vs {fmt(fb['cpu_ms_per_frame'], 2)} ms, ratio {fmt(ratio, 3)}",
                     "<= 1.05", 0 < ratio <= 1.05))
        if not usb3:  # the fake USB3 Vision device works inside the receiving process
            rows.append((label, "CPU of the fake cameras (cores busy), during the module's run / the bare client's",
                         f"{fmt(fm['fake_cpu_share'], 2)} / {fmt(fb['fake_cpu_share'], 2)}", "report", None))
        allocs = entry["sdk_allocations"]
        rate = allocs["allocations"] / allocs["frames"] if allocs["frames"] else -1
        rows.append((label, f"heap allocations per frame on the SDK layer's grab-loop threads, over {allocs['frames']} frames",
                     fmt(rate, 2), "0", rate == 0))
        figures["scale"].append(dict(entry, module_figures=fm, bare_client_figures=fb, cpu_ratio=ratio,
                                     sdk_allocations_per_frame=rate))
    loss = data.get("loss")
    if loss:
        label = f"7 aravis loss {loss['loss_per_thousand'] / 10:g} %, {loss['cameras']} cameras"
        if not loss.get("pattern_learnt") or "module" not in loss:
            rows.append((label, "pixels checked against the fake camera's test pattern",
                         "the pattern could not be learnt from a camera without loss", "", False))
        else:
            run = loss["module"]
            fl = run_figures(run)
            answered = run["delivered"] + run["failed"]
            rows.append((label, f"module, {loss['packet_size']}-byte packets (the fake camera resends nothing)",
                         describe_run(run, fl) + f"; {fmt(100 * run['delivered'] / answered if answered else 0)} % of answered triggers whole",
                         "", None))
            rows.append((label, "delivered frames not equal to the test pattern, or repeating the frame before",
                         f"{run['mismatched']} mismatched, {run['not_advancing']} repeated, of {run['delivered']}",
                         "0", run["mismatched"] == 0 and run["not_advancing"] == 0))
            figures["loss"] = dict(loss, module_figures=fl)
    return {"rows": rows, "figures": figures}


if __name__ == "__main__":
    main()
