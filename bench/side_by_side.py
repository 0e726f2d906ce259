#!/usr/bin/env python3
"""Side by side: Oculet and ffmpeg doing the same job at the same time on one Xvfb, and the ratio
of the CPU time each spends per frame. Run on demand (not part of the test suite):

    python3 bench/side_by_side.py --build build --seconds 60

The job: copy 400 x 300 pixels of the screen four times a second, scale them by area onto
320 x 240, draw a clock and a scrolling text, write a 24-bit BMP and a JPEG. Oculet also draws the
fixed text and the last received picture and publishes by FTP to a server on 127.0.0.1 (or not,
with --no-ftp). ffmpeg comes from the distribution; it is installed with apt-get when missing.
Also prints Oculet's CPU time over the run and its memory (RSS) at the start and the end.

With --changing a window under the copied rectangle changes colour every 250 ms, so every frame
is a new picture; without it the picture stays still. --latency N changes it N times, about a
second apart, and prints how long each change took to reach Oculet's Cam_1.bmp (median and longest).
"""
import argparse
import ctypes
import ctypes.util
import os
import shutil
import signal
import statistics
import subprocess
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import soak  # noqa: E402  (the soak run's Xvfb, FTP server and memory reading)

LEFT, TOP, WIDTH, HEIGHT, FPS = 1400, 700, 400, 300, 4
TICKS = os.sysconf("SC_CLK_TCK")


