#!/usr/bin/env python3
"""Turns the outputs of the benchmark programs into one markdown table (stdout) and the same
figures as JSON, with the goals beside them.

  report.py --frames F.json --allocs A.json --callgrind SHORT.out LONG.out SHORT_N LONG_N
            [--aravis ARAVIS.json ARAVIS.txt] --json OUT.json
"""
import argparse
import json
import re
import sys

MODULE_FN = "CCameraBasler::OnImageGrabbed("
HANDLER_FN = "ZODOzizoZavozEzazodu::OnImageGrabbed("
SINK_FN = "SignalSink::OnFrameReady("


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


def split_handler(path):
    functions = callgrind_costs(path)
    module = find(functions, MODULE_FN)
    handler = find(functions, HANDLER_FN)
    parts = {"debug_line": 0, "sdk_readers": 0, "host_sink": 0, "module_own": module["self"]}
    for name, cost in module["calls"].items():
        if name.startswith(SINK_FN):
            parts["host_sink"] += cost
        elif is_qt(name):
            parts["debug_line"] += cost
        else:
            parts["sdk_readers"] += cost
    parts["handler_total"] = handler["self"] + sum(handler["calls"].values())
    return parts


def per_frame(short_parts, long_parts, frames):
    return {key: (long_parts[key] - short_parts[key]) / frames for key in short_parts}


def fmt(value, digits=1):
    return f"{value:,.{digits}f}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--frames", required=True)
    parser.add_argument("--allocs", required=True)
    parser.add_argument("--callgrind", nargs=4, metavar=("SHORT", "LONG", "SHORT_N", "LONG_N"))
    parser.add_argument("--aravis", nargs=2, metavar=("JSON", "TEXT"))
    parser.add_argument("--json", required=True)
    args = parser.parse_args()

    frames = json.load(open(args.frames))
    allocs = json.load(open(args.allocs))
    results = {"goals": {}, "rows": []}
    rows = []  # (row, measure, figure, goal, met)

    # 1. Latency, for each placement of the grab-loop threads against the snapping thread
    results["latency"] = {}
    placements = [("", "grab threads on another CPU"), ("_same_cpu", "grab threads on the snapping CPU")]
    for suffix, placement in placements:
        lm, ls = frames.get("latency_module" + suffix), frames.get("latency_sdk" + suffix)
        if not lm or not ls or not lm["frames"] or not ls["frames"]:
            continue
        ratio50 = lm["p50_us"] / ls["p50_us"] if ls["p50_us"] else 0
        ratio99 = lm["p99_us"] / ls["p99_us"] if ls["p99_us"] else 0
        label = f"1 latency ({placement})"
        rows.append((label, f"module: ISnapCamera to OnFrameReady, {lm['frames']} frames",
                     f"p50 {fmt(lm['p50_us'])} us, p99 {fmt(lm['p99_us'])} us, max {fmt(lm['max_us'])} us, lost {lm['lost']}", "", None))
        rows.append((label, f"SDK alone, bare image handler, {ls['frames']} frames",
                     f"p50 {fmt(ls['p50_us'])} us, p99 {fmt(ls['p99_us'])} us, max {fmt(ls['max_us'])} us, lost {ls['lost']}", "", None))
        rows.append((label, "ratio module / SDK alone, p50", fmt(ratio50, 3), "<= 1.05", ratio50 <= 1.05))
        rows.append((label, "ratio module / SDK alone, p99", fmt(ratio99, 3), "<= 1.10", ratio99 <= 1.10))
        results["latency"]["other_cpu" if not suffix else "same_cpu"] = {
            "module": lm, "sdk_alone": ls, "ratio_p50": ratio50, "ratio_p99": ratio99}

    # 2. Throughput
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
        rows.append((f"2 throughput {r['width']}x{r['height']}", f"{r['cameras']} camera(s), {path}",
                     f"{fmt(total, 0)} frames/s in all, per camera {spread}, {fmt(cpu_us, 2)} us CPU/frame, lost {r['lost']}",
                     "lost 0", r["lost"] == 0))
    for (w, h, path), entries in by_size.items():
        entries.sort(key=lambda e: e["cameras"])
        base = entries[0]["frames_per_s"]
        growth = ", ".join(f"{e['cameras']}: x{fmt(e['frames_per_s'] / base, 2)}" for e in entries) if base else "-"
        rows.append((f"2 throughput {w}x{h}", f"total frames/s against 1 camera, {path}", growth,
                     "grows until both cores are busy", None))
    module_small = {e["cameras"]: e for e in by_size.get((640, 480, "module"), [])}
    sdk_small = {e["cameras"]: e for e in by_size.get((640, 480, "SDK alone"), [])}
    ratios = {n: module_small[n]["frames_per_s"] / sdk_small[n]["frames_per_s"]
              for n in sorted(module_small) if n in sdk_small and sdk_small[n]["frames_per_s"]}
    if ratios:
        rows.append(("2 throughput 640x480", "total frames/s, module / SDK alone",
                     ", ".join(f"{n}: {fmt(r, 3)}" for n, r in ratios.items()), "", None))
    results["throughput"] = throughput
    results["throughput_ratio_module_sdk_640x480"] = ratios

    # 3. Instructions per frame in the handler path
    if args.callgrind:
        short_path, long_path, short_n, long_n = args.callgrind
        n = int(long_n) - int(short_n)
        pf = per_frame(split_handler(short_path), split_handler(long_path), n)
        stores_and_sink = pf["module_own"] + pf["sdk_readers"] + pf["host_sink"]
        rows.append(("3 instructions", f"handler path in all (handler's OnImageGrabbed, inclusive), per frame over {n} frames",
                     fmt(pf["handler_total"], 0), "", None))
        rows.append(("3 instructions", "field stores + sink call (module code, SDK result readers, host sink body)",
                     f"{fmt(stores_and_sink, 0)} (module's own {fmt(pf['module_own'], 0)}, SDK readers {fmt(pf['sdk_readers'], 0)}, host sink {fmt(pf['host_sink'], 0)})",
                     "", None))
        rows.append(("3 instructions", "debug line (QString arg, debug stream, discarding handler)",
                     fmt(pf["debug_line"], 0), "", None))
        results["instructions_per_frame"] = dict(pf, stores_and_sink=stores_and_sink, frames=n)

    # 4. Allocations per frame
    sdk_rate = allocs["sdk_alone"]["allocations"] / allocs["sdk_alone"]["frames"] if allocs["sdk_alone"]["frames"] else -1
    module_rate = allocs["module"]["allocations"] / allocs["module"]["frames"] if allocs["module"]["frames"] else -1
    rows.append(("4 allocations", f"SDK layer alone, per frame over {allocs['sdk_alone']['frames']} frames",
                 fmt(sdk_rate, 2), "0", sdk_rate == 0))
    rows.append(("4 allocations", f"through the module, per frame over {allocs['module']['frames']} frames",
                 f"{fmt(module_rate, 2)} (module's share {fmt(module_rate - sdk_rate, 2)})", "report", None))
    results["allocations_per_frame"] = {"sdk_alone": sdk_rate, "module": module_rate,
                                        "module_share": module_rate - sdk_rate, "raw": allocs}

    # 5. Aravis
    if args.aravis:
        aravis = aravis_rows(*args.aravis)
        if aravis is not None:
            rows.extend(aravis["rows"])
            results["aravis"] = aravis["figures"]
    else:
        results["aravis"] = None

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


if __name__ == "__main__":
    main()
