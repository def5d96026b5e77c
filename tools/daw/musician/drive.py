"""Keeps one rig (rigenv.Rig) alive and takes its commands over a UNIX
socket, one a connection, so a hand test can go on across shell calls:

    python3 drive.py WORK DISPLAY SOCKET [LOCAL] &
    echo 'rig state 1' | socat - UNIX:SOCKET     (or any client)

Commands: rig LINE (a rig command; its answers come back) | click X Y [BUTTON]
| dclick X Y | x ARGS (xdotool) | type TEXT | key KEYS | shot PNG (the window)
| rootshot PNG (the screen, menus included) | sh COMMAND (with the rig's
JACK server and display) | env | quit. File prompts and message boxes need a
dialog tool on PATH (a stand-in that logs its calls and answers from a file
will do)."""
import os
import socket
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from rigenv import Rig  # noqa: E402


def main():
    work, display, path = sys.argv[1], sys.argv[2], sys.argv[3]
    local = len(sys.argv) > 4 and sys.argv[4] == "1"
    repo = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
    rig = Rig(os.path.join(repo, "build/rel/TarnivexEditor"), os.environ.get("RIG_BIN", "/tmp/mus/rig"), display,
              work=work, local=local)
    print("up", rig.jack_name, rig.win, rig.size, flush=True)
    if os.path.exists(path):
        os.unlink(path)
    server = socket.socket(socket.AF_UNIX)
    server.bind(path)
    server.listen(1)
    while True:
        conn, _ = server.accept()
        line = conn.makefile().readline().strip()
        op, _, arg = line.partition(" ")
        out = ""
        try:
            if op == "rig":
                out = "\n".join(rig.cmd(arg))
            elif op == "click":
                a = arg.split()
                rig.click(int(a[0]), int(a[1]), int(a[2]) if len(a) > 2 else 1)
            elif op == "dclick":
                a = arg.split()
                rig.x("mousemove", "--window", rig.win, a[0], a[1])
                time.sleep(0.05)
                rig.x("click", "--repeat", "2", "--delay", "80", "1")
            elif op == "x":
                out = rig.x(*arg.split())
            elif op == "type":
                rig.x("type", "--delay", "60", arg)
            elif op == "key":
                rig.x("key", *arg.split())
            elif op == "shot":
                rig.shot(arg)
            elif op == "rootshot":
                rig.shot(arg, rig.grab(root=True))
            elif op == "sh":
                done = subprocess.run(arg, shell=True, env=rig.env, capture_output=True, text=True, timeout=60)
                out = done.stdout + done.stderr
            elif op == "env":
                out = repr((rig.jack_name, rig.work, rig.log))
            elif op == "quit":
                rig.close()
                conn.sendall(b"bye\n")
                conn.close()
                break
        except Exception:  # a hand test goes on after a bad command
            out = traceback.format_exc()
        conn.sendall((out + "\n").encode())
        conn.close()


if __name__ == "__main__":
    main()
