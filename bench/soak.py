#!/usr/bin/env python3
"""Soak run: Oculet publishing to a local FTP server that is stopped, restarted, frozen and
made to refuse renames and logins in turn, while the frames written and the published picture
are watched. Run on demand (not part of the test suite):

    python3 bench/soak.py --build build --minutes 10

Everything runs in a private temporary root: its own Xvfb display, HOME and XDG folders, and an
FTP server on 127.0.0.1. Exits 1 when a 5 s window held fewer than 3.5 frames a second, or when
the published picture went missing while the server was up and accepting renames.
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

SOURCE = Path(__file__).resolve().parent.parent
FTP_SERVER = SOURCE / "tests" / "support" / "ftp_server.py"
PUBLISHED = "cam_1.jpg"
USER, PASSWORD = "soak", "soak-secret"
WINDOW_S, POLL_S, MIN_FPS = 5.0, 0.02, 3.5
# The server's state in each phase; the picture may only go missing where it refuses renames.
PHASES = ["normal", "stopped", "restarted", "frozen", "no_rename", "refuse_login", "normal again"]
MAY_LOSE_PICTURE = set()


def start_xvfb():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1920x1080x24",
                             "-nolisten", "tcp"], pass_fds=[write_end], stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    if not number:
        sys.exit("Xvfb did not start")
    return xvfb, ":" + number


class FtpServer:
    def __init__(self, root):
        self.files, self.control, self.log = root / "ftp", root / "faults", root / "commands.log"
        self.files.mkdir()
        self.process, self.port = None, 0

    def start(self):
        # Debian's interpreter, which sees Debian's pyftpdlib; the same port after a restart.
        self.process = subprocess.Popen(
            ["/usr/bin/python3", str(FTP_SERVER), "--port", str(self.port), "--root", str(self.files),
             "--user", USER, "--password", PASSWORD, "--control", str(self.control), "--log", str(self.log)],
            stdout=subprocess.PIPE, text=True)
        self.port = int(self.process.stdout.readline())

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGCONT)
            self.process.terminate()
            self.process.wait(5)

    def freeze(self, frozen):
        self.process.send_signal(signal.SIGSTOP if frozen else signal.SIGCONT)

    def set_faults(self, *faults):
        self.control.write_text("".join(f + "\n" for f in faults))


def private_user(prefix, binary):
    """A fresh root with its own HOME and XDG folders, never the real user's, and a copy of the
    binary in it, so the frame it also writes beside itself stays in the root. Returns the root,
    the environment to run with and the copy's path."""
    root = Path(tempfile.mkdtemp(prefix=prefix))
    env = {k: v for k, v in os.environ.items() if k not in ("WAYLAND_DISPLAY", "SESSION_MANAGER")}
    for name, sub in (("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
                      ("XDG_RUNTIME_DIR", "runtime"), ("XDG_CACHE_HOME", "cache")):
        (root / sub).mkdir(mode=0o700)
        env[name] = str(root / sub)
    env.update(QT_QPA_PLATFORM="xcb", LC_ALL="C.UTF-8")
    (root / "bin").mkdir()
    return root, env, shutil.copy2(binary, root / "bin" / "oculet")


def settings(port):
    # Screen capture of an empty part of the screen (no source window to look for); the clock
    # changes the frame every second, so every second there is a new picture to publish.
    return ("[program]\nprog=4\n[me]\nleft=0\ntop=0\n[captureleft]\n4=1400\n[capturetop]\n4=700\n"
            "[clockonz]\n4=1\n[clockonl]\n4=0\n[txton]\n4=0\n[ftxton]\n4=0\n[lastrx]\n4=False\n"
            f"[ftp]\nftpon=True\naddress=127.0.0.1:{port}\nusername={USER}\npassword={PASSWORD}\n"
            f"dir=\nfilename={PUBLISHED}\n[ftpoff]\npic=1\n")


def rss_kib(pid):
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


class Watcher(threading.Thread):
    """Polls Cam_1.bmp (a new inode per frame, as each is renamed into place), the published
    picture and the server's command log (connections and uploads), and books what it sees to
    the current phase."""

    def __init__(self, frame_file, published, log):
        super().__init__(daemon=True)
        self.frame_file, self.published, self.log = frame_file, published, log
        self.phase, self.running = PHASES[0], True
        self.frames = []                   # (time, phase) of each frame seen
        self.connects = []                 # (time, phase) of each control connection
        self.uploads = []                  # phase of each upload begun (STOR)
        self.missing = {p: 0.0 for p in PHASES}
        self.seen_published = False

    def run(self):
        last, log_offset, previous = None, 0, time.monotonic()
        while self.running:
            now, phase = time.monotonic(), self.phase
            try:
                st = os.stat(self.frame_file)
                stamp = (st.st_ino, st.st_mtime_ns)
                if last is not None and stamp != last:
                    self.frames.append((now, phase))
                last = stamp
            except FileNotFoundError:
                pass
            if self.published.exists():
                self.seen_published = True
            elif self.seen_published:
                self.missing[phase] += now - previous
            try:
                with open(self.log, "rb") as f:
                    f.seek(log_offset)
                    complete, newline, _ = f.read().rpartition(b"\n")  # a line still being written waits
                log_offset += len(complete) + len(newline)
                lines = complete.split(b"\n")
                self.connects += [(now, phase)] * lines.count(b"CONNECT")
                self.uploads += [phase] * sum(line.startswith(b"STOR ") for line in lines)
            except FileNotFoundError:
                pass
            previous = now
            time.sleep(POLL_S)


class BoxAnswerer(threading.Thread):
    """Stands in for someone at the keyboard: a message box of Oculet's is answered with Return
    half a second after it shows, and counted for the phase."""

    def __init__(self, pid, env, watcher):
        super().__init__(daemon=True)
        self.pid, self.env, self.watcher, self.running = pid, env, watcher, True
        self.boxes, self.main = [], None

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True).stdout.split()

    def run(self):
        while self.running:
            time.sleep(0.5)
            shown = self.xdotool("search", "--onlyvisible", "--pid", str(self.pid))
            self.main = self.main or (shown[0] if len(shown) == 1 else None)
            for box in (w for w in shown if self.main and w != self.main):
                self.boxes.append(self.watcher.phase)
                self.xdotool("windowfocus", "--sync", box, "key", "--clearmodifiers", "Return")


