#!/usr/bin/python3
"""The line's dashboard under load (see bench/README.md, "Dashboard"):

  1. 100 Server-Sent Events clients watch 16 stations flashing 600-byte images at
     emulated 9600 baud, the stations in one fwflash-cli and the dashboard served by
     another: the time from a station's change (its progress or result line, as the
     stations' process prints it) to each client, median and 99th percentile, and the
     serving process's CPU and memory.
  2. The time to the first drawn records table in headless Chromium with 100,000
     records in the store (performance mark "records-drawn", from navigation start).

  /usr/bin/python3 bench/dashboard_bench.py [BUILD_DIR] [SECONDS] [postgresql]
      (default build, 30 s, the store a SQLite file; postgresql: part 1 against a private
      PostgreSQL server, LISTEN/NOTIFY instead of data_version)
"""
import json
import os
import re
import selectors
import socket
import sqlite3
import statistics
import sys
import time
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'dashboard'))
build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else 'build')
os.environ['FWFLASH_BUILD_DIR'] = build
from line_processes import Line, wait_for  # noqa: E402

STATIONS, CLIENTS = 16, 100
SECONDS = float(sys.argv[2]) if len(sys.argv) > 2 else 30.0
POSTGRESQL = len(sys.argv) > 3 and sys.argv[3] == 'postgresql'
RECORDS = 100_000


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def process_figures(pid):
    with open('/proc/%d/stat' % pid) as stat:
        fields = stat.read().rsplit(')', 1)[1].split()
    status = dict(line.split(':', 1) for line in open('/proc/%d/status' % pid))
    ticks = (int(fields[11]) + int(fields[12])) / os.sysconf('SC_CLK_TCK')
    return ticks, status['VmRSS'].strip(), status['VmHWM'].strip(), status['Threads'].strip()


class Clients:
    """CLIENTS event streams on one selector: the first time each sees a station's
    (port, serial, state, percent), in the whole list ("stations") or in the rows that
    changed ("changes")."""

    def __init__(self, address):
        self.selector = selectors.DefaultSelector()
        self.buffers, self.seen = {}, []
        host, port = address.split(':')
        for _ in range(CLIENTS):
            stream = socket.create_connection((host, int(port)))
            stream.sendall(b'GET /api/events HTTP/1.1\r\nHost: bench\r\n\r\n')
            stream.setblocking(False)
            self.selector.register(stream, selectors.EVENT_READ)
            self.buffers[stream] = b''
        self.known = {stream: set() for stream in self.buffers}

    def pump(self, until):
        while time.monotonic() < until:
            for key, _ in self.selector.select(timeout=0.05):
                now = time.monotonic()
                stream = key.fileobj
                data = stream.recv(1 << 20)
                if not data:
                    raise SystemExit('a stream ended')
                self.buffers[stream] += data
                # Chunked transfer: the events are found by their own lines.
                while True:
                    found = re.search(rb'event: (?:stations|changes)\ndata: ([^\n]*)\n\n', self.buffers[stream])
                    if not found:
                        break
                    self.buffers[stream] = self.buffers[stream][found.end():]
                    for row in json.loads(found.group(1))['stations']:
                        if row['serial'] is None:
                            continue
                        change = (row['port'], row['serial'], row['state'],
                                  row['percent'] if row['state'] == 'flashing' else 100)
                        if change not in self.known[stream]:
                            self.known[stream].add(change)
                            self.seen.append((change, now))


def told_changes(cli):
    """When the stations' process printed each change: {(port, serial, state, percent): time}."""
    told, pending = {}, {}
    for at, text in list(cli.out):
        progress = re.match(r'(.*): (\d+) % \(', text)
        result = re.match(r'(.*): (ok|failed).*serial (\d+)', text)
        if progress:
            pending.setdefault(progress.group(1), []).append((int(progress.group(2)), at))
        elif result:
            port, serial = result.group(1), result.group(3)
            for percent, when in pending.pop(port, []):
                told[(port, serial, 'flashing', percent)] = when
            told[(port, serial, 'passed' if result.group(2) == 'ok' else 'failed', 100)] = at
    return told


