#!/usr/bin/env python3
"""The second protocol spoken by a scripted host, for the emulated boards' tests.

    frame_flash.py TERMINAL APP RATE   flashes APP: the probe, a change to RATE and its check,
                                       BEGIN, the pages as many in flight as the device
                                       announced, END. Exit 0 on RESULT 0; a refused BEGIN
                                       says its RESULT and reason. A signed image (FWS1) as
                                       APP: its header goes in BEGIN, the rest as the
                                       application.
    frame_flash.py TERMINAL --probe    the probe, sent again until the device answers with its
                                       capabilities: then it is listening in its bootloader,
                                       waiting 3 s for the next byte."""
import os
import select
import struct
import sys
import tty
import zlib

BAUD, CHECK, BEGIN, DATA, END, CAPS, ACK, RESULT = 1, 2, 3, 4, 5, 0x81, 0x82, 0x84


def crc32(data):
    return zlib.crc32(data) & 0xFFFFFFFF


def frame(kind, arg, payload=b""):
    header = struct.pack("<BBHI", 0xC5, kind, len(payload), arg)
    header += struct.pack("<I", crc32(header))
    return header + (payload + struct.pack("<I", crc32(payload)) if payload else b"")


class Line:
    def __init__(self, path):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
        tty.setraw(self.fd)
        self.held = b""

    def send(self, data):
        os.write(self.fd, data)

    def read(self, n, seconds=5.0):
        while len(self.held) < n:
            if not select.select([self.fd], [], [], seconds)[0]:
                raise Silence()
            self.held += os.read(self.fd, 4096)
        data, self.held = self.held[:n], self.held[n:]
        return data

    def frame(self, seconds=5.0):
        header = self.read(12, seconds)
        start, kind, length, arg, crc = struct.unpack("<BBHII", header)
        if start != 0xC5 or crc != crc32(header[:8]):
            raise NotAFrame(header)
        payload = self.read(length + 4, seconds)[:length] if length else b""
        return kind, arg, payload

    def drain(self):
        self.held = b""
        while select.select([self.fd], [], [], 0.05)[0]:
            os.read(self.fd, 4096)

    def expect(self, kind, arg):
        got = self.frame()[:2]
        if got != (kind, arg):
            sys.exit("expected kind 0x%x arg %d, got kind 0x%x arg %d" % (kind, arg, got[0], got[1]))


class Silence(Exception):
    pass


class NotAFrame(Exception):
    pass


def probe(path):
    """A device that is not listening yet (an application that the probe resets, a bootloader
    starting) loses the probe, as QEMU loses the answer while it has not yet seen that the
    terminal is held open: the probe goes again after 200 ms without a whole answer."""
    line = Line(path)
    for _ in range(150):
        line.send(b"?")
        try:
            if line.frame(0.2)[0] == CAPS:
                return
        except (Silence, NotAFrame):
            pass
        line.drain()
    sys.exit("the device never answered the probe")


def header_and_app(path):
    data = open(path, "rb").read()
    if data[:4] == b"FWS1":
        size = struct.unpack("<I", data[4:8])[0]
        return data[:size], data[size:]
    return b"FWB1" + struct.pack("<I", len(data) + 8), data


def main(path, app_path, rate):
    header, app = header_and_app(app_path)
    line = Line(path)
    line.send(b"?")
    kind, _, caps = line.frame()
    if kind != CAPS:
        sys.exit("no capabilities")
    page, in_flight = struct.unpack("<H", caps[2:4])[0], caps[4]
    line.send(frame(BAUD, rate))
    line.expect(ACK, rate)
    line.send(frame(CHECK, rate))
    line.expect(ACK, rate)
    line.send(frame(BEGIN, 0, header))
    kind, arg, reason = line.frame()
    if kind == RESULT:
        sys.exit("refused: RESULT %d%s" % (arg, ", reason %d" % reason[0] if reason else ""))
    if (kind, arg) != (ACK, 0):
        sys.exit("expected ACK 0 to BEGIN, got kind 0x%x arg %d" % (kind, arg))
    sent = acked = 0
    while acked < len(app):
        while sent < len(app) and sent < acked + in_flight * page:
            line.send(frame(DATA, sent, app[sent:sent + page]))
            sent += page
        acked = min(len(app), acked + page)
        line.expect(ACK, acked)
    line.send(frame(END, len(app), struct.pack("<I", crc32(app))))
    line.expect(RESULT, 0)


if __name__ == "__main__":
    try:
        if sys.argv[2] == "--probe":
            probe(sys.argv[1])
        else:
            main(sys.argv[1], sys.argv[2], int(sys.argv[3]))
    except Silence:
        sys.exit("no answer from the device")
    except NotAFrame as bad:
        sys.exit("not a frame: %s" % bad.args[0].hex())