def windows(frames, timeline, end):
    """Frames per second in each whole 5 s window from the first phase on, with the phase the
    window began in."""
    result, t = [], timeline[0][0]
    while t + WINDOW_S <= end:
        count = sum(1 for (ft, _) in frames if t <= ft < t + WINDOW_S)
        result.append((count / WINDOW_S, [p for (began, p) in timeline if began <= t][-1]))
        t += WINDOW_S
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build", help="build folder holding the oculet binary")
    parser.add_argument("--minutes", type=float, default=10)
    parser.add_argument("--phase-seconds", type=float, help="default: the run split in seven, at most 30 s")
    parser.add_argument("--answer-boxes", action="store_true",
                        help="answer Oculet's message boxes (xdotool) instead of leaving them up, as on an unattended station")
    parser.add_argument("--keep", action="store_true", help="keep the temporary root for a look afterwards")
    args = parser.parse_args()
    total_s = args.minutes * 60
    phase_s = args.phase_seconds or min(30.0, max(10.0, total_s / len(PHASES)))

    root, env, binary = private_user("oculet-soak-", Path(args.build) / "oculet")

    xvfb, env["DISPLAY"] = start_xvfb()
    server, oculet = FtpServer(root), None
    try:
        server.start()
        (root / "config" / "Oculet").mkdir()
        (root / "config" / "Oculet" / "Oculet.ini").write_text(settings(server.port))
        launched = time.monotonic()
        oculet = subprocess.Popen([binary], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        watcher = Watcher(root / "data" / "Oculet" / "Cam_1.bmp", server.files / PUBLISHED, server.log)
        watcher.start()
        deadline = time.monotonic() + 20
        while not watcher.frames and time.monotonic() < deadline and oculet.poll() is None:
            time.sleep(0.1)
        if not watcher.frames:
            sys.exit("Oculet wrote no frame within 20 s")
        rss_start, start = rss_kib(oculet.pid), time.monotonic()
        answerer = BoxAnswerer(oculet.pid, env, watcher)
        if args.answer_boxes:
            answerer.start()
        phase_time = {p: 0.0 for p in PHASES}
        timeline, index = [], 0
        while time.monotonic() - start < total_s and oculet.poll() is None:
            phase = PHASES[index % len(PHASES)]
            if phase == "stopped":
                server.stop()
            elif phase == "restarted":
                server.start()
            server.set_faults(*([phase] if phase in ("no_rename", "refuse_login") else []))
            if phase == "refuse_login":
                # Drop the open connection, so that the next upload has to log in again.
                server.stop()
                server.start()
            watcher.phase = phase
            if phase == "frozen":
                server.freeze(True)
            began = time.monotonic()
            timeline.append((began, phase))
            time.sleep(max(0.0, min(phase_s, total_s - (began - start))))
            if phase == "frozen":
                server.freeze(False)
            phase_time[phase] += time.monotonic() - began
            index += 1
        end = time.monotonic()
        answerer.running = False
        died = oculet.poll()
        rss_end = rss_kib(oculet.pid) if died is None else 0
        oculet.send_signal(signal.SIGTERM)
        closing = time.monotonic()
        try:
            oculet.wait(30)
        except subprocess.TimeoutExpired:
            oculet.kill()
            oculet.wait()
        close_s = time.monotonic() - closing
        watcher.running = False
        watcher.join()
    finally:
        if oculet and oculet.poll() is None:
            oculet.kill()
        server.stop()
        xvfb.terminate()
        xvfb.wait()
        if not args.keep:
            shutil.rmtree(root, ignore_errors=True)

    rates = windows(watcher.frames, timeline, end)
    print(f"{'phase':<14}{'time s':>8}{'min fps':>9}{'fps':>7}{'connects':>10}{'per min':>9}{'uploads':>9}"
          f"{'missing s':>11}" + ("  boxes" if args.answer_boxes else ""))
    for phase in PHASES:
        span = phase_time[phase]
        if span == 0:
            continue
        in_phase = [r for (r, p) in rates if p == phase]
        frames = sum(1 for (t, p) in watcher.frames if p == phase and start <= t < end)
        connects = sum(1 for (t, p) in watcher.connects if p == phase)
        low = f"{min(in_phase):.1f}" if in_phase else "-"
        print(f"{phase:<14}{span:8.1f}{low:>9}{frames / span:7.1f}{connects:10d}{connects * 60 / span:9.1f}"
              f"{watcher.uploads.count(phase):9d}{watcher.missing[phase]:11.2f}"
              + (f"{answerer.boxes.count(phase):7d}" if args.answer_boxes else ""))
    # Counted from the launch, so the connection start-up makes is in the first minute.
    per_minute = [sum(1 for (t, _) in watcher.connects if m * 60 <= t - launched < (m + 1) * 60)
                  for m in range(int((end - launched) // 60) + 1)]
    lowest = min((r for (r, _) in rates), default=0.0)
    lost = sum(s for p, s in watcher.missing.items() if p not in MAY_LOSE_PICTURE)
    print(f"lowest 5 s window: {lowest:.1f} frames/s (bound {MIN_FPS}); connections per minute: {per_minute}")
    print(f"RSS: {rss_start} KiB at start, {rss_end} KiB at end; closing took {close_s:.2f} s"
          + ("" if died is None else f"; Oculet ended by itself during the run (status {died})"))
    print(f"published picture missing while the server accepted renames: {lost:.2f} s")
    return 1 if lowest < MIN_FPS or lost > 0 or died is not None else 0


if __name__ == "__main__":
    sys.exit(main())