def live_latency(line):
    store = line.postgresql() if POSTGRESQL else line.store
    server, url = line.cli(store=store)
    address = url.split('/')[2]
    links = [os.path.join(line.dir, 'station%02d' % i) for i in range(STATIONS)]
    for link in links:
        line.device(link, '--baud-emulation', '--replug', '100')
    clients = Clients(address)
    ports = sum((['--port', link] for link in links), [])
    cli, _ = line.cli(*ports, '--wait', store=store, serve=False)
    clients.pump(time.monotonic() + 5)  # every station under way
    first = process_figures(server.process.pid)
    start = time.monotonic()
    clients.pump(start + SECONDS)
    last = process_figures(server.process.pid)
    elapsed = time.monotonic() - start
    told = told_changes(cli)
    delays = [(at - told[change]) * 1000 for change, at in clients.seen
              if change in told and told[change] >= start - 5]
    devices = sum(1 for change in told if change[2] in ('passed', 'failed'))
    print('Live (%s): %d stations, %d clients, %.0f s, %d devices, %d change deliveries matched'
          % ('PostgreSQL' if POSTGRESQL else 'SQLite', STATIONS, CLIENTS, elapsed, devices, len(delays)))
    print('  change to client: median %.0f ms, p99 %.0f ms, max %.0f ms'
          % (statistics.median(delays), percentile(delays, 0.99), max(delays)))
    print('  serving process: CPU %.1f %% of one core, RSS %s (peak %s), %s threads'
          % (100 * (last[0] - first[0]) / elapsed, last[1], last[2], last[3]))
    cli.stop()
    server.stop()


def records_table(line):
    # One real record, by a real flash, copied into RECORDS with their own ids and starts
    # spread over the last 24 hours.
    link = os.path.join(line.dir, 'one')
    line.device(link)
    cli, _ = line.cli('--port', link, serve=False)
    cli.wait(60)
    now_ms = int(time.time() * 1000)
    with sqlite3.connect(line.store) as db:
        db.execute('''WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?)
            INSERT INTO fwflash_records SELECT
              printf('%08x-0000-4000-8000-%012x', i, i), ? - i * 864, ? - i * 864 + 2000, 'pc-' || (i % 4),
              '/dev/ttyUSB' || (i % 16), product, fwflash_version, firmware_size, firmware_crc32, image_crc32,
              1000000 + i, i % 50 != 0, CASE WHEN i % 50 = 0 THEN 'read-byte' ELSE '' END, 0, bytes, seconds,
              sync_acknowledged, messages
            FROM n, (SELECT * FROM fwflash_records LIMIT 1)''', (RECORDS - 1, now_ms, now_ms))
        count = db.execute('SELECT count(*) FROM fwflash_records').fetchone()[0]
    _, url = line.cli()
    driver = line.browser(1280, 800)
    drawn = []
    for _ in range(5):
        # Each load on an idle server: the last page's counts are no longer being made.
        driver.get('about:blank')
        time.sleep(5)
        driver.get(url)
        drawn.append(wait_for(lambda: driver.execute_script(
            "const m = performance.getEntriesByName('records-drawn'); return m.length ? m[0].startTime : null"),
            'the records table', timeout=120))
    api = {}
    day_ago = time.strftime('%Y-%m-%dT%H:%M', time.gmtime(time.time() - 86400))
    for path in ('api/records', 'api/summary?since=' + day_ago, 'api/stations'):
        times = []
        for _ in range(5):
            begin = time.monotonic()
            with urllib.request.urlopen(url + path, timeout=120) as response:
                response.read()
            times.append((time.monotonic() - begin) * 1000)
        api[path] = statistics.median(times)
    print('Records table: %d records; first drawn %.0f ms after navigation start (median of 5; %s)'
          % (count, statistics.median(drawn), ', '.join('%.0f' % d for d in drawn)))
    for path, ms in api.items():
        print('  GET /%s: %.0f ms (median of 5)' % (path, ms))


if __name__ == '__main__':
    with Line() as line:
        live_latency(line)
    if not POSTGRESQL:
        with Line() as line:
            records_table(line)
