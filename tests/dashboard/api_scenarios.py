"""The dashboard's HTTP side without a browser: fwflash-cli flashing virtual devices and
serving, asked over HTTP. Run one scenario: api_scenarios.py NAME."""
import csv
import io
import json
import os
import re
import socket
import subprocess
import sys
import unittest
import urllib.error
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from line_processes import BUILD, SOURCE, Line, now_ms, station_row, wait_for, write_stations  # noqa: E402


def request(url, method='GET', body=None):
    """(status, headers, body bytes), whatever the status."""
    try:
        with urllib.request.urlopen(urllib.request.Request(url, data=body, method=method), timeout=20) as response:
            return response.status, response.headers, response.read()
    except urllib.error.HTTPError as refusal:
        return refusal.code, refusal.headers, refusal.read()


def get_json(url):
    status, _, body = request(url)
    assert status == 200, (url, status, body)
    return json.loads(body)


def flashed_line(line, *extra):
    """Two stations, one device passing and one failing at byte 51, both results told:
    (cli, url, passing port, failing port)."""
    passing, failing = os.path.join(line.dir, 'pass'), os.path.join(line.dir, 'fail')
    line.device(passing)
    line.device(failing, '--fault', 'request@51=none')
    cli, url = line.cli('--port', passing, '--port', failing, '--wait', '--pc', 'pc-7', *extra)
    cli.await_line('out', lambda text: text.startswith(passing + ': ok'), 'the passed device')
    cli.await_line('out', lambda text: text.startswith(failing + ': failed'), 'the failed device')
    return cli, url, passing, failing


class EventStream:
    """The server's event stream at url, read as it comes: events() gives every (kind, data)
    received so far, after reading what has arrived within 0.1 s."""

    def __init__(self, url):
        host, number = url.split('/')[2].split(':')
        self.socket = socket.create_connection((host, int(number)), timeout=10)
        self.socket.sendall(b'GET /api/events HTTP/1.1\r\nHost: x\r\n\r\n')
        self.socket.settimeout(0.1)
        self.received = b''

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.socket.close()

    def events(self):
        try:
            self.received += self.socket.recv(65536)
        except socket.timeout:
            pass
        return [(kind.decode(), json.loads(data)) for kind, data in
                re.findall(rb'event: (\w+)\ndata: (.*)\n', self.received)]


