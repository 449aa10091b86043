#!/usr/bin/env python3
"""bare-terminals.py DIR N: N pseudo-terminals of which only this process holds the far
end, so that no one else has them open. Prints their paths, one a line, then appends
what arrives on terminal i to DIR/arrived-i until SIGTERM, which reads the rest first."""
import os
import signal
import sys
import time

folder, count = sys.argv[1], int(sys.argv[2])
terminals = []
for i in range(count):
    far, near = os.openpty()
    path = os.ttyname(near)
    os.close(near)  # opened again by whoever uses the port
    os.set_blocking(far, False)
    terminals.append((far, open(os.path.join(folder, f"arrived-{i}"), "wb", buffering=0)))
    print(path, flush=True)

stopping = False


def stop(*_):
    global stopping
    stopping = True


signal.signal(signal.SIGTERM, stop)


def drain():
    for far, arrived in terminals:
        try:
            arrived.write(os.read(far, 4096))
        except OSError:  # nothing there, or the port was closed again
            pass


while not stopping:
    drain()
    time.sleep(0.01)
drain()
