#!/usr/bin/python3
"""What the line's page costs per change at 240 stations (see bench/README.md, "The page
for a whole line"): 10 PCs x 24 stations as rows of a SQLite store, each flashing a
device in 15 s (a row change every 10 %, 1.5 s), passing, waiting 1 s, and again, every
station heartbeating every 2 s; one fwflash-cli --serve; 100 Server-Sent Events streams.
Measures the bytes per second sent to the 100 streams, the events and rows per event,
the time from a change's write to each stream (median, 99th percentile) and the serving
process's CPU. Prints
also what the whole list of stations weighs, which is what every event carried before.

  /usr/bin/python3 bench/dashboard_stream_bench.py [BUILD_DIR] [SECONDS]
"""
import json
import os
import re
import selectors
import socket
import sqlite3
import statistics
import sys
import threading
import time
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'dashboard'))
build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else 'build')
os.environ['FWFLASH_BUILD_DIR'] = build
from line_processes import Line, now_ms, station_row, write_stations  # noqa: E402

PCS, PER_PC, CLIENTS = 10, 24, 100
SECONDS = float(sys.argv[2]) if len(sys.argv) > 2 else 30.0
DEVICE_S, STEP_S, PASSED_S, HEARTBEAT_S = 15.0, 1.5, 1.0, 2.0
BY_PATH = '/dev/serial/by-path/pci-0000:00:14.0-usb-0:%d:1.0-port0'


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


class Stations:
    """The 240 stations' rows, changed as stations change them, in one writer thread."""

    def __init__(self, store):
        self.store, self.stop = store, threading.Event()
        self.rows = [station_row('pc-%d' % pc, BY_PATH % i, 'waiting', label='%s%d' % (chr(64 + pc), i))
                     for pc in range(1, PCS + 1) for i in range(1, PER_PC + 1)]
        start = time.monotonic()
        # Staggered, as devices come when they come.
        self.next_change = [start + (n * 0.137) % DEVICE_S for n in range(len(self.rows))]
        self.next_beat = [start + (n * 0.0531) % HEARTBEAT_S for n in range(len(self.rows))]
        write_stations(store, self.rows)
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def change(self, row):
        if row['state'] == 'flashing' and row['percent'] < 100:
            row['percent'] += 10
            if row['percent'] == 100:
                row['state'], row['percent'] = 'passed', 0
                return PASSED_S
            return STEP_S
        if row['state'] == 'passed':
            row['state'] = 'waiting'
            return DEVICE_S - 10 * STEP_S - PASSED_S + 1.0
        row['state'], row['percent'], row['serial'] = 'flashing', 0, (row['serial'] or 0) + 1
        return STEP_S

    def run(self):
        with sqlite3.connect(self.store, timeout=30) as db:
            while not self.stop.wait(0.05):
                now, wall = time.monotonic(), now_ms()
                written = []
                for n, row in enumerate(self.rows):
                    if now >= self.next_change[n]:
                        self.next_change[n] = now + self.change(row)
                        row['progress_ms'] = row['updated_ms'] = wall
                        written.append(row)
                    elif now >= self.next_beat[n]:
                        row['updated_ms'] = wall
                        written.append(row)
                    if now >= self.next_beat[n]:
                        self.next_beat[n] = now + HEARTBEAT_S
                if written:
                    db.executemany('UPDATE fwflash_stations SET state = ?, percent = ?, serial = ?, updated_ms = ?, '
                                   'progress_ms = ? WHERE pc = ? AND port = ?',
                                   [(r['state'], r['percent'], r['serial'], r['updated_ms'], r['progress_ms'],
                                     r['pc'], r['port']) for r in written])
                    db.commit()


def cpu_seconds(pid):
    with open('/proc/%d/stat' % pid) as stat:
        fields = stat.read().rsplit(')', 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf('SC_CLK_TCK')


def main():
    with Line() as line:
        server, url = line.cli()
        cpu_start = None
        stations = Stations(line.store)
        host, port = url.split('/')[2].split(':')
        selector = selectors.DefaultSelector()
        streams = []
        for _ in range(CLIENTS):
            stream = socket.create_connection((host, int(port)))
            stream.sendall(b'GET /api/events HTTP/1.1\r\nHost: bench\r\n\r\n')
            stream.setblocking(False)
            selector.register(stream, selectors.EVENT_READ, {'buffer': b''})
            streams.append(stream)
        warm_until = time.monotonic() + 3.0
        end = warm_until + SECONDS
        received, events, rows, delays = 0, 0, 0, []
        while time.monotonic() < end:
            for key, _ in selector.select(0.2):
                data = key.fileobj.recv(1 << 20)
                arrived = now_ms()
                if time.monotonic() < warm_until:
                    continue
                if cpu_start is None:
                    cpu_start = cpu_seconds(server.process.pid)
                received += len(data)
                buffer = key.data['buffer'] + data
                *complete, key.data['buffer'] = buffer.split(b'\n\n')
                for event in complete:
                    found = re.search(rb'event: (stations|changes)\ndata: ([^\n]*)', event)
                    if not found:
                        continue
                    events += 1
                    payload = json.loads(found.group(2))
                    rows += len(payload['stations'])
                    if found.group(1) == b'changes':
                        delays += [arrived - s['progress_ms'] for s in payload['stations']
                                   if arrived - s['progress_ms'] < 10000]
        cpu = (cpu_seconds(server.process.pid) - cpu_start) / SECONDS
        stations.stop.set()
        stations.thread.join()
        with urllib.request.urlopen(url + 'api/stations') as response:
            whole = len(json.dumps(json.loads(response.read())['stations'], separators=(',', ':')))
        for stream in streams:
            stream.close()
        per_stream = received / SECONDS / CLIENTS
        print('stations %d, streams %d, %.0f s' % (PCS * PER_PC, CLIENTS, SECONDS))
        print('serving process: %.1f %% of a core' % (100 * cpu))
        print('bytes/s to all streams: %.0f (%.0f per stream)' % (received / SECONDS, per_stream))
        print('events/s per stream: %.2f, stations per event: %.1f' % (events / SECONDS / CLIENTS, rows / max(events, 1)))
        print('change to stream: median %d ms, p99 %d ms (%d samples)' % (
            statistics.median(delays), percentile(delays, 0.99), len(delays)))
        print('the whole list: %d bytes; at this event rate every event carrying it: %.0f bytes/s to all streams' % (
            whole, whole * events / SECONDS))


if __name__ == '__main__':
    main()
