"""Turns the benchmark results into the README's table.

usage: report.py SCREENS_JSON STORE_JSON STARTUP_TXT
"""
import json
import platform
import sys


def medians(path):
    with open(path) as f:
        data = json.load(f)
    found = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") == "median":
            name = b["run_name"].split("/")[0].replace("BM_", "")
            scale = {"us": 1e-3, "ms": 1.0, "ns": 1e-6}[b["time_unit"]]
            found[name] = b["real_time"] * scale  # milliseconds
    return found, data.get("context", {})


def main():
    screens, context = medians(sys.argv[1])
    store, _ = medians(sys.argv[2])
    with open(sys.argv[3]) as f:
        startup = f.read().strip()
    cpu = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    print("Measured on %s, %d CPUs, %s, %s." % (cpu, context.get("num_cpus", 0), platform.system(),
                                               context.get("date", "")[:10]))
    print()
    floor, cleared = screens["Floor"], screens["ClearedFloor"]
    print("| Frame (dummy video driver) | median | × floor | × cleared floor |")
    print("|---|---|---|---|")
    print("| floor: 240 tile copies, one present | %.2f ms | 1.0 | |" % floor)
    print("| cleared floor: the same after a clear | %.2f ms | %.1f | 1.0 |" % (cleared, cleared / floor))
    labels = [("MenuRoom", "menu room"), ("PlayScreen", "play screen, 19 × 11 level"),
              ("Editor", "editor, the same level"), ("TextInput", "text input, 63-byte text"),
              ("AlertBox", "alert box")]
    for key, label in labels:
        t = screens[key]
        print("| %s | %.2f ms | %.1f | %.1f |" % (label, t, t / floor, t / cleared))
    print()
    print("Screen times are per present: each screen is entered with 100 key events queued that")
    print("each redraw it, so a figure is also the time from a queued key to the end of its present.")
    print()
    print("| Level store, 100,000 levels (%.1f MB) | median | bare loop | ratio |" % 10.0)
    print("|---|---|---|---|")
    print("| load | %.1f ms | %.1f ms (read and split lines) | %.1f× |"
          % (store["LoadLevels"], store["BareLineLoop"], store["LoadLevels"] / store["BareLineLoop"]))
    print("| save | %.1f ms | %.1f ms (write the bytes) | %.1f× |"
          % (store["SaveLevels"], store["BareWriteLoop"], store["SaveLevels"] / store["BareWriteLoop"]))
    print("| the save's fsync on disk, counted apart | %.1f ms | | |" % store["SyncOnDisk"])
    print()
    print("Start of the binary to its first frame under Xvfb: " + startup.replace("startup_to_first_frame_ms ", ""))


if __name__ == "__main__":
    main()
