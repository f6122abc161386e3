"""Turns the benchmark results into the README's tables, each figure beside
its goal.

usage: report.py RESULTS_DIR (as bench/run.sh leaves it)
"""
import json
import os
import platform
import sys


def medians(path):
    """Median real time in milliseconds by name ("Key/1280x768"), the raw
    entries, and the run's context."""
    found, entries, context = {}, {}, {}
    if not os.path.exists(path):
        return found, entries, context
    with open(path) as f:
        data = json.load(f)
    for b in data["benchmarks"]:
        if b.get("aggregate_name") == "median":
            parts = b["run_name"].split("/")
            name = parts[0].replace("BM_", "")
            sizes = [p for p in parts[1:] if p.isdigit()]
            if sizes:
                name += "/" + "x".join(sizes)
            scale = {"us": 1e-3, "ms": 1.0, "ns": 1e-6}[b["time_unit"]]
            found[name] = b["real_time"] * scale
            entries[name] = b
    return found, entries, data.get("context", {})


def entry_of(path, prefix, aggregate=None):
    """The first benchmark entry whose name starts with `prefix` (and that is
    the aggregate named, when one is), for the rows that report their own
    counters."""
    if not os.path.exists(path):
        return {}
    with open(path) as f:
        for b in json.load(f)["benchmarks"]:
            if b["name"].startswith(prefix) and (aggregate is None or b.get("aggregate_name") == aggregate):
                return b
    return {}


def ms(value):
    if value is None:
        return "–"
    if value < 0.1:
        return "%.1f µs" % (value * 1000)
    return "%.2f ms" % value if value < 10 else "%.1f ms" % value


