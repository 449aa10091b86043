"""The line's dashboard in a real browser (headless Chromium), fed by real fwflash-cli
stations flashing virtual devices. Run one scenario: browser_scenarios.py NAME."""
import os
import re
import sys
import time
import unittest
import urllib.request
from urllib.parse import urlparse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from line_processes import (BUILD, PG_PASSWORD, Heartbeats, Line, Program, console_errors, now_ms,  # noqa: E402
                            requested_urls, station_row, wait_for, write_stations)

TILES = """return Array.from(document.querySelectorAll('.tile')).map((tile) => ({
  pc: tile.dataset.pc, port: tile.dataset.port, classes: tile.className,
  state: tile.querySelector('.state').textContent, text: tile.textContent,
  bar: tile.querySelector('.fill') ? tile.querySelector('.fill').style.width : null}));"""


def tile(driver, port, pc=None):
    for found in driver.execute_script(TILES):
        if found['port'] == port and (pc is None or found['pc'] == pc):
            return found
    return None


def serial_of(result_line):
    found = re.search(r'serial ([0-9]+)', result_line)
    assert found, 'no serial in ' + result_line
    return found.group(1)


def live_text(driver):
    return driver.execute_script("return document.getElementById('live').textContent")


def await_tile(driver, port, test, what, timeout=30.0, pc=None):
    return wait_for(lambda: (lambda t: t if t and test(t) else None)(tile(driver, port, pc)), what, timeout)


BY_PATH = '/dev/serial/by-path/pci-0000:00:14.0-usb-0:%d:1.0-port0'


def whole_line():
    """10 PCs of 24 stations, written in an order that sorts wrong as text: most flashing,
    the others waiting or passed; PCs 1 to 5 with labels (A1, B1, ...). On pc-3 one
    failed, on pc-7 one silent, on pc-9 one stuck and one with a port problem."""
    rows, now = [], now_ms()
    for pc in range(10, 0, -1):
        for i in range(24, 0, -1):
            label = '%s%d' % (chr(ord('A') + pc - 1), i) if pc <= 5 else ''
            state = ('flashing', 'flashing', 'flashing', 'waiting', 'passed')[(pc + i) % 5]
            rows.append(station_row('pc-%d' % pc, BY_PATH % i, state, (i * 10) % 100 if state == 'flashing' else 0,
                                    pc * 1000 + i if state != 'waiting' else None, label))
    special = {('pc-3', 5): dict(state='failed', serial=3005, step='echo', message='Cannot read from comm port!'),
               ('pc-7', 12): dict(updated_ms=now - 60000),
               ('pc-9', 2): dict(state='flashing', percent=40, progress_ms=now - 45000),
               ('pc-9', 20): dict(state='port', message='Cannot open the port')}
    for row in rows:
        for (pc, i), change in special.items():
            if row['pc'] == pc and row['port'] == BY_PATH % i:
                row.update(change)
    return rows


TILE_BOXES = """return Array.from(document.querySelectorAll('.tile'), (t) => {
  const r = t.getBoundingClientRect();
  return {pc: t.dataset.pc, name: t.querySelector('.name').textContent, id: t.id,
          bottom: r.bottom, right: r.right, hidden: t.hidden};});"""


