"""fwflash-cli.exe on a line under Wine, against a private PostgreSQL 15 server over TCP
that authenticates with scram-sha-256 (the password by PGPASSWORD), beside the Linux
fwflash-cli: stations on COM1 and COM2 mapped to virtual devices, an outage of the
server, the dashboard that the Windows program serves in headless Chromium, and the
refusals. Run one scenario: wine_line.py NAME, by run-wine-tests.sh with COM1 and COM2
mapped to $FWFLASH_WINE_COM1 and _COM2 (empty directories until now)."""
import collections
import glob
import json
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.error
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), 'dashboard'))
from line_processes import BUILD, PG_PASSWORD, SERIAL_AT, SOURCE, Line, Program, wait_for  # noqa: E402
from browser_scenarios import await_tile  # noqa: E402

EXE = os.environ['FWFLASH_WINE_CLI']
PORTS = {'COM1': os.environ['FWFLASH_WINE_COM1'], 'COM2': os.environ['FWFLASH_WINE_COM2']}
LIMIT = 240.0  # a bound for a busy machine, never reached when all is well


def windows_path(path):
    return 'Z:' + path.replace('/', '\\')  # Wine's Z: is /


def events(program, kind):
    """The JSON events of one kind that a program with --json wrote, in order."""
    found = []
    for _, text in list(program.out):
        if text.startswith('{'):
            event = json.loads(text)
            if event['event'] == kind:
                found.append(event)
    return found


class WineProgram(Program):
    """A program under Wine, its output read through files as it comes: the processes
    that Wine starts beside a program would hold pipes open after it ended."""

    def __init__(self, args, env):
        self.args = args
        self.out, self.err = [], []
        files = [tempfile.NamedTemporaryFile(prefix='wine-out.') for _ in range(2)]
        self.process = subprocess.Popen(args, stdout=files[0], stderr=files[1], env=env, start_new_session=True)
        self._readers = [threading.Thread(target=self._follow, args=(file, kept), daemon=True)
                         for file, kept in zip(files, (self.out, self.err))]
        for reader in self._readers:
            reader.start()

    def _follow(self, file, kept):
        with open(file.name, 'rb') as stream:
            pending = b''
            while True:
                ended = self.process.poll() is not None
                pending += stream.read()
                *lines, pending = pending.split(b'\n')
                for raw in lines:
                    kept.append((time.monotonic(), raw.decode('utf-8', 'replace').rstrip('\r')))
                if ended:
                    break
                time.sleep(0.02)
        file.close()


