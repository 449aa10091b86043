#!/usr/bin/python3
"""A whole line's live cost (see bench/README.md, "A line of 240 simulated stations"):
build/bench/line_simulator plays PCS x STATIONS stations, a device every DEVICE_SECONDS
each, against a private PostgreSQL server (fsync on), one fwflash-cli serves the
dashboard, and 100 Server-Sent Events clients watch it. Measured over SECONDS after the
stations are under way: the serving process's CPU and memory, the PostgreSQL server's
CPU (all its processes), the time from a station's change (as the simulator posts it)
to each client, and the simulator's commit times.

  /usr/bin/python3 bench/line_simulator_bench.py [BUILD_DIR] [SECONDS] [PCS] [STATIONS] [DEVICE_SECONDS]
      (defaults build, 60, 10, 24, 15)
"""
import os
import statistics
import subprocess
import sys
import time

sys.argv += [None] * (6 - len(sys.argv))
BUILD = os.path.abspath(sys.argv[1] or 'build')
SECONDS = float(sys.argv[2] or 60)
PCS, STATIONS = int(sys.argv[3] or 10), int(sys.argv[4] or 24)
DEVICE_SECONDS = float(sys.argv[5] or 15)
sys.argv = [sys.argv[0], BUILD, str(SECONDS)]  # what dashboard_bench reads at import
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from dashboard_bench import Clients, percentile, process_figures  # noqa: E402
from line_processes import SOURCE, Line, Program  # noqa: E402

PSQL = '/usr/lib/postgresql/15/bin/psql'


def server_ticks(folder):
    """CPU seconds of the PostgreSQL server: the postmaster, its ended children, its live ones."""
    with open(os.path.join(folder, 'data', 'postmaster.pid')) as pid_file:
        postmaster = int(pid_file.readline())
    total = 0
    for name in os.listdir('/proc'):
        if not name.isdigit():
            continue
        try:
            with open('/proc/%s/stat' % name) as stat:
                fields = stat.read().rsplit(')', 1)[1].split()
        except OSError:
            continue
        if int(name) == postmaster:
            total += sum(int(f) for f in fields[11:15])
        elif int(fields[1]) == postmaster:
            total += int(fields[11]) + int(fields[12])
    return total / os.sysconf('SC_CLK_TCK')


def changes(simulator):
    """When the simulator posted each change: {(port, serial, state, percent): time}."""
    told = {}
    for _, text in list(simulator.out):
        parts = text.split()
        if len(parts) == 6 and parts[0] == 'change':
            told[(parts[2], parts[3], parts[4], int(parts[5]))] = float(parts[1])
    return told


def main():
    os.environ['POSTGRES_SERVER_FSYNC'] = 'on'  # commits as a line's server makes them
    with Line() as line:
        uri = line.postgresql()
        folder = line.postgres[-1]
        # A connection per station, per PC's state writer, and the dashboard's.
        subprocess.run([PSQL, uri, '-qc', 'ALTER SYSTEM SET max_connections = 400'], check=True)
        script = os.path.join(SOURCE, 'tests/support/postgres-server.sh')
        subprocess.run([script, 'pause', folder], check=True)
        subprocess.run([script, 'resume', folder], check=True)
        server, url = line.cli(store=uri)
        clients = Clients(url.split('/')[2])
        simulator = Program([os.path.join(BUILD, 'bench', 'line_simulator'), '--record', uri,
                             '--pcs', str(PCS), '--stations', str(STATIONS), '--device-seconds',
                             str(DEVICE_SECONDS), '--seconds', str(SECONDS + 2 * DEVICE_SECONDS),
                             '--spool-dir', line.dir, '--changes'])
        line.programs.append(simulator)
        clients.pump(time.monotonic() + 1.5 * DEVICE_SECONDS)  # every station under way
        first, first_server = process_figures(server.process.pid), server_ticks(folder)
        start = time.monotonic()
        clients.pump(start + SECONDS)
        last, last_server = process_figures(server.process.pid), server_ticks(folder)
        elapsed = time.monotonic() - start
        simulator.wait(3 * DEVICE_SECONDS + 60)
        told = changes(simulator)
        delays = [(at - told[(port, str(serial), state, percent)]) * 1000
                  for (port, serial, state, percent), at in clients.seen
                  if (port, str(serial), state, percent) in told and start <= at <= start + SECONDS]
        print('Line of %d x %d simulated stations, a device every %.0f s each, PostgreSQL 15 (fsync on),'
              ' %d clients, %.0f s measured' % (PCS, STATIONS, DEVICE_SECONDS, len(clients.buffers), elapsed))
        print('  change to client: median %.0f ms, p99 %.0f ms, max %.0f ms (%d deliveries)'
              % (statistics.median(delays), percentile(delays, 0.99), max(delays), len(delays)))
        print('  serving process: CPU %.1f %% of one core, RSS %s (peak %s), %s threads'
              % (100 * (last[0] - first[0]) / elapsed, last[1], last[2], last[3]))
        print('  PostgreSQL server: CPU %.1f %% of one core' % (100 * (last_server - first_server) / elapsed))
        for _, text in simulator.err:
            print('  ' + text.strip())


if __name__ == '__main__':
    main()