class Dashboard(unittest.TestCase):
    def test_page_loads_without_console_errors_or_other_hosts(self):
        with Line() as line:
            _, url = line.cli()
            driver = line.browser()
            driver.get(url)
            wait_for(lambda: live_text(driver) == 'live', 'the live stream')
            wait_for(lambda: driver.execute_script(
                "return document.querySelector('#records tbody td') !== null"), 'the records table')
            self.assertEqual(console_errors(driver), [])
            origin = urlparse(url).netloc
            urls = requested_urls(driver)
            self.assertIn(url + 'dashboard.js', urls)
            # Chromium's own new tab (chrome:, data:) is no request to a host.
            network = [u for u in urls if urlparse(u).scheme in ('http', 'https', 'ws', 'wss', 'ftp')]
            self.assertEqual([u for u in network if urlparse(u).netloc != origin], [])
            self.assertEqual(driver.title, 'fwflash line')
            # The CSV link carries the chosen range, in the browser's time, as UTC.
            driver.execute_script(
                "const since = document.getElementById('csv-since'); since.value = '2026-12-08T06:30';"
                "since.dispatchEvent(new Event('change'));")
            expected = driver.execute_script("return new Date('2026-12-08T06:30').toISOString()")
            self.assertEqual(driver.find_element('id', 'csv-link').get_attribute('href'),
                             url + 'records.csv?since=' + expected.replace(':', '%3A'))

    def test_stations_show_their_bar_their_result_and_its_serial(self):
        with Line() as line:
            passing, failing = os.path.join(line.dir, 'pass'), os.path.join(line.dir, 'fail')
            line.device(passing, '--baud-emulation')
            line.device(failing, '--fault', 'request@51=none')
            driver = line.browser()
            cli, url = line.cli('--port', passing, '--port', failing, '--wait')
            driver.get(url)
            # At 9600 baud the bar is seen at more than one width below 100 %.
            widths = set()

            def moving():
                found = tile(driver, passing)
                if found and found['bar'] and found['bar'] != '100%':
                    widths.add(found['bar'])
                return len(widths) >= 2
            wait_for(moving, 'the bar to move', interval=0.02)
            result = cli.await_line('out', lambda text: text.startswith(passing + ': ok'), 'the passed result')
            shown = await_tile(driver, passing, lambda t: t['state'] == 'passed', 'the tile to say passed')
            print('passed shown %.2f s after the result line' % (time.monotonic() - result[0]))
            self.assertIn('serial ' + serial_of(result[1]), shown['text'])
            failed = cli.await_line('out', lambda text: text.startswith(failing + ': failed'), 'the failure')
            message = failed[1].split(': ', 2)[2]
            shown = await_tile(driver, failing, lambda t: t['state'] == 'failed', 'the tile to say failed')
            self.assertIn(message, shown['text'])
            self.assertIn('serial ' + serial_of(failed[1]), shown['text'])
            # The table finds the failures, and a serial number.
            rows = "return Array.from(document.querySelectorAll('#records tbody tr'), (r) => r.textContent)"
            wait_for(lambda: len(driver.execute_script(rows)) == 2, 'both records in the table')
            driver.find_element('id', 'failed-only').click()
            wait_for(lambda: [('read-byte' in r) for r in driver.execute_script(rows)] == [True], 'the failures only')
            driver.find_element('id', 'failed-only').click()
            driver.find_element('id', 'serial').send_keys(serial_of(result[1]))
            wait_for(lambda: [(serial_of(result[1]) in r and 'passed' in r) for r in driver.execute_script(rows)]
                     == [True], 'the one record of a serial number')
            self.assertEqual(cli.stop(), 1)  # served until SIGTERM, then the stations' code

    def test_a_port_name_with_markup_is_shown_as_text(self):
        with Line() as line:
            port = os.path.join(line.dir, '<img src=x onerror="document.title=\'owned\'">&amp;"q"')
            line.device(port)
            driver = line.browser()
            cli, url = line.cli('--port', port, '--wait')
            driver.get(url)
            cli.await_line('out', lambda text: ': ok' in text, 'the result')
            shown = await_tile(driver, port, lambda t: t['state'] == 'passed', 'the tile')
            self.assertTrue(shown['text'].startswith(port))
            wait_for(lambda: driver.execute_script(
                "return Array.from(document.querySelectorAll('#records td.port')).some("
                "(cell) => cell.textContent === arguments[0])", port), 'the record\'s port')
            self.assertEqual(driver.execute_script("return document.querySelectorAll('img').length"), 0)
            self.assertEqual(driver.title, 'fwflash line')
            self.assertEqual(console_errors(driver), [])

    def test_two_pcs_on_one_postgresql_on_one_page(self):
        with Line() as line:
            store = line.postgresql()
            ports = [os.path.join(line.dir, name) for name in ('a', 'b')]
            for port in ports:
                line.device(port)
            first, _ = line.cli('--port', ports[0], '--wait', '--pc', 'line-pc-1', store=store, serve=False)
            second, _ = line.cli('--port', ports[1], '--wait', '--pc', 'line-pc-2', store=store, serve=False)
            _, url = line.cli(store=store)
            driver = line.browser()
            driver.get(url)
            for program, pc, port in ((first, 'line-pc-1', ports[0]), (second, 'line-pc-2', ports[1])):
                program.await_line('out', lambda text: ': ok' in text, 'a result on ' + pc)
                await_tile(driver, port, lambda t: t['state'] == 'passed', 'the tile of ' + pc, pc=pc)
            groups = driver.execute_script("return Array.from(document.querySelectorAll('h3.pc'), (h) => h.textContent)")
            self.assertEqual(groups, ['line-pc-1', 'line-pc-2'])
            wait_for(lambda: '127.0.0.1' in driver.find_element('id', 'store').text, 'the store\'s name')
            self.assertNotIn(PG_PASSWORD, driver.page_source)
            for api in ('api/stations', 'api/summary', 'api/records', 'records.csv'):
                with urllib.request.urlopen(url + api, timeout=10) as response:
                    self.assertNotIn(PG_PASSWORD, response.read().decode())

    def test_the_page_reconnects_to_a_restarted_server(self):
        with Line() as line:
            server, url = line.cli()
            driver = line.browser()
            driver.get(url)
            wait_for(lambda: live_text(driver) == 'live', 'the live stream')
            self.assertEqual(server.stop(), 0)
            wait_for(lambda: live_text(driver).startswith('reconnecting'), 'the page to say it reconnects')
            port = os.path.join(line.dir, 'later')
            line.device(port)
            line.cli('--port', port, '--wait', '--serve', urlparse(url).netloc)
            wait_for(lambda: live_text(driver) == 'live', 'the page to be live again', timeout=30)
            await_tile(driver, port, lambda t: t['state'] == 'passed', 'a station of the new server')

    def test_screenshots_at_desk_wall_and_phone_sizes(self):
        with Line() as line:
            folder = os.path.join(line.dir, 'serial', 'by-path')
            os.makedirs(folder)
            links = [os.path.join(folder, 'pci-0000:00:14.0-usb-0:%d:1.0-port0' % i) for i in range(1, 5)]
            line.device(links[0])
            line.device(links[1], '--fault', 'request@51=none')
            _, url = line.cli()
            drivers = [line.browser(width, height) for width, height in ((1280, 800), (1920, 1080), (390, 844))]
            for driver in drivers:
                driver.get(url)
            # Two stations with labels, two without.
            cli, _ = line.cli('--port', 'A1=' + links[0], '--port', 'A2=' + links[1], '--port', links[2],
                              '--port', links[3], '--wait', '--pc', 'assembly-pc-1', serve=False)
            for wanted in ('A1 ' + links[0] + ': ok', 'A2 ' + links[1] + ': failed'):
                cli.await_line('out', lambda text: text.startswith(wanted), wanted)
            # The third station's device comes now, so that its bar is seen moving.
            line.device(links[2], '--baud-emulation')
            shots = os.environ.get('FWFLASH_SCREENSHOTS', os.path.join(BUILD, 'screenshots'))
            os.makedirs(shots, exist_ok=True)
            for driver in drivers:
                width, height = driver.execute_script('return [innerWidth, innerHeight]')
                await_tile(driver, links[2], lambda t: t['state'] == 'flashing' and t['bar'] not in ('0%', '100%'),
                           'the flashing tile')
                wait_for(lambda: driver.execute_script(
                    "return document.querySelectorAll('#records tbody tr.failed').length > 0"), 'the records')
                wait_for(lambda: driver.find_element('id', 'total-failed').text == '1', 'the day\'s counts')
                self.assertTrue(driver.save_screenshot(os.path.join(shots, 'dashboard-%dx%d.png' % (width, height))))
                self.assertEqual(console_errors(driver), [])
                # Nothing is wider than the screen: the records table scrolls in its own frame.
                self.assertLessEqual(driver.execute_script('return document.documentElement.scrollWidth'), width)

    def test_a_line_of_240_stations_fits_one_wall_screen_in_compact_tiles(self):
        with Line() as line:
            _, url = line.cli()
            write_stations(line.store, whole_line())
            beats = Heartbeats(line.store)
            try:
                driver = line.browser(1920, 1080)
                driver.get(url)
                wait_for(lambda: len(driver.execute_script(TILE_BOXES)) == 240, 'the 240 tiles')
                wait_for(lambda: 'stuck' in driver.find_element('id', 'attention').text, 'the stuck station')
                self.assertIn('compact', driver.find_element('id', 'stations').get_attribute('class'))
                boxes = driver.execute_script(TILE_BOXES)
                self.assertLessEqual(max(b['bottom'] for b in boxes), 1080, 'every tile on the screen at once')
                self.assertLessEqual(max(b['right'] for b in boxes), 1920)
                # Natural order: PCs 1 to 10, and within a PC 2 before 10.
                pcs = driver.execute_script("return Array.from(document.querySelectorAll('h3.pc'), (h) => h.textContent)")
                self.assertEqual(pcs, ['pc-%d' % n for n in range(1, 11)])
                self.assertEqual([b['name'] for b in boxes if b['pc'] == 'pc-2'], ['B%d' % i for i in range(1, 25)])
                # Without labels, what sets a port apart from the PC's others.
                self.assertEqual([b['name'] for b in boxes if b['pc'] == 'pc-8'], [str(i) for i in range(1, 25)])
                heading = driver.execute_script(
                    "return document.querySelector('.pc-group[data-pc=\"pc-9\"] .pc-counts').textContent")
                self.assertIn('1 failed', heading)  # the port problem
                self.assertIn('today 0 passed, 0 failed', heading)
                # The strip names the failed, the silent and the stuck station, each linked to its tile.
                entries = driver.execute_script("""return Array.from(document.querySelectorAll('#attention a.entry'),
                    (a) => [a.textContent, a.getAttribute('href')])""")
                ids = {(b['pc'], b['name']): b['id'] for b in boxes}
                self.assertEqual(sorted(entries), sorted([
                    ['pc-3 C5: failed', '#' + ids[('pc-3', 'C5')]], ['pc-7 12: not running', '#' + ids[('pc-7', '12')]],
                    ['pc-9 2: stuck at 40 %', '#' + ids[('pc-9', '2')]],
                    ['pc-9 20: port problem', '#' + ids[('pc-9', '20')]]]))
                # The serial number shows on focus.
                serial = driver.execute_script("""const tile = document.getElementById(arguments[0]);
                    tile.focus(); const s = tile.querySelector('.serial');
                    return [s.textContent, getComputedStyle(s).display];""", ids[('pc-3', 'C5')])
                self.assertEqual(serial, ['serial 3005', 'block'])
                # A change reaches the page while heartbeats go on; only its tile is drawn again.
                driver.execute_script("document.querySelectorAll('.tile').forEach((t) => { t.seen = true; });")
                write_stations(line.store, [station_row('pc-4', BY_PATH % 7, 'flashing', 90, 4007, 'D7')])
                wait_for(lambda: driver.execute_script(
                    "return document.getElementById(arguments[0]).querySelector('.percent').textContent === '90%'", ids[('pc-4', 'D7')]),
                    'the change on the page')
                redrawn = driver.execute_script(
                    "return Array.from(document.querySelectorAll('.tile')).filter((t) => !t.seen).map((t) => t.id)")
                self.assertEqual(redrawn, [ids[('pc-4', 'D7')]])
                self.assertEqual(console_errors(driver), [])
                shots = os.environ.get('FWFLASH_SCREENSHOTS', os.path.join(BUILD, 'screenshots'))
                os.makedirs(shots, exist_ok=True)
                self.assertTrue(driver.save_screenshot(os.path.join(shots, 'dashboard-line-1920x1080.png')))
                for width, height in ((1280, 800), (390, 844)):
                    other = line.browser(width, height)
                    other.get(url)
                    wait_for(lambda: len(other.execute_script(TILE_BOXES)) == 240, 'the tiles at %dx%d' % (width, height))
                    self.assertLessEqual(other.execute_script('return document.documentElement.scrollWidth'), width)
                    self.assertTrue(other.save_screenshot(os.path.join(shots, 'dashboard-line-%dx%d.png' % (width, height))))
            finally:
                beats.stop()

    def test_the_view_and_the_filter_are_kept_in_the_url_and_the_view_in_the_browser(self):
        with Line() as line:
            _, url = line.cli()
            write_stations(line.store, [station_row('pc-%d' % pc, '/dev/ttyUSB%d' % i, 'failed' if i == 1 else 'waiting')
                                        for pc in (1, 2) for i in range(3)])
            driver = line.browser(1280, 800)
            shown = "return Array.from(document.querySelectorAll('.tile:not([hidden])'), (t) => t.dataset.pc + t.dataset.port)"
            compact = "return document.getElementById('stations').classList.contains('compact')"
            driver.get(url)
            wait_for(lambda: len(driver.execute_script(shown)) == 6, 'the six tiles')
            self.assertFalse(driver.execute_script(compact), 'six full tiles fit')
            driver.find_element('id', 'view-toggle').click()
            self.assertTrue(driver.execute_script(compact))
            self.assertIn('view=compact', driver.current_url)
            driver.get(url)  # no view in the URL: the browser remembers it
            wait_for(lambda: len(driver.execute_script(shown)) == 6, 'the tiles again')
            self.assertTrue(driver.execute_script(compact))
            driver.get(url + '?view=full')  # a bookmark's view goes first
            wait_for(lambda: len(driver.execute_script(shown)) == 6, 'the tiles of the bookmark')
            self.assertFalse(driver.execute_script(compact))
            Select = __import__('selenium.webdriver.support.ui', fromlist=['Select']).Select
            Select(driver.find_element('id', 'filter-pc')).select_by_value('pc-2')
            Select(driver.find_element('id', 'filter-state')).select_by_value('failed')
            self.assertEqual(driver.execute_script(shown), ['pc-2/dev/ttyUSB1'])
            self.assertEqual(driver.execute_script("return Array.from(document.querySelectorAll('.pc-group:not([hidden])'),"
                                                   " (g) => g.dataset.pc)"), ['pc-2'])
            bookmark = driver.current_url
            self.assertIn('pc=pc-2', bookmark)
            self.assertIn('state=failed', bookmark)
            driver.get(bookmark)
            wait_for(lambda: driver.execute_script(shown) == ['pc-2/dev/ttyUSB1'], 'the filter of the bookmark')
            self.assertEqual(console_errors(driver), [])

    def test_a_mac_field_reads_as_a_mac_and_the_pc_filter_lists_pcs_as_the_tiles(self):
        with Line() as line:
            _, url = line.cli()
            port = os.path.join(line.dir, 'mac-station')
            line.device(port)
            job = os.path.join(line.dir, 'job.toml')
            with open(job, 'w') as f:
                f.write('product = "acme-probe"\nfirmware = "image.bin"\nrecord = "records.sqlite"\n'
                        'spool = "job-spool.sqlite"\noverwrite = true\n\n'
                        '[[field]]\nname = "mac"\nat = 0x100\nformat = "u48le"\nshow = "mac"\n'
                        'counter = { first = 0x0050C2000000, last = 0x0050C2000FFF, step = 8 }\n')
            station = Program([os.path.join(BUILD, 'fwflash-cli'), '--job', job, '--port', port, '--pc', 'pc10'])
            line.programs.append(station)
            self.assertEqual(station.wait(60), 0, station.transcript())
            # PCs that sort wrong as text: pc10 flashed, pc2 and pc1 written after it.
            write_stations(line.store, [station_row('pc2', '/dev/ttyUSB0'), station_row('pc1', '/dev/ttyUSB0')])
            driver = line.browser(1280, 800)
            driver.get(url)
            wait_for(lambda: tile(driver, '/dev/ttyUSB0', 'pc1') and tile(driver, port, 'pc10'), 'the tiles')
            rows = "return Array.from(document.querySelectorAll('#records tbody td.fields'), (c) => c.textContent)"
            wait_for(lambda: driver.execute_script(rows) == ['mac=00:50:C2:00:00:00'], 'the record\'s MAC')
            options = "return Array.from(document.getElementById('filter-pc').options, (o) => o.value)"
            groups = "return Array.from(document.querySelectorAll('h3.pc'), (h) => h.textContent)"
            self.assertEqual(driver.execute_script(groups), ['pc1', 'pc2', 'pc10'])
            self.assertEqual(driver.execute_script(options), ['', 'pc1', 'pc2', 'pc10'])
            shots = os.environ.get('FWFLASH_SCREENSHOTS', os.path.join(BUILD, 'screenshots'))
            os.makedirs(shots, exist_ok=True)
            driver.execute_script("document.getElementById('records').scrollIntoView()")
            self.assertTrue(driver.save_screenshot(os.path.join(shots, 'dashboard-mac-1280x800.png')))
            # A bookmarked PC with no station yet takes its place among them.
            driver.get(url + '?pc=pc3')
            wait_for(lambda: driver.execute_script(options) == ['', 'pc1', 'pc2', 'pc3', 'pc10'],
                     'the bookmarked PC in its place')
            self.assertEqual(console_errors(driver), [])


if __name__ == '__main__':
    unittest.main(argv=[sys.argv[0]] + ['Dashboard.test_' + name for name in sys.argv[1:]])
