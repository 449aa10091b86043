#!/usr/bin/env python3
"""QEMU's machine protocol (QMP) for the emulated boards' tests, on a -qmp unix socket.

    qmp.py SOCKET STEP...

Each STEP is a command with its arguments as JSON, run in order, e.g.
'memsave {"val": 0, "size": 262144, "filename": "/tmp/flash.bin"}', or
'await-status STATUS', which asks query-status until the machine is in that state
(30 s at most; "shutdown" once a reset has paused it). A command that fails, or a
machine that never gets there, ends the run with status 1 and the reason on stderr.
"""
import json
import socket
import sys
import time

WAIT_S = 30.0
POLL_S = 0.02


def connect(path):
    deadline = time.monotonic() + WAIT_S
    while True:  # QEMU makes the socket once it has started
        try:
            link = socket.socket(socket.AF_UNIX)
            link.connect(path)
            return link.makefile("rw")
        except (FileNotFoundError, ConnectionRefusedError):
            if time.monotonic() > deadline:
                raise
            time.sleep(POLL_S)


def answer(link):
    while True:  # events come between answers whenever they happen
        message = json.loads(link.readline())
        if "event" not in message:
            return message


def execute(link, command, arguments=None):
    request = {"execute": command}
    if arguments is not None:
        request["arguments"] = arguments
    link.write(json.dumps(request) + "\n")
    link.flush()
    reply = answer(link)
    if "error" in reply:
        sys.exit(f"qmp.py: {command}: {reply['error'].get('desc', reply['error'])}")
    return reply["return"]


def await_status(link, status):
    deadline = time.monotonic() + WAIT_S
    while execute(link, "query-status")["status"] != status:
        if time.monotonic() > deadline:
            sys.exit(f"qmp.py: the machine never reached '{status}'")
        time.sleep(POLL_S)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    link = connect(sys.argv[1])
    answer(link)  # the greeting
    execute(link, "qmp_capabilities")
    for step in sys.argv[2:]:
        command, _, arguments = step.partition(" ")
        if command == "await-status":
            await_status(link, arguments)
        else:
            execute(link, command, json.loads(arguments) if arguments else None)


if __name__ == "__main__":
    main()
