#!/usr/bin/env python3
"""Turns the outputs of the benchmark programs into one markdown table (stdout) and the same
figures as JSON, with the goals beside them.

  report.py --frames F.json --allocs A.json --callgrind SHORT.out LONG.out SHORT_N LONG_N
            [--aravis ARAVIS.json ARAVIS.txt] [--aravis-scale SCALE.json] --json OUT.json
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
    parser.add_argument("--aravis-scale", metavar="SCALE_JSON")
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

    # 6, 7. Aravis at production load
    if args.aravis_scale:
        scale = aravis_scale_rows(args.aravis_scale)
        if scale is not None:
            rows.extend(scale["rows"])
            results["aravis_scale"] = scale["figures"]

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
        packets = f"{entry['packet_size']}-byte packets" if entry.get("packet_size") else "1400-byte packets"
        label = f"6 aravis {entry['width']}x{entry['height']} at {entry['rate']}/s, {packets}, {n} camera(s)"
        module, bare = entry["module"], entry["bare_client"]
        fm, fb = run_figures(module), run_figures(bare)
        rows.append((label, "module (loaded, one snapping thread per camera)", describe_run(module, fm), "", None))
        rows.append((label, f"bare libaravis client, {entry['buffers']} buffers, same socket buffer",
                     describe_run(bare, fb), "", None))
        rows.append((label, "triggers without a frame, module vs bare client",
                     f"{fm['triggers_without_frame']} vs {fb['triggers_without_frame']}",
                     "<= bare client's", fm["triggers_without_frame"] <= fb["triggers_without_frame"]))
        rows.append((label, "failed frames through the module (no injected loss)", str(module["failed"]), "0",
                     module["failed"] == 0))
        ratio = fm["cpu_ms_per_frame"] / fb["cpu_ms_per_frame"] if fb["cpu_ms_per_frame"] else 0
        rows.append((label, "CPU of the receiving process per delivered frame, module vs bare client",
                     f"{fmt(fm['cpu_ms_per_frame'], 2)} ms vs {fmt(fb['cpu_ms_per_frame'], 2)} ms, ratio {fmt(ratio, 3)}",
                     "<= 1.05", 0 < ratio <= 1.05))
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
