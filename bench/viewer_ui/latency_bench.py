#!/usr/bin/python3
"""Latency of the real program as a person sees it, against djpeg as a whole process in the same rounds.

A private Xvfb keeps its screen in a memory-mapped XWD file (-fbdir); the centre of the screen is
sampled every 2 ms straight from that file, so nothing the program could notice. Keys go in through
XTest. Figures, each the median over the rounds, with their ratio to the decoder in the same rounds:

  first  process start -> the first photo (22 MP) on screen     vs djpeg full decode of it
  step   Right after 2 s of quiet -> the neighbour on screen     (95th percentile and median, ms)
  cold   End, four photos away -> the last photo (14 MP)         vs djpeg -scale 1/2 of it

Run: bench_viewer_latency [--marquelo build/src/marquelo] [--runs 5]. Needs Xvfb, openbox, djpeg,
libXtst and python3-numpy. Every round starts with a fresh home folder.
"""
import argparse
import ctypes
import mmap
import os
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
PHOTOS = [  # 12-22 MP camera photos; the first is the largest, the last the cold jump's target
    "canon_eos5d_mk3_issue266.jpg", "olympus_pen_e_p3.jpg", "oppo_r7plus.jpg", "samsung_galaxy_s7edge.jpg",
    "leica_t_typ701.jpg", "canon_eos5d.jpg", "samsung_galaxy_s9plus_issue525.jpg", "panasonic_lumix_lx7.jpg",
    "kodak_pixpro_sp360.jpg", "nikon_d3100.jpg",
]
STEPS = 5
POLL = 0.002


class Screen:
    """The centre 600 x 600 of the Xvfb screen on a 3-pixel grid, read from its frame-buffer file."""

    def __init__(self, path):
        self.file = open(path, "rb")
        self.map = mmap.mmap(self.file.fileno(), 0, access=mmap.ACCESS_READ)
        fields = struct.unpack(">25I", self.map[:100])
        header, width, height, bpl, ncolors = fields[0], fields[4], fields[5], fields[12], fields[19]
        offset = header + ncolors * 12
        pixels = np.frombuffer(self.map, dtype=np.uint8, count=bpl * height, offset=offset).reshape(height, bpl)
        cx, cy = width // 2, height // 2
        self.view = pixels[cy - 300:cy + 300:3, (cx - 300) * 4:(cx + 300) * 4].reshape(200, 600, 4)[:, ::3, :3]

    def grab(self):
        return self.view.astype(np.int16)

    @staticmethod
    def is_picture(frame, before):
        changed = (np.abs(frame - before).max(axis=2) > 24).mean() >= 0.25
        colours = len(np.unique((frame >> 4).reshape(-1, 3) @ np.array([256, 16, 1])))
        return changed and colours >= 40

    def wait_for_picture(self, before, t0, timeout=15.0):
        """Seconds from t0 to the first frame that is a new picture and stays for 3 more polls."""
        seen, candidate, same = None, None, 0
        while time.monotonic() - t0 < timeout:
            frame = self.grab()
            if candidate is not None and np.array_equal(frame, candidate):
                same += 1
                if same >= 3:
                    return seen - t0
            elif self.is_picture(frame, before):
                seen, candidate, same = time.monotonic(), frame, 0
            else:
                candidate = None
            time.sleep(POLL)
        return None

    def wait_quiet(self, quiet=2.0, timeout=20.0):
        last, since, start = self.grab(), time.monotonic(), time.monotonic()
        while time.monotonic() - since < quiet and time.monotonic() - start < timeout:
            time.sleep(0.01)
            frame = self.grab()
            if not np.array_equal(frame, last):
                last, since = frame, time.monotonic()
        return last