class Api(unittest.TestCase):
    def test_stations_records_and_summary_as_json(self):
        with Line() as line:
            cli, url, passing, failing = flashed_line(line)
            stations = wait_for(lambda: (lambda s: s if len(s['stations']) == 2 and all(
                x['state'] in ('passed', 'failed') for x in s['stations']) else None)(get_json(url + 'api/stations')),
                'both results in the stations\' rows')
            by_port = {s['port']: s for s in stations['stations']}
            self.assertEqual(by_port[passing]['state'], 'passed')
            self.assertEqual(by_port[failing]['state'], 'failed')
            self.assertEqual(by_port[failing]['step'], 'read-byte')
            self.assertEqual(by_port[failing]['message'], 'Cannot read from comm port!')
            for station in by_port.values():
                self.assertEqual(station['pc'], 'pc-7')
                self.assertTrue(station['running'])
                self.assertRegex(station['serial'], r'^700[01]$')  # a string of digits
                self.assertRegex(station['firmware_crc32'], r'^0x[0-9A-F]{8}$')

            records = get_json(url + 'api/records')['records']
            self.assertEqual(sorted(r['port'] for r in records), sorted([passing, failing]))
            self.assertEqual({r['serial'] for r in records}, {'7000', '7001'})
            failed = get_json(url + 'api/records?failed=1')['records']
            self.assertEqual([(r['port'], r['result'], r['step'], r['byte']) for r in failed],
                             [(failing, 'failed', 'read-byte', 51)])
            self.assertEqual(get_json(url + 'api/records?failed=0')['records'], records)
            one = get_json(url + 'api/records?serial=' + failed[0]['serial'])['records']
            self.assertEqual([r['id'] for r in one], [failed[0]['id']])
            self.assertEqual(len(get_json(url + 'api/records?limit=1')['records']), 1)
            self.assertEqual(get_json(url + 'api/records?since=2999-01-01')['records'], [])

            summary = get_json(url + 'api/summary')
            self.assertEqual((summary['passed'], summary['failed'], summary['yield']), (1, 1, 0.5))
            self.assertEqual(summary['last_hour'], {'passed': 1, 'failed': 1})
            self.assertEqual(summary['failed_steps'], [{'step': 'read-byte', 'failed': 1}])
            self.assertEqual(summary['serials'], {'count': 2, 'lowest': '7000', 'highest': '7001'})
            self.assertEqual(summary['store'], line.store)
            self.assertEqual(get_json(url + 'api/summary?until=2000-01-01')['passed'], 0)

    def test_only_get_and_head_and_the_page_s_headers(self):
        with Line() as line:
            _, url = line.cli()
            for path in ('', 'api/stations', 'api/records', 'records.csv', 'api/events', 'nothing'):
                for method in ('POST', 'PUT', 'DELETE', 'PATCH', 'OPTIONS'):
                    status, headers, _ = request(url + path, method, b'x' if method != 'OPTIONS' else None)
                    self.assertEqual((path, method, status), (path, method, 405))
                    self.assertEqual(headers['Allow'], 'GET, HEAD')
            for path in ('', 'dashboard.js', 'dashboard.css', 'favicon.svg', 'api/summary', 'nothing'):
                status, headers, body = request(url + path)
                self.assertEqual(headers['Content-Security-Policy'], "default-src 'self'")
                self.assertEqual(headers['X-Content-Type-Options'], 'nosniff')
                self.assertIsNone(headers['Set-Cookie'])
                self.assertEqual(status, 404 if path == 'nothing' else 200)
            status, headers, body = request(url + 'api/stations', 'HEAD')
            self.assertEqual((status, body), (200, b''))
            self.assertEqual(headers['Content-Type'], 'application/json')
            # The page's script is the page's only script, and it carries no inline parts.
            page = request(url)[2].decode()
            self.assertNotIn('style=', page)
            self.assertEqual(page.count('<script'), 1)
            self.assertIn('<script src="/dashboard.js" defer></script>', page)

    def test_bad_values_get_400_and_oversized_requests_the_library_s_limits(self):
        with Line() as line:
            _, url = line.cli()
            bad = ['api/records?failed=2', 'api/records?failed=yes', 'api/records?serial=-1',
                   'api/records?serial=12a', 'api/records?serial=9223372036854775808', 'api/records?serial=0x10',
                   'api/records?limit=0', 'api/records?limit=1001', 'api/records?limit=ten',
                   'api/records?since=yesterday', 'api/records?until=2026-13-01', 'api/records?limit=5&limit=6',
                   'api/summary?since=2026-12-08T25:00', 'records.csv?until=never']
            for path in bad:
                status, _, body = request(url + path)
                self.assertEqual((path, status), (path, 400))
                self.assertTrue(json.loads(body)['error'])
            for path in ('api/records?serial=9223372036854775807&limit=1000&failed=0',
                         'api/records?since=2026-12-08&until=2026-12-08T06:00:00.5%2B01:00',
                         'api/records?since=&until=', 'records.csv?since=2026-12-08+06:00:00'):
                self.assertEqual((path, request(url + path)[0]), (path, 200))
            self.assertEqual(request(url + 'api/records?serial=' + '1' * 9000)[0], 414)
            status = request(url + 'api/stations?' + 'a=b&' * 3000)[0]
            self.assertIn(status, (400, 414))
            self.assertEqual(request(url + 'api/stations')[0], 200)  # and serving goes on

    def test_the_csv_is_the_report_s_csv(self):
        with Line() as line:
            cli, url, _, _ = flashed_line(line)
            for query, options in (('', []), ('?since=2000-01-01&until=2999-01-01', ['--since', '2000-01-01',
                                                                                     '--until', '2999-01-01']),
                                   ('?since=2999-01-01', ['--since', '2999-01-01'])):
                status, headers, served = request(url + 'records.csv' + query)
                self.assertEqual(status, 200)
                self.assertTrue(headers['Content-Type'].startswith('text/csv'))
                report = subprocess.run([os.path.join(BUILD, 'fwflash-cli'), '--report', '--csv', '--record',
                                         line.store, '--spool', os.path.join(line.dir, 'report-spool.sqlite'),
                                         *options], capture_output=True, timeout=60)
                self.assertEqual(report.returncode, 0)
                self.assertEqual(served, report.stdout)
            rows = list(csv.reader(io.StringIO(request(url + 'records.csv')[2].decode(), newline='')))
            self.assertEqual(len(rows), 3)

    def test_a_taken_or_unbindable_address_is_refused_before_any_station_starts(self):
        with Line() as line:
            _, url = line.cli()
            taken = url.split('/')[2]
            report = os.path.join(line.dir, 'device.report')
            port = os.path.join(line.dir, 'station')
            line.device(port, '--report', report)
            for serve in (taken, '192.0.2.1:8080', 'localhost:http', '70000', ':8080', '[::1'):
                program, _ = line.cli('--port', port, '--wait', '--serve', serve, serve=False)
                self.assertEqual((serve, program.wait()), (serve, 2))
                self.assertIn('--serve', program.transcript())
            self.assertFalse(os.path.exists(report))  # not one conversation
            with socket.create_connection(('127.0.0.1', int(taken.split(':')[1])), timeout=5):
                pass  # the first server still serves

    def test_a_station_not_heard_from_for_15_s_is_not_running(self):
        with Line() as line:
            _, url = line.cli()
            port = os.path.join(line.dir, 'station')
            line.device(port)
            stations, _ = line.cli('--port', port, '--wait', serve=False)
            stations.await_line('out', lambda text: ': ok' in text, 'the result')
            # The result line comes before the station's state thread writes its row: the
            # passed row is awaited, or the kill could leave it at flashing.
            wait_for(lambda: [s['state'] for s in get_json(url + 'api/stations')['stations']] == ['passed'],
                     'the passed row')
            stations.process.kill()  # no clean end: the row is never marked stopped
            stations.process.wait()
            row = wait_for(lambda: (lambda s: s[0] if s and not s[0]['running'] else None)(
                get_json(url + 'api/stations')['stations']), 'the station to be not running', timeout=40)
            self.assertEqual(row['state'], 'passed')  # its last word, kept
            # A stream opened now gets the clock of now, by which a page tells the silence,
            # and the station's end of running (in the whole list, or as a change after it).
            with EventStream(url) as stream:
                def stations_events():
                    found = [data for kind, data in stream.events() if kind in ('stations', 'changes')]
                    return found if found and not found[-1]['stations'][0]['running'] else None
                events = wait_for(stations_events, 'the stream to tell the station is not running')
            self.assertGreater(events[0]['now_ms'] - events[0]['stations'][0]['updated_ms'], 15000)

    def test_a_heartbeat_sends_nothing_and_a_change_only_its_station(self):
        with Line() as line:
            _, url = line.cli()
            rows = [station_row('pc-1', '/dev/ttyUSB%d' % i, 'flashing', 10, label='A%d' % i) for i in range(3)]
            write_stations(line.store, rows)
            with EventStream(url) as stream:
                def events():
                    return [(kind, data) for kind, data in stream.events() if kind in ('stations', 'changes')]
                wait_for(lambda: [len(data['stations']) for kind, data in events()][-1:] == [3], 'every station')
                before = len(events())
                for row in rows:  # heartbeats: written again, only their time new
                    row['updated_ms'] = now_ms()
                write_stations(line.store, rows)
                rows[1]['percent'] = 50
                write_stations(line.store, [rows[1]])
                sent = wait_for(lambda: events()[before:], 'the change')
                self.assertEqual([kind for kind, _ in sent], ['changes'])
                self.assertEqual([(s['label'], s['percent']) for s in sent[0][1]['stations']], [('A1', 50)])

    def test_a_store_that_cannot_be_read_stops_the_streams_clock_of_reading(self):
        with Line() as line:
            _, url = line.cli(store=line.postgresql())
            with EventStream(url) as stream:
                def clocks():
                    return [data for kind, data in stream.events() if kind == 'clock']
                # Without news the stream still tells the time, and that of the store's last reading.
                first = wait_for(lambda: clocks()[-1:], 'a clock without news')[0]
                self.assertLessEqual(first['now_ms'] - first['read_ms'], 3000)
                subprocess.run([os.path.join(SOURCE, 'tests/support/postgres-server.sh'), 'stop', line.postgres[-1]],
                               check=True, capture_output=True)
                # By which the page tells that it hears nothing of the stations any more.
                wait_for(lambda: any(c['now_ms'] - c['read_ms'] > 5000 for c in clocks()), 'the reading to stop')

    def test_event_streams_beyond_the_limit_get_503(self):
        with Line() as line:
            _, url = line.cli()
            host, port = url.split('/')[2].split(':')
            streams = []
            try:
                for _ in range(128):
                    stream = socket.create_connection((host, int(port)), timeout=10)
                    stream.sendall(b'GET /api/events HTTP/1.1\r\nHost: x\r\n\r\n')
                    streams.append(stream)
                for stream in streams:  # each is open: its answer has begun
                    self.assertTrue(stream.recv(64).startswith(b'HTTP/1.1 200'))
                status, headers, _ = request(url + 'api/events')
                self.assertEqual(status, 503)
                self.assertEqual(request(url + 'api/stations')[0], 200)  # the page's requests still go
            finally:
                for stream in streams:
                    stream.close()
            wait_for(lambda: request(url + 'api/events', 'HEAD')[0] == 200, 'a stream to be had again')


if __name__ == '__main__':
    unittest.main(argv=[sys.argv[0]] + ['Api.test_' + name for name in sys.argv[1:]])
