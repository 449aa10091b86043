#!/usr/bin/python3
"""The dashboard that fwflash-cli.exe serves under Wine (see bench/README.md, "fwflash-cli.exe
on a line"): 20 Server-Sent Events clients watch 8 stations of a Linux fwflash-cli flashing
600-byte images at emulated 9600 baud into a private PostgreSQL server (LISTEN/NOTIFY);
the time from a station's change (its progress or result line, as the stations' process
prints it) to each client, median and 99th percentile, as dashboard_bench.py measures it
for the Linux server.

  /usr/bin/python3 bench/wine_dashboard_bench.py [BUILD_DIR] [SECONDS]
      (default build, 30 s; build-win32/fwflash-cli.exe beside BUILD_DIR)
"""
import os
import shutil
import socket
import statistics
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else 'build')
os.environ.setdefault('FWFLASH_WINE_CLI', os.path.join(os.path.dirname(build), 'build-win32', 'fwflash-cli.exe'))
os.environ.setdefault('WINEPREFIX', os.path.join(os.path.dirname(build), 'build-win32', 'bench-prefix'))
os.environ.update(WINEDEBUG='-all', WINEDLLOVERRIDES='mscoree,mshtml=')
unused = tempfile.mkdtemp(prefix='fwflash-unused-com.')  # the stations are the Linux program's
for port in ('FWFLASH_WINE_COM1', 'FWFLASH_WINE_COM2'):
    os.environ.setdefault(port, os.path.join(unused, port))
sys.path.insert(0, os.path.join(here, '..', 'tests', 'win32'))
import dashboard_bench  # noqa: E402  (its argv: BUILD_DIR SECONDS, as here)
from wine_line import EXE, PG_PASSWORD, WineLine, WineProgram  # noqa: E402

STATIONS, CLIENTS = 8, 20
dashboard_bench.CLIENTS = CLIENTS


def wine_live_latency(line):
    uri = line.server()
    with socket.socket() as probe:
        probe.bind(('127.0.0.1', 0))
        address = '127.0.0.1:%d' % probe.getsockname()[1]
    server = WineProgram(['wine', EXE, '--record', uri, '--serve', address], env=line.env)
    line.programs.append(server)
    server.await_line('err', lambda text: 'dashboard is at' in text, 'the dashboard\'s address', 120)
    links = [os.path.join(line.dir, 'station%02d' % i) for i in range(STATIONS)]
    for link in links:
        line.device(link, '--baud-emulation', '--replug', '100')
    clients = dashboard_bench.Clients(address)
    ports = sum((['--port', link] for link in links), [])
    cli, _ = line.cli(*ports, '--wait', store=uri.replace('@', ':%s@' % PG_PASSWORD, 1), serve=False)
    clients.pump(time.monotonic() + 5)  # every station under way
    start = time.monotonic()
    clients.pump(start + dashboard_bench.SECONDS)
    told = dashboard_bench.told_changes(cli)
    delays = [(at - told[change]) * 1000 for change, at in clients.seen
              if change in told and told[change] >= start - 5]
    devices = sum(1 for change in told if change[2] in ('passed', 'failed'))
    print('Live under Wine (PostgreSQL): %d stations, %d clients, %.0f s, %d devices, %d change deliveries matched'
          % (STATIONS, CLIENTS, time.monotonic() - start, devices, len(delays)))
    print('  change to client: median %.0f ms, p99 %.0f ms, max %.0f ms'
          % (statistics.median(delays), dashboard_bench.percentile(delays, 0.99), max(delays)))
    cli.stop()


if __name__ == '__main__':
    try:
        with WineLine() as line:
            wine_live_latency(line)
    finally:
        shutil.rmtree(unused, ignore_errors=True)