class ChangingWindow(threading.Thread):
    """A window over the copied rectangle, painted a new grey every `period` seconds (through
    libX11, so no process is started per change); `changed` holds (time, grey) of each change."""

    def __init__(self, display, period, changes=None):
        super().__init__(daemon=True)
        self.period, self.changes, self.changed, self.running = period, changes, [], True
        x = ctypes.CDLL(ctypes.util.find_library("X11"))
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + \
            [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
        x.XCreateSimpleWindow.restype = ctypes.c_ulong
        for name in ("XMapWindow", "XClearWindow"):
            getattr(x, name).argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XSetWindowBackground.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x, self.d = x, x.XOpenDisplay(display.encode())
        self.w = x.XCreateSimpleWindow(self.d, x.XDefaultRootWindow(self.d), LEFT, TOP, WIDTH, HEIGHT, 0, 0, 0)
        x.XMapWindow(self.d, self.w)
        x.XSync(self.d, 0)

    def paint(self, grey):
        self.x.XSetWindowBackground(self.d, self.w, grey * 0x010101)
        self.x.XClearWindow(self.d, self.w)
        self.x.XSync(self.d, 0)
        self.changed.append((time.monotonic(), grey))

    def run(self):
        n = 0
        while self.running and (self.changes is None or n < self.changes):
            self.paint(40 + (n * 37) % 180)
            n += 1
            time.sleep(self.period)


def bmp_pixel(path, x, y):
    """(r, g, b) of a 24-bit bottom-up BMP, or None while it cannot be read."""
    try:
        data = path.read_bytes()
    except FileNotFoundError:
        return None
    width, height = int.from_bytes(data[18:22], "little"), int.from_bytes(data[22:26], "little")
    row = (width * 3 + 3) & ~3
    at = 54 + (height - 1 - y) * row + x * 3
    if len(data) < at + 3:
        return None
    return data[at + 2], data[at + 1], data[at]


def measure_latency(display, cam, changes):
    """Seconds from each change of the window to a Cam_1.bmp that shows it."""
    window = ChangingWindow(display, 0)
    latencies = []
    for n in range(changes):
        grey = 40 + (n * 37) % 180
        window.paint(grey)
        start = window.changed[-1][0]
        while time.monotonic() - start < 5:
            pixel = bmp_pixel(cam, 40, 160)
            if pixel and all(abs(c - grey) <= 8 for c in pixel):
                latencies.append(time.monotonic() - start)
                break
            time.sleep(0.002)
        # About a second apart, never in step with the frame timer.
        time.sleep(max(0.0, 1.0 + 0.25 * ((n * 0.618) % 1) - (time.monotonic() - start)))
    return latencies


def ensure_ffmpeg():
    if shutil.which("ffmpeg"):
        return
    print("installing ffmpeg (apt-get)", file=sys.stderr)
    quiet = {"stdout": subprocess.DEVNULL, "env": dict(os.environ, DEBIAN_FRONTEND="noninteractive")}
    subprocess.run(["apt-get", "update", "-qq"], check=False, **quiet)
    subprocess.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends", "ffmpeg"], check=True, **quiet)


def cpu_seconds(pid):
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def settings(port, received, ftp):
    # Screen capture of the same rectangle ffmpeg copies; every overlay on.
    return (f"[program]\nprog=4\n[me]\nleft=0\ntop=0\n[captureleft]\n4={LEFT}\n[capturetop]\n4={TOP}\n"
            f"[capturewidth]\n4={WIDTH}\n[captureheight]\n4={HEIGHT}\n"
            "[clockonz]\n4=1\n[clockonl]\n4=0\n[txton]\n4=1\n[ftxton]\n4=1\n[lastrx]\n4=True\n"
            f"[epdir]\n4={received}/\n"
            f"[ftp]\nftpon={ftp}\naddress=127.0.0.1:{port}\nusername={soak.USER}\npassword={soak.PASSWORD}\n"
            f"dir=\nfilename={soak.PUBLISHED}\n[ftpoff]\npic=1\n")


class FrameCounter(threading.Thread):
    """Counts the frames of a file replaced (a new inode) once a frame."""

    def __init__(self, path):
        super().__init__(daemon=True)
        self.path, self.count, self.running = path, 0, True

    def run(self):
        last = None
        while self.running:
            try:
                st = os.stat(self.path)
                stamp = (st.st_ino, st.st_mtime_ns)
                self.count += last is not None and stamp != last
                last = stamp
            except FileNotFoundError:
                pass
            time.sleep(0.01)


def ffmpeg_frames(progress):
    """The frame count in ffmpeg's last progress report."""
    try:
        counts = [line for line in progress.read_text().splitlines() if line.startswith("frame=")]
    except FileNotFoundError:
        return 0
    return int(counts[-1].split("=")[1]) if counts else 0


def ffmpeg_command(display, out):
    font = "font=DejaVu Sans:fontsize=16:fontcolor=yellow:box=1:boxcolor=blue"
    graph = (f"[0:v]scale=320:240:flags=area,"
             f"drawtext={font}:text='%{{localtime}}':x=220:y=5,"
             f"drawtext={font}:text='Enter text to be scrolled here........':x=320-mod(t*40\\,640):y=100,"
             "split=2[bmp][jpeg]")
    return ["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-progress", str(out / "progress"),
            "-stats_period", "0.25",
            "-f", "x11grab", "-framerate", str(FPS), "-video_size", f"{WIDTH}x{HEIGHT}",
            "-i", f"{display}.0+{LEFT},{TOP}", "-filter_complex", graph,
            "-map", "[bmp]", "-f", "image2", "-update", "1", "-c:v", "bmp", "-pix_fmt", "bgr24", str(out / "Cam_1.bmp"),
            "-map", "[jpeg]", "-f", "image2", "-update", "1", "-c:v", "mjpeg", "-q:v", "5", str(out / "temp.jpg")]


def run_once(args):
    """One side-by-side run on a fresh Xvfb: frames, CPU seconds (Oculet, ffmpeg) and Oculet's RSS."""
    root, env, binary = soak.private_user("oculet-side-", args.oculet or Path(args.build) / "oculet")
    (root / "received").mkdir()
    (root / "ffmpeg").mkdir()

    xvfb, env["DISPLAY"] = soak.start_xvfb()
    server, processes = soak.FtpServer(root), []
    try:
        server.start()
        # A received picture for the thumbnail: a frame of ffmpeg's own test pattern.
        subprocess.run(["ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i", "testsrc=size=640x480",
                        "-frames:v", "1", str(root / "received" / "rx.jpg")], check=True)
        (root / "config" / "Oculet").mkdir()
        (root / "config" / "Oculet" / "Oculet.ini").write_text(
            settings(server.port, root / "received", not args.no_ftp))
        oculet = subprocess.Popen([binary], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        ffmpeg = subprocess.Popen(ffmpeg_command(env["DISPLAY"], root / "ffmpeg"), env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        processes = [oculet, ffmpeg]
        # Oculet's frames are counted by Cam_1.bmp being replaced, ffmpeg's by its own report.
        counter = FrameCounter(root / "data" / "Oculet" / "Cam_1.bmp")
        counter.start()
        count = [lambda: counter.count, lambda: ffmpeg_frames(root / "ffmpeg" / "progress")]
        deadline = time.monotonic() + 20
        while min(c() for c in count) < 8 and time.monotonic() < deadline:  # started and settled
            time.sleep(0.1)
        if min(c() for c in count) < 8 or any(p.poll() is not None for p in processes):
            sys.exit("Oculet or ffmpeg did not start writing frames")
        if args.latency:
            latencies = measure_latency(env["DISPLAY"], root / "data" / "Oculet" / "Cam_1.bmp", args.latency)
            print(f"latency from a change to Cam_1.bmp over {len(latencies)} of {args.latency} changes: "
                  f"median {1000 * statistics.median(latencies):.0f} ms, "
                  f"longest {1000 * max(latencies):.0f} ms" if latencies else "no change reached Cam_1.bmp")
            sys.exit(0)
        if args.changing:
            ChangingWindow(env["DISPLAY"], 1 / FPS).start()
        frames0 = [c() for c in count]
        cpu0 = [cpu_seconds(p.pid) for p in processes]
        rss_start = soak.rss_kib(oculet.pid)
        time.sleep(args.seconds)
        frames = [c() - f for c, f in zip(count, frames0)]
        cpu = [cpu_seconds(p.pid) - c for p, c in zip(processes, cpu0)]
        rss_end = soak.rss_kib(oculet.pid)
        counter.running = False
    finally:
        for process in processes:
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(15)
                except subprocess.TimeoutExpired:
                    process.kill()
        server.stop()
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(root, ignore_errors=True)
    return frames, cpu, rss_start, rss_end


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build", help="build folder holding the oculet binary")
    parser.add_argument("--oculet", help="the binary to run (default: <build>/oculet)")
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--runs", type=int, default=1,
                        help="runs one after another; a shared machine varies from minute to minute, so the "
                             "median ratio of several runs says more than one")
    parser.add_argument("--no-ftp", action="store_true", help="Oculet without publishing")
    parser.add_argument("--changing", action="store_true", help="a source picture that changes every frame")
    parser.add_argument("--latency", type=int, default=0, metavar="N",
                        help="only measure how long N changes take to reach Cam_1.bmp")
    args = parser.parse_args()
    ensure_ffmpeg()

    ratios = []
    for run in range(args.runs):
        frames, cpu, rss_start, rss_end = run_once(args)
        per_frame = [1000 * c / max(1, f) for c, f in zip(cpu, frames)]
        if args.runs > 1:
            print(f"run {run + 1} of {args.runs}")
        for name, f, c, ms in zip(("oculet", "ffmpeg"), frames, cpu, per_frame):
            print(f"{name:<8}{f:6d} frames in {args.seconds:.0f} s ({f / args.seconds:.2f}/s), CPU {c:6.2f} s, "
                  f"{ms:6.2f} ms a frame")
        ratios.append(per_frame[0] / per_frame[1])
        print(f"ratio oculet/ffmpeg CPU per frame: {ratios[-1]:.2f} (publishing {'off' if args.no_ftp else 'on'}, "
              f"picture {'changing' if args.changing else 'still'})")
        print(f"oculet: CPU {cpu[0]:.2f} s over {args.seconds:.0f} s; RSS {rss_start} KiB at start, {rss_end} KiB at end")
    if args.runs > 1:
        print(f"median ratio of {args.runs} runs: {statistics.median(ratios):.2f} "
              f"(lowest {min(ratios):.2f}, highest {max(ratios):.2f})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
