"""Turns the benchmark results into the README's tables.

usage: report.py SCREENS_JSON SCREENS_X11_JSON STORE_JSON STARTUP_TXT
"""
import json
import platform
import sys


def medians(path):
    with open(path) as f:
        data = json.load(f)
    found, counters = {}, {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") == "median":
            parts = b["run_name"].split("/")
            name = parts[0].replace("BM_", "")
            sizes = [p for p in parts[1:] if p.isdigit()]
            if sizes:
                name += "/" + "x".join(sizes)
            scale = {"us": 1e-3, "ms": 1.0, "ns": 1e-6}[b["time_unit"]]
            found[name] = b["real_time"] * scale  # milliseconds
            counters[name] = b
    return found, counters, data.get("context", {})


def ms(value):
    return "%.3f ms" % value if value < 1 else "%.2f ms" % value


def main():
    screens, _, context = medians(sys.argv[1])
    x11, _, _ = medians(sys.argv[2])
    store, store_counters, _ = medians(sys.argv[3])
    with open(sys.argv[4]) as f:
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
    floor, floor_x11 = screens["Floor"], x11["Floor"]
    print("| Frame, key to present | dummy driver | × floor | X11 under Xvfb | × floor |")
    print("|---|---|---|---|---|")
    print("| floor: 240 opaque copies in the window's format, one present | %s | 1.0 | %s | 1.0 |"
          % (ms(floor), ms(floor_x11)))
    labels = [("MenuRoom", "menu room"), ("PlayScreen", "play screen, 19 × 11 level"),
              ("Editor", "editor, the same level"), ("TextInput", "text input, 63-byte text, shift toggled"),
              ("AlertBox", "alert box, opening over the play screen"),
              ("Confirmation", "confirmation box, opening over the play screen")]
    for key, label in labels:
        t, t11 = screens[key], x11[key]
        print("| %s | %s | %.2f | %s | %.2f |" % (label, ms(t), t / floor, ms(t11), t11 / floor_x11))
    whole = screens["PlayWhole/1280x768"]
    print("| play screen drawn whole again, every cell (after a resize) | %s | %.2f | | |" % (ms(whole), whole / floor))
    print()
    print("| Scaled window (dummy driver) | play screen, key to present | × 1:1 | drawn whole | × 1:1 |")
    print("|---|---|---|---|---|")
    one = screens["PlayScreen"]
    print("| 1280 × 768, the frame's own size | %s | 1.0 | %s | 1.0 |" % (ms(one), ms(whole)))
    for size, label in (("1920x1152", "1920 × 1152, linear, cells of 96 pixels"),
                        ("1910x1146", "1910 × 1146, linear, cells of 95.5 pixels"),
                        ("2560x1536", "2560 × 1536, pixels doubled")):
        k, w = screens["PlayScaled/" + size], screens["PlayWhole/" + size]
        print("| %s | %s | %.1f | %s | %.1f |" % (label, ms(k), k / one, ms(w), w / whole))
    print()
    print("| Level store, 100,000 levels (%.1f MB) | median | bare loop | ratio |" % 10.0)
    print("|---|---|---|---|")
    print("| load | %.1f ms | %.1f ms (read and split lines) | %.1f× |"
          % (store["LoadLevels"], store["BareLineLoop"], store["LoadLevels"] / store["BareLineLoop"]))
    print("| save | %.1f ms | %.1f ms (write the bytes) | %.1f× |"
          % (store["SaveLevels"], store["BareWriteLoop"], store["SaveLevels"] / store["BareWriteLoop"]))
    print("| the save's fsync on disk, counted apart | %.1f ms | | |" % store["SyncOnDisk"])
    load = store_counters["LoadLevels"]
    print()
    print("Memory of a loaded file: %.0f bytes per level on the heap (these levels average 12 × 7 cells);"
          " the largest level the game makes, 19 × 11 with a 63-byte name, takes %.0f bytes."
          % (load["bytes_per_level"], load["largest_level_bytes"]))
    print()
    print("Start of the binary to its first frame under Xvfb: " + startup.replace("startup_to_first_frame_ms ", ""))


if __name__ == "__main__":
    main()
