#!/usr/bin/python3
"""Where the time to the first picture goes, on the machine at hand, beside djpeg in the same rounds.

The program is started on one photo under a private Xvfb (with openbox), with MARQUELO_STARTUP_TRACE
naming a file into which it writes each step's monotonic time and the number of libraries loaded by
then. Steps, each the median over the rounds, in ms since the driver started the process:

  main                            the front's dynamic linker is done (the `marquelo` executable, no Qt)
  early window mapped             the plain X window for the photo is mapped
  early decode begun              the front starts reading the photo
  early window placed             the window manager has given the window its size
  early photo decoded             the front has decoded and scaled the photo for the window
  early picture scaled            the program's decode, scaled for the window (when the front left it)
  early picture shown             the photo is on the early window
  program loaded                  the program's module and Qt's libraries are linked
  decode begun                    the program's own decode of the start photo starts
  start photo decoded             the program's decode is done
  QApplication ready              Qt's platform plugin, fonts and connection to X are up
  window mapped                   the window's first paint (it is mapped and exposed)
  first frame with the picture    the first paint with the photo (or its failure) in it
  early window handed over        the viewer window has drawn the photo; the early window is gone
  on screen                       the photo seen in Xvfb's frame buffer (needs python3-numpy)

Every round starts the program twice, with the early window and without it
(MARQUELO_NO_EARLY_WINDOW=1, first in every other round), then runs djpeg: one table for each.

Run: bench_startup_breakdown [--marquelo build/src/marquelo] [--photo FILE] [--runs 9]. The photo
defaults to the 22 MP camera photo of the corpus the latency benchmark starts with.
"""
import argparse
import importlib.machinery
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
STEPS = ["main", "early window mapped", "early decode begun", "early window placed", "early photo decoded", "early picture scaled",
         "early picture shown", "program loaded", "decode begun", "start photo decoded", "QApplication ready",
         "window mapped", "first frame with the picture", "early window handed over"]
MODES = {"early window": {}, "without it": {"MARQUELO_NO_EARLY_WINDOW": "1"}}


def framebuffer_screen(path):
    """The latency benchmark's frame-buffer watcher, when it and numpy are at hand."""
    for name in ("bench_viewer_latency", "latency_bench.py"):
        candidate = os.path.join(HERE, name)
        if os.path.exists(candidate):
            try:
                module = importlib.machinery.SourceFileLoader("latency", candidate).load_module()
                return module.Screen(path)
            except ImportError:
                return None
    return None


def one_start(a, work, display, screen, extra):
    home = tempfile.mkdtemp(dir=work, prefix="home")
    os.makedirs(os.path.join(home, ".config/Quorvant"))
    with open(os.path.join(home, ".config/Quorvant/marquelo.conf"), "w") as f:
        f.write("[Configuration]\nConfigIsValid=1\n")
    trace = os.path.join(home, "trace.tsv")
    env = dict(os.environ, HOME=home, DISPLAY=display, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_CACHE_HOME=os.path.join(home, ".cache"), DBUS_SESSION_BUS_ADDRESS="disabled:", NO_AT_BRIDGE="1",
               MARQUELO_STARTUP_TRACE=trace, **extra)
    env.pop("QT_QPA_PLATFORM", None)
    if not extra:
        env.pop("MARQUELO_NO_EARLY_WINDOW", None)
    before = screen.wait_quiet(0.3) if screen else None
    t0 = time.monotonic_ns()
    proc = subprocess.Popen([a.marquelo, a.photo], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    result = {}
    try:
        if screen:
            seen = screen.wait_for_picture(before, t0 / 1e9)
            if seen is not None:
                result["on screen"] = (seen * 1000, None)
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            if os.path.exists(trace) and "first frame with the picture" in open(trace).read():
                break
            time.sleep(0.01)
        time.sleep(0.2)
    finally:
        proc.terminate()
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    if os.path.exists(trace):
        for line in open(trace):
            step, ns, libraries = line.rstrip("\n").split("\t")
            result[step] = ((int(ns) - t0) / 1e6, int(libraries))
    return result


def one_round(a, work, display, screen, number):
    # Every other round the other way round: the second start of a round finds the machine warmer.
    modes = list(MODES.items())
    if number % 2:
        modes.reverse()
    result = {mode: one_start(a, work, display, screen, extra) for mode, extra in modes}
    start = time.monotonic()
    subprocess.run(["djpeg", "-outfile", "/dev/null", a.photo], check=True)
    result["djpeg"] = (time.monotonic() - start) * 1000
    return result


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--marquelo", default=os.path.normpath(os.path.join(HERE, "..", "..", "src", "marquelo")))
    corpus = os.environ.get("MARQUELO_CORPUS_DIR") or os.path.join(HERE, "..", "..", "..", "shared", "corpus")
    ap.add_argument("--photo", default=os.path.join(corpus, "camera", "canon_eos5d_mk3_issue266.jpg"))
    ap.add_argument("--runs", type=int, default=9)
    ap.add_argument("--display", type=int, default=141)
    a = ap.parse_args()
    for tool in ("Xvfb", "openbox", "djpeg"):
        if not shutil.which(tool):
            print(f"skipped: {tool} is not installed")
            return 0
    if not os.path.isfile(a.photo):
        print(f"skipped: no photo {a.photo} (set MARQUELO_CORPUS_DIR or --photo)")
        return 0
    work = tempfile.mkdtemp(prefix="marquelo-startup-")
    photo = os.path.join(work, "img01" + os.path.splitext(a.photo)[1])
    shutil.copyfile(a.photo, photo)
    a.photo = photo
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
        screen = framebuffer_screen(fb)
        rounds = [one_round(a, work, display, screen, number) for number in range(a.runs)]
    finally:
        for p in (wm, xvfb):
            if p:
                p.terminate()
                p.wait()
        shutil.rmtree(work, ignore_errors=True)

    djpeg = statistics.median(r["djpeg"] for r in rounds)
    print(f"rounds {a.runs}, load average {os.getloadavg()[0]:.2f}, djpeg full {djpeg:.1f} ms "
          f"({os.path.basename(a.photo)})")
    for mode in MODES:
        print(f"\n{mode}:")
        print(f"{'step':30} {'since start':>12} {'step took':>10} {'x djpeg':>8} {'libraries':>10}  missing")
        rows = []
        for step in STEPS + ["on screen"]:
            values = [r[mode][step] for r in rounds if step in r[mode]]
            if not values:
                continue
            libraries = [v[1] for v in values if v[1] is not None]
            rows.append((statistics.median(v[0] for v in values), step,
                         statistics.median(libraries) if libraries else None, a.runs - len(values)))
        previous = 0.0
        for at, step, libraries, missing in sorted(rows):
            shown = f"{libraries:.0f}" if libraries is not None else "-"
            print(f"{step:30} {at:9.1f} ms {at - previous:7.1f} ms {at / djpeg:8.2f} {shown:>10}  {missing}")
            previous = at
    return 0


if __name__ == "__main__":
    sys.exit(main())