class WineLine(Line):
    """A Line whose fwflash-cli.exe runs under Wine, on COM ports mapped to devices."""

    def __init__(self):
        super().__init__()
        # One server of the prefix for the scenario's programs, started apart from them.
        subprocess.run(['wineserver', '-p', '10'], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=False)
        self.env = dict(os.environ, PGPASSWORD=PG_PASSWORD)
        self.uri = None

    def __exit__(self, *failure):
        # The prefix's programs end first: the server holds the ports' terminals.
        subprocess.run(['wineserver', '-k'], stderr=subprocess.DEVNULL, check=False)
        subprocess.run(['wineserver', '-w'], check=False)
        super().__exit__(*failure)
        # A port always names something: Wine opens /dev/ttyS* for a path that names nothing.
        for path in PORTS.values():
            if os.path.islink(path):
                os.unlink(path)
            os.makedirs(path, exist_ok=True)

    def com_device(self, name, *options):
        os.rmdir(PORTS[name])
        return self.device(PORTS[name], *options)

    def server(self):
        """A private server over TCP: its URI without the password, which goes by PGPASSWORD."""
        self.uri = self.postgresql().replace(':' + PG_PASSWORD + '@', '@')
        return self.uri

    def outage(self, step):
        """The server stopped ('pause') or started again ('resume') on the same data and port."""
        subprocess.run([os.path.join(SOURCE, 'tests/support/postgres-server.sh'), step, self.postgres[0]], check=True)

    def flashing(self, program, pc, ports, *options, serials=True):
        """fwflash-cli (Linux) or fwflash-cli.exe (Wine) flashing at ports into the server."""
        on_wine = program == EXE
        path = windows_path if on_wine else (lambda p: p)
        command = (['wine', EXE] if on_wine else [os.path.join(BUILD, 'fwflash-cli')]) + [
            '--firmware', path(self.image), '--record', self.uri, '--pc', pc, '--product', 'probe',
            '--json', '--log', path(os.path.join(self.dir, pc + '.log'))]
        if not on_wine:  # the Windows program keeps its default spool, under %LOCALAPPDATA%
            command += ['--spool', os.path.join(self.dir, pc + '-spool.sqlite')]
        if serials:
            command += ['--serial-at', str(SERIAL_AT), '--serial-format', 'u32le']
        for port in ports:
            command += ['--port', port]
        program = (WineProgram if on_wine else Program)(command + list(options), env=self.env)
        self.programs.append(program)
        return program

    def exe(self, *args, password=PG_PASSWORD):
        """fwflash-cli.exe run to its end: (exit code, its output and errors)."""
        program = WineProgram(['wine', EXE, *args], env=dict(self.env, PGPASSWORD=password))
        self.programs.append(program)
        return program.wait(LIMIT), program.transcript()

    def stored(self):
        """Every record in the server: (pc, port, ok, serial)."""
        rows = subprocess.run(['psql', '-X', '-q', '-A', '-t', '-F', '|', '-d', self.uri, '-c',
                               "SELECT pc, port, ok, coalesce(serial::text, '') FROM fwflash_records"],
                              capture_output=True, text=True, env=self.env, check=True).stdout.split()
        return collections.Counter(tuple(row.split('|')) for row in rows)

    def windows_spool(self):
        spools = glob.glob(os.path.join(os.environ['WINEPREFIX'], 'drive_c/users/*/AppData/Local/fwflash/spool.sqlite'))
        assert len(spools) == 1, 'no spool under %LOCALAPPDATA%\\fwflash: ' + repr(spools)
        return spools[0]


def reported(program, pc):
    return collections.Counter((pc, r['port'], 't' if r['ok'] else 'f', r['serial'] or '')
                               for r in events(program, 'result'))


