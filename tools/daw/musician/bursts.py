"""Bursts of part 2 picks against the rig, judged from the bytes the
instrument received and the window's pixels (not run by CI).

    bursts.py WORK DISPLAY LOCAL(0|1) RUNS CELL...
CELL: MODE:ROAD:GAP, MODE lib or synth, ROAD as the rig's burst command.
Writes WORK/results.txt (one line a run, then one a cell) and a PNG of the
window for every run whose pixels differ from the cell's usual ones."""
import collections
import hashlib
import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from rigenv import Rig  # noqa: E402

TOPBAR = (172, 5, 298, 48)
UPPER = (88, 207, 1128, 433)
LOWER = (88, 480, 1128, 706)
MULTI_PART2 = (238, 112, 318, 146)
IN_FLIGHT_MS = 12.0  # two JACK periods and the pump: handed to the port before the newer pick came


def crop(image, box):
    _, _, rows = image
    x0, y0, x1, y1 = box
    return b"".join(r[x0 * 3:x1 * 3] for r in rows[y0:y1])


def digest(image, box):
    return hashlib.sha1(crop(image, box)).hexdigest()[:10]


def wait_quiet(log, quiet=1.0, bound=12.0):
    start = time.time()
    last = os.path.getsize(log)
    since = time.time()
    while time.time() - start < bound:
        time.sleep(0.1)
        size = os.path.getsize(log)
        if size != last:
            last, since = size, time.time()
        elif time.time() - since >= quiet:
            return True
    return False


def read_run(log, marker):
    lines = open(log).read().split("\n")
    for i in range(len(lines) - 1, -1, -1):
        if lines[i].startswith("M ") and lines[i].endswith(marker):
            return [ln for ln in lines[i + 1:] if ln]
    return []


def judge(lines, mode, road, local):
    """Picks and what answers them. An instrument pick came in the JACK cycle
    its last message was written in; a message the plug-in handed to its port
    in that cycle is read one cycle later, so an older answer read two cycles
    or more after a newer pick came is late (two: on the edge, three or more:
    handed after the pick came). Host picks: IN_FLIGHT_MS after the event call."""
    picks = []  # [program, time, cycle]
    last_i = None
    for ln in lines:
        w = ln.split()
        if w[0] == "P":
            picks.append([int(w[-1]), None, None])
        elif w[0] in ("I", "H") and picks:
            picks[-1][1] = float(w[1])
            last_i = w[2:]
        elif w[0] == "W" and picks and last_i is not None and w[2:-1] == last_i:
            picks[-1][2] = int(w[-1][1:])
    programs = [p for p, _, _ in picks]
    last = programs[-1]
    faults, edges, lags = [], 0, []
    sent_back = 0
    last_pc = None
    requests_after_last = 0
    for ln in lines:
        w = ln.split()
        if w[0] != "R":
            continue
        t = float(w[1])
        cyc = int(w[-1][1:]) if w[-1].startswith("@") else None
        b = [int(x, 16) for x in w[2:] if not x.startswith("@")]
        answers = None
        if len(b) == 2 and b[0] == 0xC1:
            last_pc = b[1]
            sent_back += 1
            answers = b[1]
        elif len(b) == 3 and b[0] == 0xB1 and b[1] in (0, 32):
            sent_back += 1
        elif len(b) > 380 and b[4] == 0x10 and b[5] == 0x30 and b[6] == 0x01:
            name = bytes(b[370:386]).decode("ascii", "replace").strip()
            m = re.match(r"Fact(\d+)$", name)
            answers = int(m.group(1)) if m else None
        elif len(b) == 8 and b[4] == 0x00 and b[5] == 0x30 and b[6] == 0x01:
            if picks[-1][1] is not None and t > picks[-1][1]:
                requests_after_last += 1
        if answers is None or answers not in programs:
            continue
        j = len(programs) - 1 - programs[::-1].index(answers)
        for p, pt, pc in picks[j + 1:]:
            if p == answers:
                continue
            if pc is not None and cyc is not None:
                if cyc - pc >= 2:
                    lags.append(cyc - pc)
                    if cyc - pc >= 3:
                        faults.append("older %s (pick %d) read %d cycles after pick %d came (%.1f ms)" % (
                            " ".join(x for x in w[2:9] if not x.startswith("@")), j, cyc - pc,
                            programs.index(p), t - pt))
                    else:
                        edges += 1
                break
            if pc is None and pt is not None and pt < t:
                lags.append(round(t - pt, 1))
                if t - pt > IN_FLIGHT_MS:
                    faults.append("older %s (pick %d) %.1f ms after pick %d came" % (
                        " ".join(x for x in w[2:9] if not x.startswith("@")), j, t - pt, programs.index(p)))
                break
    if road == "knob" and programs != list(range(programs[0], programs[0] + len(programs))):
        faults.append("knob stepped from a program moved back: %s" % programs)
    return dict(last=last, faults=faults, sent_back=sent_back, last_pc=last_pc, lags=lags, edges=edges,
                requests_after_last=requests_after_last)


