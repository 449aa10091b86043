#!/usr/bin/env python3
"""Flashes an application in the second protocol, as a scripted host, for the emulated
board's test: frame_flash.py TERMINAL APP RATE. The probe, a change to RATE and its check,
BEGIN, the pages as many in flight as the device announced, END. Exit 0 on RESULT 0."""
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
                sys.exit("no answer from the device")
            self.held += os.read(self.fd, 4096)
        data, self.held = self.held[:n], self.held[n:]
        return data

    def frame(self):
        header = self.read(12)
        start, kind, length, arg, crc = struct.unpack("<BBHII", header)
        if start != 0xC5 or crc != crc32(header[:8]):
            sys.exit("not a frame: %s" % header.hex())
        payload = self.read(length + 4)[:length] if length else b""
        return kind, arg, payload

    def expect(self, kind, arg):
        got = self.frame()[:2]
        if got != (kind, arg):
            sys.exit("expected kind 0x%x arg %d, got kind 0x%x arg %d" % (kind, arg, got[0], got[1]))


def main(path, app_path, rate):
    app = open(app_path, "rb").read()
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
    line.send(frame(BEGIN, 0, b"FWB1" + struct.pack("<I", len(app) + 8)))
    line.expect(ACK, 0)
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
    main(sys.argv[1], sys.argv[2], int(sys.argv[3]))
