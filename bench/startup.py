"""Time from starting the game to its first frame on the screen, under Xvfb;
then, in one more run, the CPU the game uses while it waits for input and
its peak memory after it has shown every bundled level.

Starts the built game several times in a directory with its assets and
measures, with python3-xlib, until its window shows anything but black.

usage: startup.py BINARY BUILD_DIR [RUNS]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from Xlib import X, display as xdisplay


def find_window(d, root):
    try:
        children = root.query_tree().children
    except Exception:
        return None
    for child in children:
        try:
            if child.get_wm_name() == "Boxtolo" and child.get_attributes().map_state == X.IsViewable:
                return child
        except Exception:
            pass
        found = find_window(d, child)
        if found is not None:
            return found
    return None


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime and stime


def peak_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def wait_first_frame(d, start):
    window = None
    last_error = None
    while time.perf_counter() - start < 10:
        if window is None:
            window = find_window(d, d.screen().root)
        else:
            try:
                data = window.get_image(0, 0, 1280, 768, X.ZPixmap, 0xFFFFFFFF).data
                if data.count(0) < len(data) - 4096:
                    return (time.perf_counter() - start) * 1000
            except Exception as error:
                last_error = error
                window = None
    raise RuntimeError("no frame within 10 s: %r" % (last_error,))


def idle_and_peak(binary, workdir, env, d):
    """CPU seconds used in 2 s of waiting, and the peak resident memory in
    MiB once every level of palyak.txt has been shown."""
    game = subprocess.Popen([binary], cwd=workdir, env=env, stdout=subprocess.DEVNULL)
    try:
        wait_first_frame(d, time.perf_counter())
        time.sleep(0.5)
        window = find_window(d, d.screen().root)
        menu = window.get_image(0, 0, 1280, 768, X.ZPixmap, 0xFFFFFFFF).data
        before = cpu_ticks(game.pid)
        time.sleep(2)
        idle = (cpu_ticks(game.pid) - before) / os.sysconf("SC_CLK_TCK")
        # The crate onto "Játék kezdése", Enter at the prompt that offers
        # palyak.txt, then Page Up through all its levels.
        keys = ["Down", "Down", "Down", "Right", "Up", "Up", "Return"] + ["Prior"] * 60
        subprocess.run(["xdotool", "key", "--delay", "20"] + keys, env=env, check=True)
        time.sleep(0.5)
        if window.get_image(0, 0, 1280, 768, X.ZPixmap, 0xFFFFFFFF).data == menu:
            raise RuntimeError("the keys did not reach the play screen")
        return idle, peak_kib(game.pid) / 1024
    finally:
        game.kill()
        game.wait()


def first_frame_ms(binary, workdir, env, d):
    start = time.perf_counter()
    game = subprocess.Popen([binary], cwd=workdir, env=env, stdout=subprocess.DEVNULL)
    try:
        return wait_first_frame(d, start)
    finally:
        game.kill()
        game.wait()


def main():
    binary, build_dir = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    workdir = tempfile.mkdtemp(prefix="boxtolo-start-")
    for name in ("tiles.png", "font.ttf", "palyak.txt"):
        shutil.copy(os.path.join(build_dir, name), workdir)
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    try:
        number = os.read(read_end, 16).decode().strip()
        env = dict(os.environ, DISPLAY=":" + number, SDL_AUDIODRIVER="dummy")
        env.pop("SDL_VIDEODRIVER", None)
        d = xdisplay.Display(env["DISPLAY"])
        times = [first_frame_ms(binary, workdir, env, d) for _ in range(runs)]
        idle, peak = idle_and_peak(binary, workdir, env, d)
        d.close()
    finally:
        os.close(read_end)
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(workdir, ignore_errors=True)
    print("startup_to_first_frame_ms median %.1f min %.1f max %.1f (%d runs)"
          % (statistics.median(times), min(times), max(times), runs))
    print("idle_cpu_seconds_in_2s %.2f" % idle)
    print("peak_memory_mib %.1f" % peak)


if __name__ == "__main__":
    main()