def main():
    out = sys.argv[1]
    dummy, _, context = medians(os.path.join(out, "screens.json"))
    x11, _, _ = medians(os.path.join(out, "screens-x11.json"))
    x11.update(medians(os.path.join(out, "screens-x11-4k.json"))[0])
    store, store_entries, _ = medians(os.path.join(out, "store.json"))
    solver, solver_entries, _ = medians(os.path.join(out, "solver.json"))
    solved = [line.split() for line in open(os.path.join(out, "solve.txt"), encoding="utf-8")]
    whole = [line for line in solved if line and line[0] == "all:"][0]
    startup = {}
    with open(os.path.join(out, "startup.txt")) as f:
        for line in f:
            key, _, rest = line.strip().partition(" ")
            startup[key] = rest
    cpu = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    print("Measured on %s, %d CPUs, %s, %s; medians."
          % (cpu, context.get("num_cpus", 0), platform.system(), context.get("date", "")[:10]))
    print()
    print("| Window | key to present, dummy driver | under Xvfb | goal | message box opening, dummy | under Xvfb |")
    print("|---|---|---|---|---|---|")
    for size, label, goal in (("1280x768", "1280 × 768, the frame's own size", "2 ms"),
                              ("1920x1080", "1920 × 1080 (full screen under Xvfb)", "8 ms"),
                              ("3840x2160", "3840 × 2160 (full screen under Xvfb)", "16 ms")):
        print("| %s | %s | %s | %s | %s | %s |" % (
            label, ms(dummy.get("Key/" + size)), ms(x11.get("Key/" + size)), goal,
            ms(dummy.get("Dialog/" + size)), ms(x11.get("Dialog/" + size))))
    print()
    print("| A click's way shown step by step (dummy driver) | measured | goal |")
    print("|---|---|---|")
    print("| a key during a walk of 200 steps, to the frame with the walk's end and the key's move | %s | "
          "one frame, 16.7 ms |" % ms(dummy.get("KeyDuringAnimation")))
    print()
    print("| Levels of every size (dummy driver, 1280 × 768) | a key, from the key to the frame | opening the level | goal |")
    print("|---|---|---|---|")
    for screen, kind in (("0", "play screen"), ("1", "editor")):
        for size, label in (("19", "19 × 11"), ("64", "64 × 64")):
            median = entry_of(os.path.join(out, "screens.json"), "BM_LevelKey/%s/%s/" % (screen, size), "median")
            print("| %s, %s | %s | %s | 4 ms |" % (kind, label, ms(median.get("real_time", 0) / 1000.0),
                                                   ms(median.get("open_ms"))))
    pushes = entry_of(os.path.join(out, "screens.json"), "BM_PushOnBundledLevels")
    light = entry_of(os.path.join(out, "screens.json"), "BM_LightOnAHall")
    print()
    print("| The help's cost (dummy driver) | measured | goal |")
    print("|---|---|---|")
    print("| a push on every bundled level, from the key to the frame, the light included (%d pushes) | median %s, "
          "90th percentile %s, at most %s | 2 ms |" % (pushes.get("pushes", 0), ms(pushes.get("median_ms")),
                                                          ms(pushes.get("p90_ms")), ms(pushes.get("max_ms"))))
    print("| the light after a push on a hall of 45 crates | median %s, at most %s | 2 ms |"
          % (ms(light.get("median_ms")), ms(light.get("max_ms"))))
    for after in ("1000", "5000"):
        escape = entry_of(os.path.join(out, "screens.json"), "BM_EscapeDuringASearch/%s/" % after)
        print("| Escape %s s into a hint's search on a hall it cannot finish, to the search stopped | at most %s | 100 ms |"
              % (int(after) // 1000, ms(escape.get("max_ms"))))
    print()
    print("| The player's records, 10,000 levels and 10,000 records (dummy driver) | measured | goal |")
    print("|---|---|---|")
    print("| the level chooser's first page | %s | 50 ms |" % ms(dummy.get("Chooser")))
    print("| a win written among the records, synced to the disk | %s | 10 ms |" % ms(dummy.get("RecordWin")))
    print("| a level's first start added to a records file of 60 MB | %s | a moment |"
          % ms(store.get("FirstStartOnALargeRecordsFile")))
    print()
    hints = [b for b in json.load(open(os.path.join(out, "solver.json")))["benchmarks"]
             if b["name"].startswith("BM_HintAlongSolutions")][0]
    budget = [b for b in json.load(open(os.path.join(out, "solver.json")))["benchmarks"]
              if b["name"].startswith("BM_SearchToItsBudget")][0]
    print("| The solver | measured | goal |")
    print("|---|---|---|")
    print("| every bundled level proven push-optimal | %s s, the slowest %s s | 3 s, 1 s |"
          % (whole[1], whole[5]))
    print("| positions searched a second | %s | |" % "{:,}".format(int(whole[9])))
    print("| a hint from every fifth push of every stored solution (%d) | median %s, at most %s | 20 ms, 1 s |"
          % (hints["hints"], ms(hints["median_ms"]), ms(hints["max_ms"])))
    print("| the instant deadlock rules after a push | %s | 0.1 ms |" % ms(solver.get("InstantRules")))
    large = entry_of(os.path.join(out, "solver.json"), "BM_HintOnLargeLevels")
    print("| a hint on scattered levels of 30 × 20 with 10 to 20 crates: given / with the fewest pushes | %d / %d of %d"
          " (median %s, at most %s) | 95 %% within 10 s |" % (large.get("hinted", 0), large.get("fewest", 0),
                                                             large.get("levels", 0), ms(large.get("median_ms")),
                                                             ms(large.get("max_ms"))))
    print("| the search's peak memory at its budget (the whole benchmark process) | %.0f MiB | 256 MiB |"
          % budget["peak_mib"])
    print("| a click: the shortest walk across a 19 × 11 level of pillars | %s | 1 ms |" % ms(solver.get("ClickWalk")))
    print("| a click: where a crate can go, among pillars | %s | 1 ms |" % ms(solver.get("ClickCrate/0")))
    print("| a click: where a crate can go, a 19 × 11 hall with one crate | %s | 1 ms |" % ms(solver.get("ClickCrate/1")))
    print()
    load, bare_read = store["LoadLevels"], store["BareLineLoop"]
    save, bare_write = store["SaveLevels"], store["BareWriteLoop"]
    print("| Level store, 100,000 levels (10 MB) | median | bare loop | ratio | goal |")
    print("|---|---|---|---|---|")
    print("| load | %s | %s (read and split lines) | %.1f× | 4× |" % (ms(load), ms(bare_read), load / bare_read))
    print("| save | %s | %s (write the bytes) | %.1f× | 2× |" % (ms(save), ms(bare_write), save / bare_write))
    print()
    first = startup["startup_to_first_frame_ms"]
    print("| Start and run (the built game under Xvfb) | measured | goal |")
    print("|---|---|---|")
    print("| start of the binary to its first frame | %s | 100 ms |" % first.replace(" (", " ms ("))
    print("| CPU used in 2 s of waiting for input | %s s | none |" % startup["idle_cpu_seconds_in_2s"])
    print("| peak memory, every bundled level shown | %s MiB | |" % startup["peak_memory_mib"])
    entry = store_entries["LoadLevels"]
    print()
    print("A loaded level takes %.0f bytes on the heap (these average 12 × 7 cells); the largest, 19 × 11 with a"
          " 63-byte name, %.0f." % (entry["bytes_per_level"], entry["largest_level_bytes"]))


if __name__ == "__main__":
    main()
