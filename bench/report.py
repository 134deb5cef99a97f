#!/usr/bin/env python3
"""Prints the benchmark table of bench/run from the results folder it fills.

Reads settings.json, registry.json and winpos.json (Google Benchmark JSON with repetitions;
the median of each benchmark is used), client.txt (bench_client's table), lcdproc.txt
(bench_lcdproc's), display.txt (bench_display's) and outputs.txt (bench_outputs'). Prints one
Markdown table: figure, measured, target, floor and ratio where there is one, and a mark
(pass, MISS, or "-" where no target was set). Exits 0 whatever the marks; a figure that is
missing from the results is printed as "not measured".
"""

import json
import os
import re
import sys

UNIT_TO_US = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}


def load_medians(path):
    """{run name: (median real time in us, error message or None)}"""
    try:
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
    except (OSError, ValueError):
        return {}
    result = {}
    for b in data.get("benchmarks", []):
        name = re.sub(r"/repeats:\d+$", "", b.get("run_name", b.get("name", "")))
        if b.get("error_occurred"):
            result[name] = (None, b.get("error_message", "error"))
            continue
        is_median = b.get("aggregate_name") == "median"
        single = b.get("run_type") == "iteration" and name not in result
        if is_median or single:
            result[name] = (b["real_time"] * UNIT_TO_US[b.get("time_unit", "ns")], None)
    return result


def load_client(path):
    """{label: number} from bench_client's lines "label   number unit"."""
    figures = {}
    try:
        with open(path, encoding="utf-8") as f:
            for line in f:
                m = re.match(r"^(.*?)\s+(-?[0-9.]+)\s*(ms|MB|x|s)?(?: of \d+)?\s*$", line.rstrip())
                if m:
                    figures[m.group(1).strip()] = float(m.group(2))
    except OSError:
        pass
    return figures


def fmt_us(us):
    if us is None:
        return "not measured"
    if us >= 1000:
        return f"{us / 1000:.2f} ms"
    if us >= 100:
        return f"{us:.0f} µs"
    if us >= 1:
        return f"{us:.1f} µs"
    return f"{us * 1000:.0f} ns"


