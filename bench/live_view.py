#!/usr/bin/env python3
"""Live view benchmark: 0, 1, 50 and 200 viewers on the picture stream of a real Oculet on
loopback, each for a while; reports each viewer's frames per second, Oculet's CPU time per frame
and its resident memory against no viewers. Run on demand (not part of the test suite):

    python3 bench/live_view.py --build build --seconds 60

Goals: every viewer at least 3.8 frames a second with 200 viewers; at most 20 us of added CPU per
viewer per frame; at most 20 MB more resident memory.
"""
import argparse
import json
import os
import selectors
import signal
import shutil
import socket
import subprocess
import sys
import time
import urllib.request
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from soak import private_user, rss_kib, start_xvfb  # noqa: E402

BOUNDARY = b"--oculetframe\r\n"


def settings(port):
    # Screen capture of an empty part of the screen with the clock: a new picture every second.
    return ("[program]\nprog=4\n[me]\nleft=0\ntop=0\n[captureleft]\n4=1400\n[capturetop]\n4=700\n"
            "[clockonz]\n4=1\n[clockonl]\n4=0\n[txton]\n4=0\n[ftxton]\n4=0\n[lastrx]\n4=False\n"
            f"[web]\non=True\nport={port}\n")


def cpu_seconds(pid):
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def frames(port):
    with urllib.request.urlopen(f"http://127.0.0.1:{port}/status.json", timeout=5) as reply:
        return json.load(reply)["frames"]


def watch(port, viewers, seconds):
    """Opens `viewers` stream connections and counts the parts each receives in `seconds`."""
    selector = selectors.DefaultSelector()
    counts, tails, sockets = [0] * viewers, [b""] * viewers, []
    for i in range(viewers):
        s = socket.create_connection(("127.0.0.1", port))
        s.sendall(b"GET /stream.mjpg HTTP/1.0\r\n\r\n")
        s.setblocking(False)
        selector.register(s, selectors.EVENT_READ, i)
        sockets.append(s)
    time.sleep(1.0)  # every viewer connected and past its first part
    start_counts = None
    began = time.monotonic()
    end = began + seconds + 1.0
    while time.monotonic() < end:
        if start_counts is None and time.monotonic() >= began + 1.0:
            start_counts = list(counts)
        for key, _ in selector.select(0.2):
            i = key.data
            try:
                data = key.fileobj.recv(262144)
            except BlockingIOError:
                continue
            if not data:
                selector.unregister(key.fileobj)
                continue
            chunk = tails[i] + data
            counts[i] += chunk.count(BOUNDARY)
            tails[i] = chunk[-(len(BOUNDARY) - 1):]
    for s in sockets:
        s.close()
    return [(c - s0) / seconds for c, s0 in zip(counts, start_counts or [0] * viewers)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build")
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--viewers", default="0,1,50,200")
    args = parser.parse_args()
    root, env, binary = private_user("oculet-live-bench-", Path(args.build) / "oculet")
    xvfb, env["DISPLAY"] = start_xvfb()
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    oculet = None
    try:
        (root / "config" / "Oculet").mkdir()
        (root / "config" / "Oculet" / "Oculet.ini").write_text(settings(port))
        oculet = subprocess.Popen([binary], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            try:
                frames(port)
                break
            except OSError:
                time.sleep(0.2)
        time.sleep(2)
        baseline = None
        print(f"{'viewers':>8} {'min fps':>8} {'mean fps':>9} {'cycle fps':>9} {'CPU/frame':>10} "
              f"{'+us/viewer/frame':>17} {'RSS MB':>7} {'+RSS MB':>8}")
        for viewers in (int(v) for v in args.viewers.split(",")):
            cpu0, frames0 = cpu_seconds(oculet.pid), frames(port)
            t0 = time.monotonic()
            rates = watch(port, viewers, args.seconds) if viewers else (time.sleep(args.seconds + 2) or [])
            elapsed = time.monotonic() - t0
            cpu1, frames1, rss = cpu_seconds(oculet.pid), frames(port), rss_kib(oculet.pid) / 1024
            per_frame_us = (cpu1 - cpu0) / max(1, frames1 - frames0) * 1e6
            if baseline is None:
                baseline = (per_frame_us, rss)
            added = (per_frame_us - baseline[0]) / viewers if viewers else 0.0
            print(f"{viewers:>8} {min(rates, default=0):>8.2f} {sum(rates) / max(1, len(rates)):>9.2f} "
                  f"{(frames1 - frames0) / elapsed:>9.2f} {per_frame_us:>8.0f}us {added:>17.1f} "
                  f"{rss:>7.1f} {rss - baseline[1]:>8.1f}", flush=True)
    finally:
        if oculet and oculet.poll() is None:
            oculet.send_signal(signal.SIGTERM)
            try:
                oculet.wait(10)
            except subprocess.TimeoutExpired:
                oculet.kill()
        xvfb.terminate()
        xvfb.wait()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