class Keys:
    def __init__(self, display):
        self.x = ctypes.CDLL("libX11.so.6")
        self.t = ctypes.CDLL("libXtst.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XStringToKeysym.restype = ctypes.c_ulong
        self.dpy = ctypes.c_void_p(self.x.XOpenDisplay(display.encode()))
        if not self.dpy:
            sys.exit("cannot open " + display)

    def press(self, name):
        code = self.x.XKeysymToKeycode(self.dpy, ctypes.c_ulong(self.x.XStringToKeysym(name.encode())))
        self.t.XTestFakeKeyEvent(self.dpy, code, 1, 0)
        self.t.XTestFakeKeyEvent(self.dpy, code, 0, 0)
        self.x.XFlush(self.dpy)


def process_time(cmd):
    t0 = time.monotonic()
    subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    return time.monotonic() - t0


def peak_memory_mb(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            return next(int(l.split()[1]) / 1024 for l in f if l.startswith("VmHWM:"))
    except (OSError, StopIteration):
        return None


def one_round(a, work, screen, keys, display, files):
    home = tempfile.mkdtemp(dir=work, prefix="home")
    os.makedirs(os.path.join(home, ".config/Quorvant"))
    with open(os.path.join(home, ".config/Quorvant/marquelo.conf"), "w") as f:
        f.write("[Configuration]\nConfigIsValid=1\n")
    env = dict(os.environ, HOME=home, DISPLAY=display, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_CACHE_HOME=os.path.join(home, ".cache"), DBUS_SESSION_BUS_ADDRESS="disabled:", NO_AT_BRIDGE="1")
    env.pop("QT_QPA_PLATFORM", None)
    result = {"steps": []}
    before = screen.wait_quiet(0.3)
    t0 = time.monotonic()
    proc = subprocess.Popen([a.marquelo, files[0]], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        result["first"] = screen.wait_for_picture(before, t0)
        for _ in range(STEPS):
            before = screen.wait_quiet()
            t0 = time.monotonic()
            keys.press("Right")
            result["steps"].append(screen.wait_for_picture(before, t0))
        before = screen.wait_quiet()
        t0 = time.monotonic()
        keys.press("End")
        result["cold"] = screen.wait_for_picture(before, t0)
        screen.wait_quiet(0.5)
        result["memory"] = peak_memory_mb(proc.pid)
    finally:
        proc.terminate()
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    result["djpeg_first"] = process_time(["djpeg", "-outfile", "/dev/null", files[0]])
    result["djpeg_cold_half"] = process_time(["djpeg", "-scale", "1/2", "-outfile", "/dev/null", files[-1]])
    result["djpeg_cold"] = process_time(["djpeg", "-outfile", "/dev/null", files[-1]])
    return result


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--marquelo", default=os.path.normpath(os.path.join(HERE, "..", "..", "src", "marquelo")))
    corpus = os.environ.get("MARQUELO_CORPUS_DIR") or os.path.join(HERE, "..", "..", "..", "shared", "corpus")
    ap.add_argument("--corpus", default=os.path.join(corpus, "camera"))
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--display", type=int, default=140)
    a = ap.parse_args()
    for tool in ("Xvfb", "openbox", "djpeg"):
        if not shutil.which(tool):
            print(f"skipped: {tool} is not installed")
            return 0
    if not os.path.isdir(a.corpus):
        print(f"skipped: no photo corpus folder {a.corpus} (set MARQUELO_CORPUS_DIR or --corpus)")
        return 0
    work = tempfile.mkdtemp(prefix="marquelo-latency-")
    files = []
    for i, name in enumerate(PHOTOS, 1):
        dst = os.path.join(work, f"img{i:02d}.jpg")
        shutil.copyfile(os.path.join(a.corpus, name), dst)
        files.append(dst)
    display = f":{a.display}"
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1920x1080x24", "-fbdir", work, "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wm = None
    try:
        fb = os.path.join(work, "Xvfb_screen0")
        for _ in range(500):
            if os.path.exists(f"/tmp/.X11-unix/X{a.display}") and os.path.exists(fb):
                break
            time.sleep(0.01)
        wm = subprocess.Popen(["openbox"], env=dict(os.environ, DISPLAY=display), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
        time.sleep(1.0)
        screen, keys = Screen(fb), Keys(display)
        rounds = [one_round(a, work, screen, keys, display, files) for _ in range(a.runs)]
    finally:
        for p in (wm, xvfb):
            if p:
                p.terminate()
                p.wait()
        shutil.rmtree(work, ignore_errors=True)

    def med(key):
        values = [r[key] for r in rounds if r.get(key) is not None]
        return statistics.median(values) if values else float("nan")

    steps = sorted(s for r in rounds for s in r["steps"] if s is not None)
    missed = sum(1 for r in rounds for s in [r.get("first"), r.get("cold")] + r["steps"] if s is None)
    p95 = steps[min(len(steps) - 1, int(round(0.95 * (len(steps) - 1))))] if steps else float("nan")
    print(f"rounds {a.runs}, events without a picture {missed}, load {os.getloadavg()[0]:.1f}")
    print(f"first picture  {med('first') * 1000:7.1f} ms  = {med('first') / med('djpeg_first'):.2f} x djpeg full "
          f"({med('djpeg_first') * 1000:.1f} ms)")
    print(f"cold jump      {med('cold') * 1000:7.1f} ms  = {med('cold') / med('djpeg_cold_half'):.2f} x djpeg -scale 1/2 "
          f"({med('djpeg_cold_half') * 1000:.1f} ms), {med('cold') / med('djpeg_cold'):.2f} x djpeg full")
    if steps:
        print(f"steps          median {statistics.median(steps) * 1000:.1f} ms, 95th percentile {p95 * 1000:.1f} ms "
              f"({len(steps)} steps, {sum(s > 1 / 60 for s in steps)} longer than a 60 Hz frame)")
    print(f"peak memory    {med('memory'):.0f} MB")
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