def mark(ok):
    if ok is None:
        return "-"
    return "pass" if ok else "**MISS**"


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "build/bench/results"
    settings = load_medians(os.path.join(folder, "settings.json"))
    registry = load_medians(os.path.join(folder, "registry.json"))
    winpos = load_medians(os.path.join(folder, "winpos.json"))
    client = load_client(os.path.join(folder, "client.txt"))
    lcdproc = load_client(os.path.join(folder, "lcdproc.txt"))
    web = load_client(os.path.join(folder, "display.txt"))
    outputs = load_client(os.path.join(folder, "outputs.txt"))

    rows = []

    def micro(label, results, name, target_us, target_text, floor=None):
        us, error = results.get(name, (None, None))
        floor_us = settings.get(floor, (None, None))[0] if floor else None
        ratio = f"{us / floor_us:.1f}×" if us is not None and floor_us else ""
        if error:
            rows.append((label, f"error: {error}", target_text, "", "", mark(False)))
            return
        ok = None if target_us is None or us is None else us <= target_us
        rows.append((label, fmt_us(us), target_text, fmt_us(floor_us) if floor else "", ratio,
                     mark(ok)))

    micro("ProfileSetting mode 1, 20-key file", settings, "ReadMode1/20", 20, "≤ 20 µs",
          "FloorRead/20")
    micro("ProfileSetting mode 1, 1,000-key file", settings, "ReadMode1/1000", 300, "≤ 300 µs",
          "FloorRead/1000")
    micro("ProfileSetting mode 2, existing key (20 keys)", settings, "RecordMode2Existing",
          None, "none set", "FloorRead/20")
    micro("ProfileSetting mode 0, write with flush", settings, "WriteMode0", 2000, "≤ 2 ms")
    micro("RegistryKey OpenKey + value + close, 10,000 keys", registry, "OpenReadClose/10000", 50,
          "≤ 50 µs")
    micro("RegistryKey value write with commit", registry, "WriteWithCommit/10000", 2000,
          "≤ 2 ms")
    tick_us, tick_error = winpos.get("SaveTickUnchanged", (None, None))
    if tick_error:
        rows.append(("SavePosition save tick, nothing changed", f"error: {tick_error}",
                     "< 5 µs, no file write", "", "", mark(False)))
    else:
        rows.append(("SavePosition save tick, nothing changed",
                     fmt_us(tick_us) + (", no file write" if tick_us is not None else ""),
                     "< 5 µs, no file write", "", "",
                     mark(None if tick_us is None else tick_us < 5)))

    def figure(label):
        return client.get(label)

    press = figure("press to delivery, median")
    p90 = figure("press to delivery, p90")
    lost = figure("presses not delivered within 5 s")
    rows.append(("Press to delivery (button 0, both messages), median",
                 "not measured" if press is None else
                 f"{press:.2f} ms (p90 {p90:.2f} ms, {lost:.0f} lost)",
                 "≤ 5 ms", "", "", mark(None if press is None else press <= 5 and lost == 0)))
    form = figure("start-up to window shown, Form1, median")
    bare = figure("start-up to window shown, bare Qt, median")
    ratio = figure("start-up ratio Form1 / bare")
    labelled = figure("(bare Qt with one labelled button, median)")
    if form is not None and bare is not None and ratio is not None:
        rows.append(("Start-up to window shown, Form1 vs bare Qt window",
                     f"{form:.0f} ms vs {bare:.0f} ms: {ratio:.2f}×",
                     "≤ 1.3×", "", "", mark(ratio <= 1.3)))
        if labelled is not None:
            rows.append(("(bare Qt window with one labelled button)",
                         f"{labelled:.0f} ms: {labelled / bare:.2f}× bare", "", "", "", "-"))
    else:
        rows.append(("Start-up to window shown, Form1 vs bare Qt window", "not measured",
                     "≤ 1.3×", "", "", "-"))
    peak_form = figure("peak memory, Form1")
    peak_bare = figure("peak memory, bare Qt")
    if peak_form is not None and peak_bare is not None:
        rows.append(("Peak memory, Form1 vs bare Qt window",
                     f"{peak_form:.1f} MB vs {peak_bare:.1f} MB: +{peak_form - peak_bare:.1f} MB",
                     "≤ bare + 10 MB", "", "", mark(peak_form - peak_bare <= 10)))
    period = figure("idle period")
    cpu = figure("idle CPU time (user + system)")
    writes = figure("settings-file writes while idle")
    rows.append((f"Idle {period:.0f} s: settings-file writes" if period else "Idle: settings-file writes",
                 "not measured" if writes is None else f"{writes:.0f}", "0", "", "",
                 mark(None if writes is None else writes == 0)))
    rows.append((f"Idle {period:.0f} s: CPU time" if period else "Idle: CPU time",
                 "not measured" if cpu is None else f"{cpu:.0f} ms", "none set", "", "", "-"))

    lcd_median = lcdproc.get("text to widget_set, median")
    lcd_p99 = lcdproc.get("text to widget_set, p99")
    lcd_bytes = lcdproc.get("bytes to LCDd for one text change")
    rows.append(("Client message to LCDd widget_set, median (p99)",
                 "not measured" if lcd_median is None else
                 f"{lcd_median:.2f} ms (p99 {lcd_p99:.2f} ms)",
                 "≤ 2 ms", "", "",
                 mark(None if lcd_median is None else lcd_median <= 2 and lcd_p99 <= 2)))
    rows.append(("Bytes to LCDd for one text change",
                 "not measured" if lcd_bytes is None else f"{lcd_bytes:.0f} (one widget_set)",
                 "only what changed", "", "", "-"))
    send_exit = lcdproc.get("afficheur-send to exit, median")
    send_exit_p99 = lcdproc.get("afficheur-send to exit, p99")
    send_shown = lcdproc.get("afficheur-send to widget_set, median")
    send_shown_p99 = lcdproc.get("afficheur-send to widget_set, p99")
    true_exit = lcdproc.get("/bin/true to exit, median")
    true_exit_p99 = lcdproc.get("/bin/true to exit, p99")
    send_ratio = send_exit / true_exit if send_exit and true_exit else None
    rows.append(("afficheur-send, start to exit, median (p99)",
                 "not measured" if send_exit is None else
                 f"{send_exit:.2f} ms (p99 {send_exit_p99:.2f} ms)",
                 "≤ 3 × /bin/true",
                 "" if true_exit is None else f"{true_exit:.2f} ms (p99 {true_exit_p99:.2f} ms)",
                 "" if send_ratio is None else f"{send_ratio:.1f}",
                 mark(None if send_ratio is None else send_ratio <= 3)))
    rows.append(("afficheur-send, start to LCDd widget_set, median (p99)",
                 "not measured" if send_shown is None else
                 f"{send_shown:.2f} ms (p99 {send_shown_p99:.2f} ms)",
                 "none set", "", "", "-"))
    web_median = web.get("web update, all 10 viewers, median")
    web_p99 = web.get("web update, all 10 viewers, p99")
    web_lost = web.get("web updates not seen by all within 10 s")
    rows.append(("Web page: last byte of a message to the update at 10 viewers",
                 "not measured" if web_median is None else
                 f"{web_median:.2f} ms (p99 {web_p99:.2f} ms, {web_lost:.0f} lost)",
                 "≤ 5 ms (median and p99)", "", "",
                 mark(None if web_median is None else
                      web_median <= 5 and web_p99 <= 5 and web_lost == 0)))
    web_alone = web.get("web memory, no viewer")
    web_32 = web.get("web memory, 32 viewers")
    rows.append(("Web page: display's memory with 32 viewers",
                 "not measured" if web_32 is None else
                 f"{web_32:.1f} MB ({web_alone:.1f} MB with none)",
                 "none set", "", "", "-"))

    def every_output(label, prefix):
        median = outputs.get(prefix + "message to every output, median")
        p99 = outputs.get(prefix + "message to every output, p99")
        lost = outputs.get(prefix + "messages not at every output within 10 s")
        rows.append((label,
                     "not measured" if median is None else
                     f"{median:.2f} ms (p99 {p99:.2f} ms, {lost:.0f} lost)",
                     "p99 ≤ 2 ms", "", "",
                     mark(None if median is None else p99 <= 2 and lost == 0)))

    every_output("Every output (window, LCDd, page), messages back to back", "")
    every_output("Every output, each message after 30 ms idle", "idle 30 ms before: ")
    every_output("Every output, after 30 ms idle, a marquee running (window and LCDd)",
                 "marquee running, idle 30 ms before: ")
    every_output("Every output, a 40-line sale, marquee running",
                 "a 40-line sale, marquee running, idle 30 ms before: ")
    every_output("Every output, a 40-line sale over the shop's pictures turning",
                 "a 40-line sale over the pictures turning: ")
    window = outputs.get("message to window paint, p99")
    lcd = outputs.get("message to LCDd widget_set, p99")
    page = outputs.get("message to page event, p99")
    rows.append(("Each output's p99, back to back: window paint / LCDd / page",
                 "not measured" if window is None else
                 f"{window:.2f} / {lcd:.2f} / {page:.2f} ms", "none set", "", "", "-"))
    writes = outputs.get("state file writes during the burst")
    allowed = outputs.get("state file writes allowed at 4 a second")
    rows.append(("State file writes, burst of 1,000 messages",
                 "not measured" if writes is None else
                 f"{writes:.0f} in {outputs.get('burst duration', 0):.2f} s "
                 f"({outputs.get('state file writes per second', 0):.1f}/s), gaps ≥ "
                 f"{outputs.get('state file, shortest gap between writes', 0):.0f} ms",
                 "first at once, then ≤ 4 a second" +
                 ("" if allowed is None else f" (≤ {allowed:.0f} here)"), "", "",
                 mark(None if writes is None or allowed is None else writes <= allowed)))

    header = ("Figure (median)", "Measured", "Target", "Floor", "× floor", "Mark")
    table = [header] + rows
    widths = [max(len(r[i]) for r in table) for i in range(len(header))]

    def line(r):
        return "| " + " | ".join(r[i].ljust(widths[i]) for i in range(len(r))) + " |"

    print(line(header))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for r in rows:
        print(line(r))
    missed = sum(1 for r in rows if r[5] == "**MISS**")
    print()
    print(f"{missed} target(s) missed." if missed else "Every target met.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
