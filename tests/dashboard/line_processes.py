"""The real parts a dashboard scenario runs: virtual devices, fwflash-cli processes that
flash and serve, a private PostgreSQL, and headless Chromium. Everything started here
is stopped when the scenario's Line ends, whatever way it ends."""
import json
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import time

BUILD = os.environ.get('FWFLASH_BUILD_DIR', os.getcwd())
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
IMAGE_SIZE = 600
SERIAL_AT = 16  # a blank u32 placeholder in the test image
PG_PASSWORD = 'fwflash-test'  # postgres-server.sh's


def wait_for(condition, what, timeout=20.0, interval=0.05):
    """condition() until it gives something true, at most timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError('gave up waiting for ' + what)
        time.sleep(interval)


class Program:
    """A running program whose output lines are read as they come, each with its time."""

    def __init__(self, args, env=None):
        self.args = args
        # Killed with the scenario should that die without its clean-up (a time-out's kill).
        self.process = subprocess.Popen(['/usr/bin/setpriv', '--pdeathsig', 'KILL', '--'] + list(args),
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        env=env, start_new_session=True)
        self.out, self.err = [], []
        self._readers = [threading.Thread(target=self._read, args=(stream, kept), daemon=True)
                         for stream, kept in ((self.process.stdout, self.out), (self.process.stderr, self.err))]
        for reader in self._readers:
            reader.start()

    @staticmethod
    def _read(stream, kept):
        for raw in stream:
            kept.append((time.monotonic(), raw.decode('utf-8', 'replace').rstrip('\n')))

    def await_line(self, which, test, what, timeout=20.0):
        """The first line of 'out' or 'err' that test accepts, as (time read, text)."""
        lines = self.out if which == 'out' else self.err

        def found():
            return next((line for line in list(lines) if test(line[1])), None)
        try:
            return wait_for(found, what, timeout)
        except AssertionError:
            raise AssertionError('no line: ' + what + '\n' + self.transcript())

    def transcript(self):
        return '\n'.join(text for _, text in self.out + self.err)

    def wait(self, timeout=30.0):
        """Its exit code once it has ended and all its output is read."""
        code = self.process.wait(timeout)
        for reader in self._readers:
            reader.join(timeout)
        return code

    def stop(self, timeout=20.0):
        """SIGTERM, then its exit code; SIGKILL after timeout."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            return self.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise AssertionError(' '.join(self.args) + ' did not end after SIGTERM')


