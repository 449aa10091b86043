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
from line_processes import BUILD, PG_PASSWORD, Line, console_errors, requested_urls, wait_for  # noqa: E402

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
            cli, _ = line.cli('--port', links[0], '--port', links[1], '--port', links[2], '--port', links[3],
                              '--wait', '--pc', 'assembly-pc-1', serve=False)
            for wanted in (links[0] + ': ok', links[1] + ': failed'):
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

if __name__ == '__main__':
    unittest.main(argv=[sys.argv[0]] + ['Dashboard.test_' + name for name in sys.argv[1:]])