class WineOnALine(unittest.TestCase):
    def test_two_pcs_windows_and_linux_give_distinct_serials_and_record_each_device_once(self):
        with WineLine() as line:
            line.server()
            linux_ports = [os.path.join(line.dir, name) for name in ('ttyA', 'ttyB')]
            for name in PORTS:
                line.com_device(name)
            for port in linux_ports:
                line.device(port, '--replug', '30')
            # The Linux PC in station mode; the Windows PC's devices are taken one run
            # after the other, as a COM port's link that goes away would leave Wine
            # opening the machine's own serial port.
            linux = line.flashing(os.path.join(BUILD, 'fwflash-cli'), 'linux-pc', linux_ports, '--wait', '--count', '3')
            devices = collections.Counter()
            for _ in range(3):
                windows = line.flashing(EXE, 'windows-pc', list(PORTS))
                self.assertEqual(windows.wait(LIMIT), 0, windows.transcript())
                devices += reported(windows, 'windows-pc')
            self.assertEqual(linux.wait(LIMIT), 0, linux.transcript())
            devices += reported(linux, 'linux-pc')

            self.assertEqual(sum(devices.values()), 12)
            serials = [serial for (_, _, _, serial) in devices.elements()]
            self.assertEqual(len(set(serials)), 12, 'a number given twice: %s' % serials)
            self.assertEqual(line.stored(), devices, 'each device recorded once, on its PC')

            # The password shows nowhere: output, logs, records, the spools, the report.
            code, csv = line.exe('--report', '--csv', '--record', line.uri)
            self.assertEqual(code, 0, csv)
            dump = subprocess.run(['pg_dump', '-d', line.uri, '--data-only'], capture_output=True,
                                  env=line.env, check=True).stdout
            texts = [program.transcript() for program in line.programs] + [csv, dump.decode('utf-8', 'replace')]
            kept = glob.glob(os.path.join(line.dir, '*.log')) + glob.glob(os.path.join(line.dir, '*spool*'))
            self.assertEqual(len(kept), 3, 'the two logs and the Linux spool: %s' % kept)
            for path in kept + [line.windows_spool()]:
                with open(path, 'rb') as file:
                    texts.append(file.read().decode('latin-1'))
            for text in texts:
                self.assertNotIn(PG_PASSWORD, text)

    def test_an_outage_spools_the_records_and_delivers_each_once(self):
        with WineLine() as line:
            line.server()
            size = 3000  # about 6 s at 9600 baud
            with open(line.image, 'wb') as image:
                image.write(bytes((i * 13 + 1) % 251 for i in range(size)))
            line.com_device('COM1', '--size', str(size))
            line.com_device('COM2', '--size', str(size), '--baud-emulation')
            # Station mode: each station flashes its device and then waits for it to go,
            # which it never does; the process runs on until the scenario ends.
            windows = line.flashing(EXE, 'windows-pc', list(PORTS), '--wait', serials=False)
            wait_for(lambda: [e for e in events(windows, 'result') if e['port'] == 'COM1'], 'COM1\'s result', LIMIT)
            line.outage('pause')  # while COM2 still flashes
            wait_for(lambda: [e for e in events(windows, 'result') if e['port'] == 'COM2'], 'COM2\'s result', LIMIT)
            self.assertTrue([e for e in events(windows, 'store') if not e['ok']], windows.transcript())
            line.outage('resume')

            back = wait_for(lambda: [e for e in events(windows, 'store') if e['ok']], 'the store back', LIMIT)
            self.assertEqual(back[0]['delivered'], 1, windows.transcript())
            self.assertEqual(line.stored(), reported(windows, 'windows-pc'), 'each device recorded once')

    def test_the_dashboard_served_from_wine_in_chromium(self):
        with WineLine() as line:
            line.server()
            line.com_device('COM1', '--baud-emulation')
            line.com_device('COM2', '--fault', 'request@51=none')
            with socket.socket() as probe:
                probe.bind(('127.0.0.1', 0))
                port = probe.getsockname()[1]
            address = '127.0.0.1:%d' % port
            windows = line.flashing(EXE, 'windows-pc', list(PORTS), '--wait', '--serve', address)
            url = windows.await_line('err', lambda text: 'dashboard is at' in text, 'the dashboard\'s address',
                                     LIMIT)[1].rsplit(' ', 1)[1]
            self.assertEqual(url, 'http://%s/' % address)

            with urllib.request.urlopen(url, timeout=30) as page:
                self.assertEqual(page.headers['Content-Security-Policy'], "default-src 'self'")
            with self.assertRaises(urllib.error.HTTPError) as refused:
                urllib.request.urlopen(urllib.request.Request(url + 'api/stations', data=b'x', method='POST'), timeout=30)
            self.assertEqual(refused.exception.code, 405)

            driver = line.browser()
            driver.get(url)
            passed = wait_for(lambda: [e for e in events(windows, 'result') if e['ok']], 'a passed device', LIMIT)[0]
            shown = await_tile(driver, 'COM1', lambda t: t['state'] == 'passed', 'COM1 passed', LIMIT)
            self.assertIn('serial ' + passed['serial'], shown['text'])
            await_tile(driver, 'COM2', lambda t: t['state'] == 'failed', 'COM2 failed', LIMIT)

            code, out = line.exe('--record', line.uri, '--serve', address)
            self.assertEqual(code, 2, out)
            self.assertIn('cannot serve on ' + address, out)

    def test_a_wrong_password_and_tls_are_refused_plainly(self):
        with WineLine() as line:
            line.server()
            wrong = 'not-the-password-42'
            code, out = line.exe('--report', '--record', line.uri, password=wrong)
            self.assertEqual(code, 2, out)
            self.assertIn('password authentication failed', out)
            self.assertNotIn(wrong, out)
            code, out = line.exe('--report', '--record', line.uri + '?sslmode=require')
            self.assertEqual(code, 2, out)
            self.assertIn('this build has no TLS', out)
            self.assertNotIn(PG_PASSWORD, out)


if __name__ == '__main__':
    scenario = sys.argv[1]
    del sys.argv[1:]
    suite = unittest.TestSuite([WineOnALine('test_' + scenario)])
    sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
