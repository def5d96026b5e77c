"""Picks of part 2 around multi picks, held bank reports and late replies,
judged from the bytes the instrument received, what it plays and the
window's pixels (not run by CI).

    roads.py WORK DISPLAY ROAD RUNS
ROAD: multihost (a top-bar multi pick, then the host's bare program change
for part 2, in multi mode with STEP SYNTH), restoremulti (the same just
after the project's restore), busyrestoremulti (the restore while another
multi's read-back runs), racerestoremulti (the click that opens the list
sent as the restore runs), bankalone (local control off: the
instrument's bank report with no program report), bankarrow (the same then
the top bar's arrow up), hostpc (the host's program change, bare and with
its bank select), topbar (a top-bar program pick), cable (the instrument's
cable out, then the host's pair), late (replies 400 ms late, a burst of host
picks and of arrow ups), noteoff (a host note released while a host
pick's request runs), busynote (a host note on, the host's program change,
another note on while the read-back runs, then the first note's end),
restorenote (a host note on, the host's restore, the note's end while it
runs), getsound (a top-bar pick then at once GET SOUND, the instrument
silent for requests until the editor gives up, then answering again).
ROADS_RACE_MS sets racerestoremulti's click delays (below 0: click first).
Writes WORK/results.txt (one line a run) and WORK/ROAD-window.png: each
run's top bar, status line and (multi mode) part 2's mixer cells, one run a
row, in run order."""
import os
import random
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from rigenv import Rig  # noqa: E402
from bursts import read_run, wait_quiet  # noqa: E402

TOPBAR = (172, 5, 298, 48)
STATUS = (300, 5, 815, 48)
MIXER_PART2 = (240, 112, 318, 148)
ARROW_UP = (835, 19)
MENU_X, MENU_FIRST_Y, MENU_STEP = 233, 58, 21  # the top bar's list, its first item at the top
MULTI_CHANNEL = 16
PART2_REPORT = 32 + 22 * 1  # the multi's position of part 2's bank (its program next)


def messages(lines, tag="R"):
    out = []
    for ln in lines:
        w = ln.split()
        if w and w[0] == tag:
            out.append((float(w[1]), [int(x, 16) for x in w[2:] if not x.startswith("@")]))
    return out


def strip(image, boxes, height=43):
    _, _, rows = image
    out = []
    for y in range(height):
        row = b""
        for x0, y0, x1, y1 in boxes:
            row += rows[y0 + y][x0 * 3:x1 * 3] if y0 + y < y1 else b"\0" * ((x1 - x0) * 3)
            row += b"\xff" * 12
        out.append(row)
    return out