class Line:
    """One scenario's line: its folder, store, devices, fwflash-cli processes, browsers."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix='fwdash.', dir='/tmp')
        self.programs, self.browsers, self.postgres = [], [], []
        self.image = os.path.join(self.dir, 'image.bin')
        with open(self.image, 'wb') as image:
            data = bytearray((i * 7 + 3) % 251 for i in range(IMAGE_SIZE))
            data[SERIAL_AT:SERIAL_AT + 4] = b'\0\0\0\0'
            image.write(data)
        self.store = os.path.join(self.dir, 'records.sqlite')

    def __enter__(self):
        return self

    def __exit__(self, *failure):
        for browser in self.browsers:
            browser.quit()
        for program in reversed(self.programs):
            if program.process.poll() is None:
                program.process.kill()
                program.process.wait()
        for folder in self.postgres:
            subprocess.run([os.path.join(SOURCE, 'tests/support/postgres-server.sh'), 'stop', folder])
        shutil.rmtree(self.dir, ignore_errors=True)

    def device(self, link, *options):
        """A virtual device at link (600 data bytes); returns once its terminal is there."""
        device = Program([os.path.join(BUILD, 'fwflash-vdev'), '--link', link, '--size',
                          str(IMAGE_SIZE), '--quiet', *options])
        self.programs.append(device)
        device.await_line('out', lambda text: text.startswith('/dev/'), 'the device\'s terminal')
        return device

    def cli(self, *args, store=None, serve=True):
        """fwflash-cli recording to the store (the line's SQLite file by default), with
        serial numbers when it flashes; with serve, also serving: (program, url)."""
        store = store or self.store
        command = [os.path.join(BUILD, 'fwflash-cli'), '--record', store, '--spool',
                   os.path.join(self.dir, 'spool-%d.sqlite' % len(self.programs))]
        if '--port' in args:
            command += ['--firmware', self.image, '--serial-at', str(SERIAL_AT), '--serial-format', 'u32le',
                        '--serial-first', '7000']
        if serve and '--serve' not in args:
            command += ['--serve', '0']
        program = Program(command + list(args))
        self.programs.append(program)
        url = None
        if serve:
            line = program.await_line('err', lambda text: 'dashboard is at' in text, 'the dashboard\'s address')
            url = line[1].rsplit(' ', 1)[1]
        return program, url

    def postgresql(self):
        """A private PostgreSQL 15 server of this scenario's own, on a loopback port: its
        connection URI with the password in it."""
        folder = tempfile.mkdtemp(prefix='fwpg.', dir='/tmp')
        os.rmdir(folder)
        self.postgres.append(folder)
        env = dict(os.environ, POSTGRES_SERVER_OWNER=str(os.getpid()))
        started = subprocess.run([os.path.join(SOURCE, 'tests/support/postgres-server.sh'), 'start', folder, 'tcp'],
                                 capture_output=True, text=True, env=env, timeout=120)
        if started.returncode != 0:
            raise AssertionError('no PostgreSQL server: ' + started.stderr)
        return started.stdout.strip().replace('//postgres@', '//postgres:' + PG_PASSWORD + '@')

    def browser(self, width=1280, height=800):
        """Headless Chromium showing width x height CSS pixels, its console and its
        requests logged."""
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        options = webdriver.ChromeOptions()
        options.binary_location = '/usr/bin/chromium'
        profile = tempfile.mkdtemp(prefix='chromium.', dir=self.dir)
        for argument in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
                         '--disable-component-update', '--disable-sync', '--no-first-run',
                         '--disable-dev-shm-usage', '--user-data-dir=' + profile,
                         '--window-size=%d,%d' % (width, height)):
            options.add_argument(argument)
        options.set_capability('goog:loggingPrefs', {'browser': 'ALL', 'performance': 'ALL'})
        driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
        self.browsers.append(driver)
        driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                               {'width': width, 'height': height, 'deviceScaleFactor': 1,
                                'mobile': width < 600})
        return driver


def console_errors(driver):
    return [entry for entry in driver.get_log('browser') if entry['level'] == 'SEVERE']


def requested_urls(driver):
    urls = []
    for entry in driver.get_log('performance'):
        message = json.loads(entry['message'])['message']
        if message['method'] == 'Network.requestWillBeSent':
            urls.append(message['params']['request']['url'])
    return urls



STATION_COLUMNS = ('pc', 'port', 'state', 'percent', 'serial', 'step', 'message', 'firmware_crc32',
                   'updated_ms', 'label', 'progress_ms')


def now_ms():
    return int(time.time() * 1000)


def write_stations(store, rows):
    """Station rows (dicts of STATION_COLUMNS) written straight into a SQLite store, as
    stations write them; the store's schema must be there (a server made it)."""
    import sqlite3
    with sqlite3.connect(store, timeout=30) as db:
        db.executemany('INSERT OR REPLACE INTO fwflash_stations (%s) VALUES (%s)' % (
            ', '.join(STATION_COLUMNS), ', '.join('?' * len(STATION_COLUMNS))),
            [tuple(row[c] for c in STATION_COLUMNS) for row in rows])


def station_row(pc, port, state='waiting', percent=0, serial=None, label='', step='', message='',
                updated_ms=None, progress_ms=None):
    updated = now_ms() if updated_ms is None else updated_ms
    return {'pc': pc, 'port': port, 'state': state, 'percent': percent, 'serial': serial, 'step': step,
            'message': message, 'firmware_crc32': 0x1C291CA3, 'updated_ms': updated, 'label': label,
            'progress_ms': updated if progress_ms is None else progress_ms}


class Heartbeats:
    """Every 2 s the rows of the running stations (heard from within 15 s) are written
    again with the time, and nothing else changes, as the stations' heartbeats do."""

    def __init__(self, store):
        self.store = store
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._beat, daemon=True)
        self._thread.start()

    def _beat(self):
        import sqlite3
        while not self._stop.wait(2.0):
            with sqlite3.connect(self.store, timeout=30) as db:
                now = now_ms()
                db.execute('UPDATE fwflash_stations SET updated_ms = ? WHERE updated_ms > ?', (now, now - 15000))

    def stop(self):
        self._stop.set()
        self._thread.join()
