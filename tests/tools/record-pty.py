#!/usr/bin/env python3
# Records what a program writes to a pseudo-terminal (TERM=xterm-256color) while it is given
# keystrokes: a developer tool for the transcripts in tests/data/transcripts. Nothing answers the
# program's queries, so it goes on with its defaults.
#
#   record-pty.py OUT COLS ROWS KEYS_JSON -- COMMAND ARG...
#
# KEYS_JSON is a list of [seconds, text]: wait, recording, then type the text. The recording ends
# after the last entry's wait; its text (say ":q!\r") then goes to the program unrecorded, and the
# program is killed if it still runs.
import fcntl, json, os, pty, select, signal, struct, sys, termios, time

def main():
    out, cols, rows, keys = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), json.loads(sys.argv[4])
    command = sys.argv[sys.argv.index("--") + 1:]
    pid, fd = pty.fork()
    if pid == 0:
        fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", rows, cols, 0, 0))
        os.environ["TERM"] = "xterm-256color"
        os.environ["LANG"] = "C.UTF-8"
        os.execvp(command[0], command)
    recorded = bytearray()

    def drain(seconds):
        end = time.time() + seconds
        while True:
            left = end - time.time()
            if left <= 0:
                return
            ready, _, _ = select.select([fd], [], [], left)
            if ready:
                try:
                    data = os.read(fd, 65536)
                except OSError:
                    return
                if not data:
                    return
                recorded.extend(data)

    for delay, text in keys[:-1]:
        drain(delay)
        os.write(fd, text.encode())
    drain(keys[-1][0])
    with open(out, "wb") as f:
        f.write(recorded)
    if keys[-1][1]:
        os.write(fd, keys[-1][1].encode())
    time.sleep(0.5)
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    os.waitpid(pid, 0)

main()