class Roads:
    def __init__(self, work, display):
        os.environ["RIG_GLOBALCH"] = str(MULTI_CHANNEL)
        here = os.path.dirname(os.path.abspath(__file__))
        repo = os.path.dirname(os.path.dirname(os.path.dirname(here)))
        self.rig = Rig(os.path.join(repo, "build/rel/TarnivexEditor"), os.environ.get("RIG_BIN", "/tmp/mus/rig"),
                       display, work=work, local=False)
        self.work = work
        self.out = open(os.path.join(work, "results.txt"), "a")
        self.strips = []
        self.multi = None
        self.menu_opened = True
        self.multi_mode = False

    def click(self, x, y, pause=0.6):
        self.rig.click(x, y)
        time.sleep(pause)

    def setup(self):
        time.sleep(5)
        # The filters pass program changes both ways; the editor's multi (its
        # parts' channels) sent; the instrument's stored multis written.
        for x, y in [(905, 29), (1405, 87), (637, 645), (568, 307), (778, 307), (1016, 561), (1405, 87), (34, 121),
                     (383, 648)]:
            self.click(x, y)
        wait_quiet(self.rig.log, 1.5, 30)
        self.rig.cmd("storemultis")
        self.rig.cmd("getchunk " + os.path.join(self.work, "project.chunk"))

    def set_multi_mode(self, on):
        if on == self.multi_mode:
            return
        self.click(1009, 29)
        self.click(154, 140, 1.5)
        self.multi_mode = on
        self.click(905 if on else 1009, 29)
        wait_quiet(self.rig.log, 1.0, 10)

    def menu_pick(self, index, opened=False, mark=True):
        """The top bar's program list (multi or sound), opened at its first
        item. No mark with another rig command in flight (the restore's)."""
        if not opened:
            self.rig.click(221, 17)
            time.sleep(0.5)
        y = MENU_FIRST_Y + MENU_STEP * index
        # The list is open: its white ground right of the item's text (a
        # click that landed on the restore's overlay opened nothing).
        _, _, rows = self.rig.grab(root=True)
        if min(rows[y][280 * 3:280 * 3 + 3]) < 200:
            self.menu_opened = False
            return False
        self.menu_opened = True
        if mark:
            self.rig.cmd("mark pick")
        self.rig.x("mousemove", MENU_X, y, "click", "1")
        return True

    def mark(self, road, k):
        marker = "run %s %d %f" % (road, k, time.time())
        self.rig.cmd("mark " + marker)
        return marker

    def state(self):
        s = self.rig.cmd("state 1")[0]
        m = re.search(r"plays bank (-?\d+) prog (-?\d+) name '([^']*)'", s)
        return int(m.group(1)), int(m.group(2)), m.group(3).strip()

    def multistate(self):
        s = self.rig.cmd("multistate")[0]
        name = re.search(r"multi '([^']*)'", s).group(1).strip()
        b, p = re.search(r" 2:(\d+)/(\d+)", s).groups()
        return name, int(b), int(p)

    def look(self, boxes):
        self.strips.append(strip(self.rig.grab(), boxes))

    def report(self, road, k, faults, note):
        self.out.write("%s run %d %s faults %s\n" % (road, k, "OK" if not faults else "FAULT", faults or "-"))
        self.out.write("    %s\n" % note)
        self.out.flush()
        return not faults

    def save_window(self, road):
        rows = []
        for s in self.strips:
            rows.extend(s)
            rows.append(b"\x80" * len(s[0]))
        width = len(rows[0]) // 3
        self.rig.shot(os.path.join(self.work, road + "-window.png"), (width, len(rows), rows))
        self.strips = []

    # ---- Multi mode: a top-bar multi pick, then the host's bare program change.
    def multihost(self, k, restore=False, busy=False, race=False):
        self.set_multi_mode(True)
        choices = [m for m in range(3, 50) if m != self.multi]
        m = choices[(k * 7) % len(choices)]
        h = 80 + k % 20
        bank = (m + 1) % 3
        gap = [0.03, 0.08, 0.2, 0.5, 1.5][k % 5]
        road = ("racerestoremulti" if race else "busyrestoremulti" if busy else "restoremulti" if restore
                else "multihost")
        chunk = os.path.join(self.work, "project-multi.chunk")
        if restore and not os.path.exists(chunk):
            self.rig.cmd("getchunk " + chunk)
        marker = self.mark(road, k)
        if busy:
            # Another multi's read-back has the instrument: the restore's send
            # waits for its turn, and the user picks meanwhile.
            self.menu_pick(next(x for x in range(3, 50) if x not in (m, self.multi)))
            time.sleep(0.3)
        if race:
            # The click that opens the list already on its way as the restore
            # runs on the window's thread.
            import threading
            done = threading.Thread(target=self.rig.cmd, args=("setchunk " + chunk,))
            # ROADS_RACE_MS: the click's delays after the restore's call, by
            # turns; below 0 the click is started first.
            delays = [float(x) / 1000 for x in os.environ.get("ROADS_RACE_MS", "0,4,8,12,16").split(",")]
            delay = delays[k % len(delays)]
            click = ["xdotool", "mousemove", "--window", str(self.rig.win), "221", "17", "click", "1"]
            if delay < 0:
                xdo = subprocess.Popen(click, env=self.rig.env)
                time.sleep(-delay)
                done.start()
                xdo.wait()
            else:
                done.start()
                time.sleep(delay)
                subprocess.run(click, env=self.rig.env)
            # The list open first holds the window's thread: the restore then
            # waits for the pick.
            done.join(1.5)
            time.sleep(0.5)
            self.menu_pick(m, opened=True, mark=not done.is_alive())
            done.join()
        elif restore:
            self.rig.cmd("setchunk " + chunk)
            self.menu_pick(m)
        else:
            self.menu_pick(m)
        time.sleep(gap)
        self.rig.cmd("host C1 %02X" % h)
        # ROADS_QUIET: how long the wire stays quiet before the run is judged.
        wait_quiet(self.rig.log, float(os.environ.get("ROADS_QUIET", "1.5")), 60)
        lines = read_run(self.rig.log, marker)
        r = messages(lines)
        faults = []
        at = lambda pred: [i for i, (_, b) in enumerate(r) if pred(b)]  # noqa: E731
        multi_pc = at(lambda b: b == [0xC0 | (MULTI_CHANNEL - 1), m])
        multi_req = at(lambda b: b == [0xF0, 0x3E, 0x10, 0x00, 0x01, 0x20, 0x00, 0xF7])
        part_reqs = at(lambda b: len(b) == 8 and b[4:6] == [0x00, 0x30])
        host = at(lambda b: b == [0xC1, h])
        restore_dumps = at(lambda b: len(b) > 300 and b[4] in (0x10, 0x11))
        if not self.menu_opened:
            faults.append("the top bar's list did not open (the restore's overlay took the click)")
        elif not multi_pc:
            faults.append("no multi program change CF %02X" % m)
        if not host:
            faults.append("the host's C1 %02X never reached the instrument" % h)
        if multi_pc and host:
            if not multi_req or not multi_pc[-1] < multi_req[-1] < host[0]:
                faults.append("C1 %02X before the multi's read-back ended" % h)
            reqs_before = [i for i in part_reqs if multi_pc[-1] < i < host[0]]
            if len(reqs_before) < 15:
                faults.append("only %d part requests before the host's change" % len(reqs_before))
            if restore_dumps and restore_dumps[-1] > multi_pc[-1]:
                faults.append("a restore dump after the multi pick")
        banks = [(i, b[2] - 0x40) for i, (_, b) in enumerate(r) if b[:2] == [0xB1, 0x20]]
        for i, v in banks:
            if multi_pc and i > multi_pc[-1] and v != bank:
                faults.append("part 2 bank select %d (the multi gives %d)" % (v, bank))
        pcs = [b[1] for _, b in r if b[:1] == [0xC1]]
        if pcs and pcs[-1] != h:
            faults.append("last part 2 program change %d, not %d" % (pcs[-1], h))
        silence = "-"
        sent_before = [i for i in range(multi_pc[0]) if len(r[i][1]) > 8] if multi_pc else []
        if restore and sent_before:
            # From the restore's last dump to the multi's change (the restore stopped).
            silence = "%.0f ms" % (r[multi_pc[0]][0] - r[sent_before[-1]][0])
            picked = [float(ln.split()[1]) for ln in lines if ln.startswith("M ") and ln.endswith(" pick")]
            if picked:
                silence += ", %.0f ms after the click" % (r[multi_pc[0]][0] - picked[-1])
        sb, sp, name = self.state()
        mname, mb, mp = self.multistate()
        if (sb, sp) != (bank, h):
            faults.append("part 2 plays %d/%d, not %d/%d" % (sb, sp, bank, h))
        if mname != "STORED MULTI %02d" % m:
            faults.append("the instrument's multi is %r" % mname)
        self.multi = m
        self.look([TOPBAR, STATUS, MIXER_PART2])
        seq = " ".join((" ".join("%02X" % x for x in b) if len(b) <= 8 else
                        " ".join("%02X" % x for x in b[:7]) + "...") + ";" for _, b in r)
        return self.report(road, k, faults, "multi %d (part 2 -> bank %d) then host C1 %02X after %.0f ms; "
                           "silence before the multi's change %s; instrument: part 2 %d/%d %s, multi %r; wire: %s" % (
                               m + 1, bank, h, gap * 1000, silence, sb, sp, name, mname, compress(seq)))

    # ---- Local control off: a bank report alone, and one followed by an arrow.
    def sound_mode(self):
        self.set_multi_mode(False)

    def settle_part2(self, bank, program):
        self.rig.cmd("host B1 00 00 B1 20 %02X C1 %02X" % (0x40 + bank, program))
        wait_quiet(self.rig.log, 1.0, 10)

    def bankalone(self, k, arrow=False):
        self.sound_mode()
        start = 82 + k % 12
        self.settle_part2(k % 3, start)
        b0, p0, _ = self.state()
        reported = (b0 + 1 + k % 2) % 3
        gap = [0, 0.005, 0.010, 0.015, 0.018, 0.020, 0.022, 0.025, 0.030, 0.040][k % 10]
        road = "bankarrow" if arrow else "bankalone"
        self.rig.x("mousemove", "--window", self.rig.win, *ARROW_UP)
        marker = self.mark(road, k)
        self.rig.cmd("inst F0 3E 10 00 21 %02X %02X %02X F7" % (PART2_REPORT // 128, PART2_REPORT % 128, reported))
        if arrow:
            time.sleep(gap)
            self.rig.x("click", "1")
        wait_quiet(self.rig.log, 1.0, 10)
        lines = read_run(self.rig.log, marker)
        r = messages(lines)
        sent = messages(lines, "W")
        faults = []
        want = p0 + 1 if arrow else p0
        part = [(t, b) for t, b in r if b[:1] in ([0xB1], [0xC1])]
        pcs = [(t, b[1]) for t, b in part if b[0] == 0xC1]
        banks = [(t, b[2] - 0x40) for t, b in part if b[:2] == [0xB1, 0x20]]
        if not pcs:
            faults.append("no program change for part 2")
        else:
            if pcs[-1][1] != want:
                faults.append("ends on program %d, not %d" % (pcs[-1][1], want))
            if not banks or banks[-1][1] != reported:
                faults.append("its bank %s, not the reported %d" % (banks[-1][1] if banks else None, reported))
            if arrow:
                after = [p for t, p in pcs if t > next(t2 for t2, p2 in pcs if p2 == want)] if want in [p for _, p in pcs] else []
                if any(p != want for p in after):
                    faults.append("after the arrow's program change: %s" % after)
        sb, sp, name = self.state()
        if (sb, sp) != (reported, want):
            faults.append("part 2 plays %d/%d, not %d/%d" % (sb, sp, reported, want))
        waited = (banks[0][0] - sent[0][0]) if banks and sent else None
        self.look([TOPBAR, STATUS])
        seq = "; ".join("%.1f %s" % (t - (sent[0][0] if sent else 0), " ".join("%02X" % x for x in b[:8]))
                        for t, b in r if len(b) < 9)
        return self.report(road, k, faults, "part 2 at %d/%d, bank %d reported%s; first answer %s ms after the "
                           "report went; instrument: part 2 %d/%d %s; wire (ms after the report): %s" % (
                               b0, p0, reported, " then arrow up after %.0f ms" % (gap * 1000) if arrow else "",
                               "%.1f" % waited if waited is not None else "-", sb, sp, name, seq))

    # ---- Neighbours.
    def hostpc(self, k):
        self.sound_mode()
        b0, p0, _ = self.state()
        h = 82 + (k * 5) % 14
        if h == p0:
            h += 1
        pair = k % 2 == 1
        bank = (b0 + 1) % 3 if pair else b0
        marker = self.mark("hostpc", k)
        self.rig.cmd("host B1 00 00 B1 20 %02X C1 %02X" % (0x40 + bank, h) if pair else "host C1 %02X" % h)
        wait_quiet(self.rig.log, 1.0, 10)
        r = messages(read_run(self.rig.log, marker))
        faults = []
        banks = [b[2] - 0x40 for _, b in r if b[:2] == [0xB1, 0x20]]
        pcs = [b[1] for _, b in r if b[:1] == [0xC1]]
        if not pcs or pcs[-1] != h:
            faults.append("program changes %s" % pcs)
        if any(v != bank for v in banks):
            faults.append("bank selects %s, the part's bank %d" % (banks, bank))
        sb, sp, name = self.state()
        if (sb, sp) != (bank, h):
            faults.append("part 2 plays %d/%d, not %d/%d" % (sb, sp, bank, h))
        self.look([TOPBAR, STATUS])
        return self.report("hostpc", k, faults, "%s %d/%d from %d/%d; instrument %d/%d %s; wire %s" % (
            "pair" if pair else "bare", bank, h, b0, p0, sb, sp, name,
            "; ".join(" ".join("%02X" % x for x in b[:8]) for _, b in r)))

    def judge_last_pick(self, r, bank, program):
        """Part 2's last program change on the wire and what it plays, against
        the pick the road made last."""
        faults = []
        pcs = [b[1] for _, b in r if b[:1] == [0xC1]]
        if not pcs or pcs[-1] != program:
            faults.append("program changes %s" % pcs)
        sb, sp, name = self.state()
        if (sb, sp) != (bank, program):
            faults.append("part 2 plays %d/%d, not %d/%d" % (sb, sp, bank, program))
        return faults, pcs, sb, sp, name

    def topbar(self, k):
        self.sound_mode()
        b0, p0, _ = self.state()
        if p0 > 50:  # the list opens at its first item
            self.settle_part2(b0, 11)
            b0, p0, _ = self.state()
        # Programs no other part plays (theirs are 5 p + multi % 5).
        t = next(x for x in range(12 + k * 3, 60) if x % 5 != (self.multi or 0) % 5 and x != p0)
        marker = self.mark("topbar", k)
        self.menu_pick(t)
        wait_quiet(self.rig.log, 1.0, 10)
        r = messages(read_run(self.rig.log, marker))
        faults, pcs, sb, sp, name = self.judge_last_pick(r, b0, t)
        self.look([TOPBAR, STATUS])
        return self.report("topbar", k, faults, "pick %d on bank %d from %d; instrument %d/%d %s; wire %s" % (
            t, b0, p0, sb, sp, name, "; ".join(" ".join("%02X" % x for x in b[:8]) for _, b in r)))

    def jack(self, *args):
        return subprocess.run(list(args), env=self.rig.env, capture_output=True, text=True).stdout

    def cable(self, k):
        self.sound_mode()
        links = self.jack("jack_lsp", "-c")
        # The plug-in's out port: the one linked to the instrument's in.
        lines = links.split("\n")
        out_port = None
        for i, ln in enumerate(lines):
            if ln == "TvxInstrument:in":
                j = i + 1
                while j < len(lines) and lines[j].startswith(" "):
                    out_port = lines[j].strip()
                    j += 1
        b0, p0, _ = self.state()
        h = 84 + k
        marker = self.mark("cable", k)
        self.jack("jack_disconnect", out_port, "TvxInstrument:in")
        time.sleep(0.3)
        self.rig.cmd("host B1 00 00 B1 20 %02X C1 %02X" % (0x40 + (b0 + 1) % 3, h))
        time.sleep(1.5)
        self.look([TOPBAR, STATUS])
        self.jack("jack_connect", out_port, "TvxInstrument:in")
        wait_quiet(self.rig.log, 1.0, 10)
        r = messages(read_run(self.rig.log, marker))
        faults = []
        if any(b[:1] in ([0xC1], [0xB1]) and not (b[:2] == [0xB1, 0x7B]) for _, b in r):
            faults.append("part 2 messages reached the instrument: %s" % [b for _, b in r])
        sb, sp, name = self.state()
        if (sb, sp) != (b0, p0):
            faults.append("part 2 plays %d/%d, not %d/%d" % (sb, sp, b0, p0))
        return self.report("cable", k, faults, "out port %s; pair %d/%d; instrument %d/%d %s; received %s" % (
            out_port, (b0 + 1) % 3, h, sb, sp, name, [" ".join("%02X" % x for x in b[:8]) for _, b in r]))

    def late(self, k):
        self.sound_mode()
        self.settle_part2(k % 3, 81)
        b0, p0, _ = self.state()
        self.rig.cmd("delay 400")
        arrows = k % 2 == 1
        marker = self.mark("late", k)
        if arrows:
            self.rig.x("mousemove", "--window", self.rig.win, *ARROW_UP)
            for _ in range(6):
                self.rig.x("click", "1")
                time.sleep(0.12)
            want = p0 + 6
        else:
            self.rig.cmd("burst host 1 8 90 %d 1" % (p0 + 1))
            want = p0 + 8
        wait_quiet(self.rig.log, 2.0, 30)
        self.rig.cmd("delay 0")
        r = messages(read_run(self.rig.log, marker))
        faults, pcs, sb, sp, name = self.judge_last_pick(r, b0, want)
        self.look([TOPBAR, STATUS])
        return self.report("late", k, faults, "%s from %d/%d to %d; program changes %s; instrument %d/%d %s" % (
            "6 arrow ups" if arrows else "8 host picks", b0, p0, want, pcs, sb, sp, name))


def noteoff(self, k):
    """A host note played just after a host program change, released while
    the pick's own request runs: its note-off reaches the instrument (a
    note left on sounds until something silences it)."""
    self.sound_mode()
    b0, p0, _ = self.state()
    h = 82 + (k * 3) % 14
    if h == p0:
        h += 1
    after = [0.1, 0.15, 0.2, 0.3][k % 4]
    marker = self.mark("noteoff", k)
    self.rig.cmd("host C1 %02X" % h)
    time.sleep(0.09)
    self.rig.cmd("host 91 3C 5A")
    time.sleep(after)
    self.rig.cmd("host 81 3C 40")
    wait_quiet(self.rig.log, 1.0, 10)
    r = messages(read_run(self.rig.log, marker))
    faults = []
    on = [t for t, b in r if b == [0x91, 0x3C, 0x5A]]
    off = [t for t, b in r if b == [0x81, 0x3C, 0x40]]
    silenced = [t for t, b in r if b == [0xB1, 0x7B, 0x00] and on and t > on[0]]
    if on and not off and not [t for t in silenced if t > on[0]]:
        faults.append("note 60 on channel 2 left sounding: its note-off never reached the instrument")
    return self.report("noteoff", k, faults, "note-on 90 ms after C1 %02X, note-off %.0f ms later; received: %s" % (
        h, after * 1000, "; ".join("%.1f %s" % (t - r[0][0], " ".join("%02X" % x for x in b[:8])) for t, b in r)))


Roads.noteoff = noteoff

NOTE_ON, NOTE_ON_OTHER = [0x91, 0x3C, 0x5A], [0x91, 0x40, 0x50]


def busy_window(r, after):
    """From the first part request after the time given to the instrument's
    answer read by the editor (its W line), on the rig's clock."""
    req = [t for t, b in r if t > after and len(b) == 8 and b[4:6] == [0x00, 0x30]]
    return req[0] if req else None


def busynote(self, k):
    """A host note on, the host's program change for its part (the read-back
    request makes the editor busy), another note on while busy, then the first
    note's end: the end reaches the instrument, the other note does not."""
    self.sound_mode()
    b0, p0, _ = self.state()
    if b0 < 0:  # the editor's own sound in the part: a program of the instrument's
        self.settle_part2(0, 17)
        b0, p0, _ = self.state()
    h = 82 + (k * 3) % 14
    if h == p0:
        h += 1
    slow = k % 4 != 3
    self.rig.cmd("delay %d" % (400 if slow else 0))
    after = [0.15, 0.2, 0.25, 0.3][k % 4]
    off = [0x91, 0x3C, 0x00] if k % 3 == 2 else [0x81, 0x3C, 0x40]
    marker = self.mark("busynote", k)
    self.rig.cmd("host 91 3C 5A")
    time.sleep(0.03)
    self.rig.cmd("host C1 %02X" % h)
    start = time.time()
    # The other note once the read-back request has gone (some 240 ms on).
    for at, msg in sorted([(0.22, NOTE_ON_OTHER), (after, off)]):
        time.sleep(max(0.0, at - (time.time() - start)))
        self.rig.cmd("host " + " ".join("%02X" % x for x in msg))
    time.sleep(max(0.0, 0.42 - (time.time() - start)))
    busy_look = self.rig.grab()  # still busy when the replies are late: the count shown
    wait_quiet(self.rig.log, 1.0, 10)
    self.rig.cmd("delay 0")
    lines = read_run(self.rig.log, marker)
    r = messages(lines)
    written = messages(lines, "W")
    faults = []
    t_on = [t for t, b in r if b == NOTE_ON]
    t_pc = [t for t, b in r if b == [0xC1, h]]
    t_off = [t for t, b in r if b == off]
    t_other = [t for t, b in r if b == NOTE_ON_OTHER]
    req = busy_window(r, t_pc[0]) if t_pc else None
    answer = [t for t, b in written if req is not None and t > req and len(b) > 300]
    busy = "busy %.0f..%s ms after C1" % (req - t_pc[0], "%.0f" % (answer[0] - t_pc[0]) if answer else "?") \
        if req is not None else "no request"
    if not t_on:
        faults.append("the note on never reached the instrument")
    if not t_pc:
        faults.append("C1 %02X never reached the instrument" % h)
    if not t_off:
        faults.append("note 60 left sounding: its end %s never reached the instrument" % " ".join(
            "%02X" % x for x in off))
    if t_other and req is not None and req <= t_other[0] and (not answer or t_other[0] <= answer[0] + 12):
        faults.append("the note on sent while busy reached the instrument")
    if t_off and answer and t_off[0] > answer[0] + 12:
        note = "(the end came after the answer: not inside the busy time)"
    else:
        note = ""
    sb, sp, name = self.state()
    if (sb, sp) != (b0, h):
        faults.append("part 2 plays %d/%d, not %d/%d" % (sb, sp, b0, h))
    self.strips.append(strip(busy_look, [TOPBAR, STATUS]))
    self.look([TOPBAR, STATUS])
    return self.report("busynote", k, faults, "replies %s; end %.0f ms after C1 %02X as %s %s; %s; other note %s; "
                       "received: %s" % (
                           "400 ms late" if slow else "at once", after * 1000, h, " ".join("%02X" % x for x in off),
                           note, busy, "reached at %.0f ms" % (t_other[0] - t_pc[0]) if t_other and t_pc else
                           "held back", "; ".join("%.1f %s" % (t - r[0][0], " ".join("%02X" % x for x in b[:8]))
                                                  for t, b in r if len(b) < 9)))


def restorenote(self, k):
    """A host note on, then the host's restore, the note's end while it runs."""
    self.sound_mode()
    chunk = os.path.join(self.work, "project-sound.chunk")
    if not os.path.exists(chunk):
        self.rig.cmd("getchunk " + chunk)
    after = [0.15, 0.2, 0.25, 0.3][k % 4]
    off = [0x91, 0x3C, 0x00] if k % 2 else [0x81, 0x3C, 0x40]
    marker = self.mark("restorenote", k)
    self.rig.cmd("host 91 3C 5A")
    time.sleep(0.05)
    import threading
    done = threading.Thread(target=self.rig.cmd, args=("setchunk " + chunk,))
    done.start()
    time.sleep(after)
    self.rig.cmd("host 91 40 50")
    time.sleep(0.02)
    self.rig.cmd("host " + " ".join("%02X" % x for x in off))
    time.sleep(0.3)
    self.strips.append(strip(self.rig.grab(), [TOPBAR, STATUS]))  # the restore still running
    done.join()
    wait_quiet(self.rig.log, 1.5, 30)
    lines = read_run(self.rig.log, marker)
    r = messages(lines)
    faults = []
    t_on = [t for t, b in r if b == NOTE_ON]
    t_off = [t for t, b in r if b == off]
    t_other = [t for t, b in r if b == NOTE_ON_OTHER]
    sent = [t for t, b in r if b not in (NOTE_ON, off, NOTE_ON_OTHER, [0x81, 0x40, 0x40])]
    if not t_on:
        faults.append("the note on never reached the instrument")
    if not t_off:
        faults.append("note 60 left sounding: its end %s never reached the instrument" % " ".join(
            "%02X" % x for x in off))
    running = t_off and sent and sent[0] < t_off[0] < sent[-1]
    if t_other and sent and sent[0] < t_other[0] < sent[-1]:
        faults.append("the note on sent during the restore reached the instrument")
    self.look([TOPBAR, STATUS])
    return self.report("restorenote", k, faults, "end %s %.0f ms into the restore (%s); restore's messages %d over "
                       "%.0f ms; end at %s ms; other note %s" % (
                           " ".join("%02X" % x for x in off), after * 1000,
                           "inside its messages" if running else "NOT inside its messages", len(sent),
                           (sent[-1] - sent[0]) if sent else 0,
                           "%.0f" % (t_off[0] - sent[0]) if t_off and sent else "-",
                           "reached at %.0f ms" % (t_other[0] - sent[0]) if t_other and sent else "held back"))


NAME_BOX = (172, 5, 298, 48)


def get_sound(self):
    """The library page's EDIT menu: Request Patch Data, its first item."""
    self.rig.click(876, 195)
    time.sleep(0.25)
    self.rig.x("mousemove", 960, 221)
    time.sleep(0.15)
    self.rig.x("mousemove", 1100, 221)
    time.sleep(0.15)
    self.rig.x("mousemove", 1200, 221, "click", "1")


def wait_for(log, marker, pred, bound=3.0):
    start = time.time()
    while time.time() - start < bound:
        for t, b in messages(read_run(log, marker)):
            if pred(b):
                return t
        time.sleep(0.01)
    return None


def getsound(self, k):
    """A top-bar program pick, then at once (before the pick's own request
    goes) GET SOUND, with the instrument silent for requests: once the
    editor gives up, the top bar names no old sound over the new program;
    with the instrument answering again, GET SOUND names the new one."""
    self.sound_mode()
    self.click(1009, 29)  # the library page (its EDIT menu)
    b0, p0, _ = self.state()
    if p0 > 50 or p0 < 16:
        self.settle_part2(b0, 17 + k % 3)
        b0, p0, _ = self.state()
    t = next(x for x in range(20 + k * 3, 52) if x != p0 and (self.multi is None or x % 5 != self.multi % 5))
    before = crop(self.rig.grab(), NAME_BOX)
    marker = self.mark("getsound", k)
    self.rig.cmd("silent 1")
    self.rig.click(221, 17)
    time.sleep(0.5)
    # One chain: the list's item, then EDIT, Request Patch Data, its first
    # item, all inside the pick's first 150 ms or so.
    hover = [0.02, 0.04, 0.06][k % 3]
    self.rig.cmd("mark pick")
    self.rig.x("mousemove", MENU_X, MENU_FIRST_Y + MENU_STEP * t, "click", "1", "sleep", "0.02",
               "mousemove", 876, 195, "click", "1", "sleep", hover, "mousemove", 960, 221, "sleep", hover,
               "mousemove", 1100, 221, "sleep", hover, "mousemove", 1200, 221, "click", "1")
    self.rig.cmd("mark chain done")
    went = wait_for(self.rig.log, marker, lambda b: b == [0xC1, t])
    time.sleep(1.0)
    early = self.rig.grab()
    # The editor's repeat and device-ID search, to their end.
    wait_quiet(self.rig.log, 4.0, 60)
    silent_look = self.rig.grab()
    self.rig.cmd("silent 0")
    time.sleep(0.5)
    mid = self.mark("getsound-again", k)
    get_sound(self)
    wait_quiet(self.rig.log, 1.5, 30)
    lines = read_run(self.rig.log, marker)
    r = messages(lines)
    answered = [b for t2, b in messages(read_run(self.rig.log, mid), "W") if len(b) > 300]
    faults = []
    if went is None:
        faults.append("the pick's C1 %02X never reached the instrument" % t)
    sb, sp, name = self.state()
    if (sb, sp) != (b0, t):
        faults.append("part 2 plays %d/%d, not %d/%d" % (sb, sp, b0, t))
    if crop(silent_look, NAME_BOX) == before:
        faults.append("the top bar unchanged from before the pick (old program and name)")
    for img in (early, silent_look):
        self.strips.append(strip(img, [TOPBAR, STATUS]))
    self.look([TOPBAR, STATUS])
    marks = {ln.split(None, 2)[2]: float(ln.split()[1]) for ln in lines if ln.startswith("M ")}
    reqs = [t2 for t2, b in r if len(b) == 8 and b[4:6] == [0x00, 0x30]]
    t_pc = [t2 for t2, b in r if b == [0xC1, t]]
    return self.report("getsound", k, faults, "pick %d on bank %d from %d, hover %.0f ms; chain took %.0f ms; "
                       "C1 at %s ms; requests at %s ms (of the pick's C1); answered again: %d dumps; instrument "
                       "%d/%d %s" % (t, b0, p0, hover * 1000, marks.get("chain done", 0) - marks.get("pick", 0),
                                     "%.0f" % (t_pc[0] - marks.get("pick", 0)) if t_pc else "-",
                                     [round(x - t_pc[0]) for x in reqs[:6]] if t_pc else "-", len(answered), sb,
                                     sp, name))


def crop(image, box):
    _, _, rows = image
    x0, y0, x1, y1 = box
    return b"".join(rw[x0 * 3:x1 * 3] for rw in rows[y0:y1])


Roads.busynote = busynote
Roads.restorenote = restorenote
Roads.getsound = getsound


def compress(seq):
    """Runs of part requests as one word."""
    return re.sub(r"(F0 3E 10 00 00 30 [0-9A-F]{2} F7; ){3,}", lambda m: "[%d part requests] " % (
        m.group(0).count(";")), seq)


def main():
    work, display = sys.argv[1], sys.argv[2]
    plan = [(road, int(n)) for road, n in (a.split(":") for a in sys.argv[3:])]
    os.makedirs(work, exist_ok=True)
    roads = Roads(work, display)
    try:
        roads.setup()
        for road, runs in plan:
            good = 0
            for k in range(runs):
                if road == "multihost":
                    good += roads.multihost(k)
                elif road == "restoremulti":
                    good += roads.multihost(k, restore=True)
                elif road == "racerestoremulti":
                    good += roads.multihost(k, restore=True, race=True)
                elif road == "busyrestoremulti":
                    good += roads.multihost(k, restore=True, busy=True)
                elif road == "bankarrow":
                    good += roads.bankalone(k, arrow=True)
                else:
                    good += getattr(roads, road)(k)
            roads.out.write("ROAD %s: %d of %d good\n" % (road, good, runs))
            roads.out.flush()
            roads.save_window(road)
    finally:
        roads.rig.close()


if __name__ == "__main__":
    random.seed(1)
    main()
