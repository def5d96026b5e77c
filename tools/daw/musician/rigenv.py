"""Private servers and the rig for hand tests (not run by CI).

A JACK server and an Xvfb display of this process's own, a data folder with a
library bank, the plug-in's settings naming the rig's instrument ports, and
the rig (rig.cpp) driven line by line."""
import os
import struct
import subprocess
import tempfile
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


class Rig:
    def __init__(self, bundle, rig_bin, display, work=None, local=False):
        self.work = work or tempfile.mkdtemp(prefix="tvx-mus-")
        self.display = display
        self.jack_name = "tvx-mus-%d" % os.getpid()
        env = dict(os.environ)
        env["JACK_DEFAULT_SERVER"] = self.jack_name
        env["DISPLAY"] = display
        env["XDG_DATA_HOME"] = os.path.join(self.work, "data")
        env["TARNIVEX_MIDI_API"] = "jack"
        env["RIG_LOCAL"] = "1" if local else "0"
        self.env = env
        folder = os.path.join(env["XDG_DATA_HOME"], "Kelmscroft", "Zorozov Tarnivex Editor")
        os.makedirs(os.path.join(folder, "Patches"), exist_ok=True)
        subprocess.check_call([rig_bin, "--bank", os.path.join(folder, "Patches", "Factory.syx")])
        with open(os.path.join(folder, "Tarnivex Editor UI.txt"), "w") as f:
            f.write("yellow\nnormal\nyes\nTvxInstrument:in\nTvxInstrument:out")
        self.procs = []
        self.xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1600x1200x24", "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.jackd = subprocess.Popen(["jackd", "--no-realtime", "-n", self.jack_name, "-d", "dummy", "-r", "48000",
                                       "-p", "256"], stdout=open(os.path.join(self.work, "jackd.log"), "w"),
                                      stderr=subprocess.STDOUT, env=env)
        time.sleep(1.5)
        self.log = os.path.join(self.work, "wire.log")
        self.rig = subprocess.Popen(["taskset", "-c", "0-2", rig_bin, os.path.join(bundle, "TarnivexEditor.so"),
                                     self.log], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                    stderr=open(os.path.join(self.work, "rig.err"), "w"), env=env, text=True,
                                    bufsize=1)
        line = self.rig.stdout.readline()
        parts = line.split()
        self.win = int(parts[1]) if parts and parts[0] == "window" else None
        self.size = (int(parts[2]), int(parts[3])) if self.win else None

    def cmd(self, text):
        self.rig.stdin.write(text + "\n")
        self.rig.stdin.flush()
        out = []
        while True:
            line = self.rig.stdout.readline()
            if not line:
                raise RuntimeError("rig ended")
            line = line.rstrip("\n")
            if line == "ok":
                return out
            out.append(line)

    def x(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True, text=True).stdout

    def click(self, x, y, button=1):
        self.x("mousemove", "--window", self.win, x, y)
        time.sleep(0.05)
        self.x("click", button)

    def grab(self, root=False):
        """The window's (or the screen's) pixels: (width, height, rows of RGB bytes)."""
        which = ["-root"] if root else ["-id", str(self.win)]
        raw = subprocess.run(["xwd", "-silent", *which], env=self.env, check=True,
                             capture_output=True).stdout
        h = struct.unpack(">25I", raw[:100])
        size, width, height, order, bpp, stride, ncolors = h[0], h[4], h[5], h[7], h[11], h[12], h[19]
        data = raw[size + ncolors * 12:]
        rows = []
        for y in range(height):
            line = data[y * stride:y * stride + width * bpp // 8]
            if order == 0:  # B G R X
                rgb = bytearray(width * 3)
                rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
            else:
                rgb = bytearray(width * 3)
                rgb[0::3], rgb[1::3], rgb[2::3] = line[1::4], line[2::4], line[3::4]
            rows.append(bytes(rgb))
        return width, height, rows

    def shot(self, path, image=None):
        width, height, rows = image or self.grab()
        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
        png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(b"".join(b"\0" + r for r in rows), 6)) + chunk(b"IEND", b"")
        with open(path, "wb") as f:
            f.write(png)
        return path

    def close(self):
        try:
            self.cmd("quit")
        except Exception:
            pass
        try:
            self.rig.wait(20)
        except subprocess.TimeoutExpired:
            self.rig.terminate()
            self.rig.wait(10)
        self.jackd.terminate()
        self.jackd.wait(10)
        self.xvfb.terminate()
        self.xvfb.wait(10)