def main():
    work, display, local, runs = sys.argv[1], sys.argv[2], sys.argv[3] == "1", int(sys.argv[4])
    cells = sys.argv[5:]
    os.makedirs(work, exist_ok=True)
    here = os.path.dirname(os.path.abspath(__file__))
    repo = os.path.dirname(os.path.dirname(os.path.dirname(here)))
    rig = Rig(os.path.join(repo, "build/rel/TarnivexEditor"), os.environ.get("RIG_BIN", "/tmp/mus/rig"),
              display, work=work, local=local)
    out = open(os.path.join(work, "results.txt"), "a")
    time.sleep(5)
    # Both sides' program changes passed, part 2 shown, the library page.
    for x, y, pause in [(905, 29, .6), (1405, 87, .7), (637, 645, .7), (568, 307, .3), (778, 307, .3),
                        (1016, 561, .5), (1405, 87, .5), (34, 121, .5), (1009, 29, .8)]:
        rig.click(x, y)
        time.sleep(pause)
    rig.shot(os.path.join(work, "setup.png"))
    mode_now = "synth"
    for cell in cells:
        mode, road, gap = cell.split(":")
        if mode != mode_now:
            rig.click(383 if mode == "lib" else 284, 140)
            time.sleep(1.0)
            wait_quiet(rig.log)
            mode_now = mode
        looks = collections.defaultdict(collections.Counter)
        results = []
        for r in range(runs):
            first = 10 if r % 2 == 0 else 50
            if road == "knob":
                first = 0
            if road == "knob":  # the knob turns from a known program each run
                rig.cmd("burst ipc 1 1 0 %d 1" % (10 + 40 * (r % 2)))
                wait_quiet(rig.log)
            marker = "run %s %d" % (cell, r)
            rig.cmd("mark " + marker)
            rig.cmd("burst %s 1 20 %s %d 1" % (road, gap, first))
            settled = wait_quiet(rig.log)
            state = rig.cmd("state 1")[0]
            lib = rig.grab()
            rig.click(905, 29)
            time.sleep(0.5)
            multi = rig.grab()
            rig.click(1009, 29)
            time.sleep(0.5)
            wait_quiet(rig.log, 0.5, 4)
            lines = read_run(rig.log, marker)
            j = judge(lines, mode, road, local)
            plays = re.search(r"name '([^']*)'", state).group(1).strip()
            want = ("Fact%d" if mode == "lib" else "SOUND A%02d") % j["last"]
            ok_inst = plays == want
            look = (digest(lib, TOPBAR), digest(lib, UPPER), digest(lib, LOWER), digest(multi, MULTI_PART2))
            looks[j["last"]][look] += 1
            results.append((r, j, plays, want, ok_inst, look, settled, lib, multi))
            out.write("%s run %d last %d plays %s %s settled %s sent_back %d last_pc %s reqs_after %d "
                      "late %s edges %d faults %s look %s\n" % (
                          cell, r, j["last"], plays, "OK" if ok_inst else "WRONG", settled, j["sent_back"],
                          j["last_pc"], j["requests_after_last"], ",".join(str(x) for x in j["lags"]),
                          j["edges"], j["faults"], "/".join(look)))
            out.flush()
        usual = {k: c.most_common(1)[0][0] for k, c in looks.items()}
        good = 0
        for r, j, plays, want, ok_inst, look, settled, lib, multi in results:
            same = look == usual[j["last"]]
            if not same or not ok_inst or j["faults"]:
                tag = "%s-%d" % (cell.replace(":", "_"), r)
                rig.shot(os.path.join(work, tag + "-lib.png"), lib)
                rig.shot(os.path.join(work, tag + "-multi.png"), multi)
            if same and ok_inst and not j["faults"]:
                good += 1
        for last, c in looks.items():
            u = usual[last]
            r0 = next(x for x in results if x[1]["last"] == last and x[5] == u)
            tag = "%s-usual-%d" % (cell.replace(":", "_"), last)
            rig.shot(os.path.join(work, tag + "-lib.png"), r0[7])
            rig.shot(os.path.join(work, tag + "-multi.png"), r0[8])
        out.write("CELL %s local %d: %d of %d good; looks %s\n" % (cell, local, good, runs,
                                                                   {k: dict(v) for k, v in looks.items()}))
        out.flush()
    rig.close()


if __name__ == "__main__":
    main()
