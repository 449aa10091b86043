// fwflash line dashboard: the stations live through Server-Sent Events (/api/events),
// the counts and records from the API. Every text from the store is put in with
// textContent, never as markup: port names and messages may hold < & and quotes.
'use strict';

(function () {
  const SILENCE_MS = 15000;      // a station not heard from for longer is not running
  const REFRESH_GAP_MS = 1000;   // records and counts reloaded at most once a second
  const HOUR_MS = 3600 * 1000;

  let stationsData = { now_ms: 0, stations: [] };
  let stationsReceivedAt = 0;
  let runningSignature = '';
  let todayByStation = new Map();
  let todaySummary = null;
  let lastDay = null;

  const $ = (id) => document.getElementById(id);

  function el(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined && text !== null) node.textContent = String(text);
    return node;
  }

  function svg(tag, attributes) {
    const node = document.createElementNS('http://www.w3.org/2000/svg', tag);
    for (const [name, value] of Object.entries(attributes)) node.setAttribute(name, String(value));
    return node;
  }

  async function getJson(url) {
    const response = await fetch(url, { cache: 'no-store' });
    if (!response.ok) throw new Error(url + ': ' + response.status);
    return response.json();
  }

  const key = (pc, port) => JSON.stringify([pc, port]);
  const pad = (n) => String(n).padStart(2, '0');

  function localTime(ms) {
    const d = new Date(ms);
    return d.getFullYear() + '-' + pad(d.getMonth() + 1) + '-' + pad(d.getDate()) + ' ' +
      pad(d.getHours()) + ':' + pad(d.getMinutes()) + ':' + pad(d.getSeconds());
  }

  function startOfToday() {
    const d = new Date();
    d.setHours(0, 0, 0, 0);
    return d;
  }

  // --- Stations -------------------------------------------------------------------

  function serverNow() { return stationsData.now_ms + (Date.now() - stationsReceivedAt); }

  function isRunning(station) {
    return station.state !== 'stopped' && serverNow() - station.updated_ms <= SILENCE_MS;
  }

  const STATE_WORDS = {
    waiting: 'waiting', flashing: 'flashing', passed: 'passed', failed: 'failed', port: 'port problem',
  };

  function mostCommonCrc(stations) {
    const counts = new Map();
    for (const s of stations) counts.set(s.firmware_crc32, (counts.get(s.firmware_crc32) || 0) + 1);
    let best = null, bestCount = 0;
    for (const [crc, count] of counts) if (count > bestCount) { best = crc; bestCount = count; }
    return { best, counts };
  }

  function stationTile(station, usualCrc) {
    const running = isRunning(station);
    const kind = running ? station.state : 'not-running';
    const tile = el('div', 'tile ' + kind);
    tile.dataset.pc = station.pc;
    tile.dataset.port = station.port;
    tile.appendChild(el('div', 'port', station.port));
    tile.appendChild(el('div', 'state', running ? (STATE_WORDS[station.state] || station.state) : 'not running'));
    if (running && station.state === 'flashing') {
      const bar = el('div', 'bar');
      const fill = el('div', 'fill');
      fill.style.width = Math.min(100, Math.max(0, station.percent)) + '%';
      bar.appendChild(fill);
      tile.appendChild(bar);
      tile.appendChild(el('div', 'detail', station.percent + ' %' +
        (station.serial !== null ? ', serial ' + station.serial : '')));
    } else if (station.serial !== null && (station.state === 'passed' || station.state === 'failed' || !running)) {
      tile.appendChild(el('div', 'detail serial', 'serial ' + station.serial));
    }
    if (station.state === 'failed' && (station.step || station.message)) {
      tile.appendChild(el('div', 'detail failure', [station.step, station.message].filter(Boolean).join(': ')));
    }
    if (station.state === 'port' && station.message) tile.appendChild(el('div', 'detail failure', station.message));
    const firmware = el('div', 'detail', 'firmware ' + station.firmware_crc32);
    if (running && station.firmware_crc32 !== usualCrc) {
      firmware.className = 'detail odd-firmware';
      firmware.textContent += ' (differs from the line)';
    }
    tile.appendChild(firmware);
    const today = todayOf(station.pc, station.port);
    tile.appendChild(el('div', 'today', 'today ' + today.passed + ' passed, ' + today.failed + ' failed'));
    return tile;
  }

  function drawStations() {
    const all = stationsData.stations;
    const running = all.filter(isRunning);
    runningSignature = all.map((s) => (isRunning(s) ? '1' : '0')).join('');
    const { best, counts } = mostCommonCrc(running);
    const box = $('stations');
    box.replaceChildren();
    if (all.length === 0) box.appendChild(el('p', 'empty', 'No station has written to this store yet.'));
    let group = null, groupPc = null;
    for (const station of all) {
      if (group === null || station.pc !== groupPc) {
        groupPc = station.pc;
        const heading = el('h3', 'pc', station.pc);
        group = el('div', 'tiles');
        box.appendChild(heading);
        box.appendChild(group);
      }
      group.appendChild(stationTile(station, best));
    }
    drawFirmware(counts);
    drawTotals();
    drawChart();
  }

  // Each list's stock, in the warning colour when it is low.
  function drawLists(lists) {
    $('lists-tile').hidden = lists.length === 0;
    $('lists').replaceChildren(...lists.map((list) =>
      el('span', list.low ? 'crc low' : 'crc', list.name + ': ' + list.given + ' given, ' + list.left + ' left')));
  }

  function drawFirmware(counts) {
    const box = $('firmware');
    box.replaceChildren();
    box.classList.toggle('mixed', counts.size > 1);
    if (counts.size === 0) box.appendChild(el('span', 'empty', 'no station running'));
    for (const [crc, count] of counts) {
      box.appendChild(el('span', 'crc', crc + ' × ' + count));
    }
  }

  function applyStations(data) {
    stationsData = data;
    stationsReceivedAt = Date.now();
    drawStations();
  }

  // A station that falls silent sends nothing: look at the clock every second.
  setInterval(() => {
    const signature = stationsData.stations.map((s) => (isRunning(s) ? '1' : '0')).join('');
    if (signature !== runningSignature) drawStations();
  }, 1000);

  // --- Counts and the chart -------------------------------------------------------

  // A device's attempt is in the store as failed ("interrupted") from its start until
  // it ends: a station flashing now has one such record that is no failure yet.
  function inFlight(pc, port) {
    return stationsData.stations.some((s) => s.pc === pc && s.port === port && s.state === 'flashing' && isRunning(s));
  }

  function todayOf(pc, port) {
    const counts = todayByStation.get(key(pc, port)) || { passed: 0, failed: 0 };
    return { passed: counts.passed, failed: Math.max(0, counts.failed - (inFlight(pc, port) ? 1 : 0)) };
  }

  function flashingNow() {
    return stationsData.stations.filter((s) => s.state === 'flashing' && isRunning(s)).length;
  }

  function drawTotals() {
    if (todaySummary === null) return;
    const flashing = flashingNow();
    const passed = todaySummary.passed, failed = Math.max(0, todaySummary.failed - flashing);
    $('total-passed').textContent = passed;
    $('total-failed').textContent = failed;
    $('total-yield').textContent = passed + failed === 0 ? '–' : (100 * passed / (passed + failed)).toFixed(1) + ' %';
    $('total-rate').textContent = todaySummary.last_hour.passed + todaySummary.last_hour.failed;
    $('store').textContent = todaySummary.store || '';
  }

  function applySummary(today) {
    todaySummary = today;
    todayByStation = new Map(today.stations.map((s) => [key(s.pc, s.port), s]));
  }

  // The last 24 hours as last read, the attempts in flight now taken out.
  function drawChart() {
    if (lastDay === null) return;
    const { day, firstHourMs } = lastDay;
    const thisHour = Math.floor(Date.now() / HOUR_MS) * HOUR_MS;
    const hours = new Map(day.hours.map((h) => [h.start_ms, {
      passed: h.passed, failed: h.start_ms === thisHour ? Math.max(0, h.failed - flashingNow()) : h.failed }]));
    const width = 960, height = 176, left = 34, bottom = 22, top = 8;
    const slot = (width - left) / 24;
    let most = 1;
    for (const h of hours.values()) most = Math.max(most, h.passed + h.failed);
    const scale = (height - bottom - top) / most;
    const chart = svg('svg', { viewBox: `0 0 ${width} ${height}`, role: 'img', preserveAspectRatio: 'none',
      'aria-label': 'devices per hour over the last 24 hours' });
    for (const value of [0, most]) {
      const y = height - bottom - value * scale;
      chart.appendChild(svg('line', { class: 'grid', x1: left, x2: width, y1: y, y2: y }));
      const label = svg('text', { class: 'axis', x: left - 4, y: y + 4, 'text-anchor': 'end' });
      label.textContent = String(value);
      chart.appendChild(label);
    }
    for (let i = 0; i < 24; ++i) {
      const start = firstHourMs + i * HOUR_MS;
      const h = hours.get(start) || { passed: 0, failed: 0 };
      const x = left + i * slot + 2, w = slot - 4;
      const passedHeight = h.passed * scale, failedHeight = h.failed * scale;
      const base = height - bottom;
      const bar = (className, y, barHeight, text) => {
        const rect = svg('rect', { class: className, x, y, width: w, height: barHeight });
        const title = svg('title', {});
        title.textContent = text;
        rect.appendChild(title);
        chart.appendChild(rect);
      };
      const when = localTime(start).slice(11, 16);
      if (h.passed) bar('passed', base - passedHeight, passedHeight, `${when}: ${h.passed} passed`);
      if (h.failed) bar('failed', base - passedHeight - failedHeight, failedHeight, `${when}: ${h.failed} failed`);
      if (i % 3 === 0) {
        const label = svg('text', { class: 'axis', x: x + w / 2, y: height - 6, 'text-anchor': 'middle' });
        label.textContent = when;
        chart.appendChild(label);
      }
    }
    $('chart').replaceChildren(chart);
  }

  // --- Records --------------------------------------------------------------------

  function recordsUrl() {
    const params = new URLSearchParams({ limit: '100' });
    if ($('failed-only').checked) params.set('failed', '1');
    const serial = $('serial').value.trim();
    if (serial !== '') {
      if (!/^[0-9]{1,19}$/.test(serial)) return null;
      params.set('serial', serial);
    }
    return '/api/records?' + params.toString();
  }

  function drawRecords(records) {
    const body = $('records').tBodies[0];
    const rows = records.map((r) => {
      const flashing = r.end === null && inFlight(r.pc, r.port);
      const result = flashing ? 'flashing' : r.result === 'ok' ? 'passed' : 'failed';
      const row = el('tr', r.result === 'ok' ? 'ok' : flashing ? 'flashing' : 'failed');
      const cells = [
        [localTime(r.start_ms), ''], [r.pc, ''], [r.port, 'port'], [r.serial === null ? '' : r.serial, 'number'],
        [r.firmware_crc32, 'crc32'], [result, 'result'], [flashing ? '' : r.step || '', ''],
        [r.byte === null || flashing ? '' : r.byte, 'number'], [flashing ? '' : r.seconds.toFixed(2), 'number'],
        [Object.entries(r.fields || {}).map(([name, value]) => name + '=' + value).join(' '), 'fields'],
      ];
      for (const [text, className] of cells) row.appendChild(el('td', className, text));
      if (r.messages.length) row.title = r.messages.join(' / ');
      return row;
    });
    if (rows.length === 0) {
      const row = el('tr', 'none');
      const cell = el('td', 'empty', 'No records.');
      cell.colSpan = 10;
      row.appendChild(cell);
      rows.push(row);
    }
    body.replaceChildren(...rows);
    performance.mark('records-drawn');
  }

  async function loadRecords() {
    const url = recordsUrl();
    $('filter-problem').textContent = url ? '' : 'a serial number is written in decimal digits';
    if (!url) return;
    drawRecords((await getJson(url)).records);
  }

  // --- Refreshing -----------------------------------------------------------------

  // Runs load at most once every gapMs() and never twice at once; a call meanwhile makes
  // one more run when the gap is over.
  function throttled(load, gapMs) {
    let timer = null, running = false, again = false, last = 0;
    const trigger = () => {
      if (running) { again = true; return; }
      if (timer !== null) return;
      timer = setTimeout(async () => {
        timer = null;
        running = true;
        last = Date.now();
        try {
          await load();
        } catch (failure) {
          // The live line says when the server is gone; the next change tries again.
        }
        running = false;
        if (again) { again = false; trigger(); }
      }, Math.max(0, gapMs() - (Date.now() - last)));
    };
    return trigger;
  }

  async function loadSummaries() {
    const started = Date.now();
    const firstHourMs = Math.floor(Date.now() / HOUR_MS) * HOUR_MS - 23 * HOUR_MS;
    const today = await getJson('/api/summary?since=' + encodeURIComponent(startOfToday().toISOString()));
    applySummary(today);
    drawLists(today.lists || []);
    drawStations();
    lastDay = { day: await getJson('/api/summary?since=' + encodeURIComponent(new Date(firstHourMs).toISOString())),
      firstHourMs };
    drawChart();
    summaryCostMs = Date.now() - started;
  }

  // The latest records come first and at most once a second; the counts after them, and
  // on a store where they cost much (100,000 records a day: over a second) less often,
  // so that an open page never keeps the store busy.
  let summaryCostMs = 0;
  const refreshSummaries = throttled(loadSummaries, () => Math.max(REFRESH_GAP_MS, 3 * summaryCostMs));
  const scheduleRefresh = throttled(async () => {
    await loadRecords();
    refreshSummaries();
  }, () => REFRESH_GAP_MS);

  // Counts of the last hour and of today move with the clock too.
  setInterval(scheduleRefresh, 60 * 1000);

  // --- Live -----------------------------------------------------------------------

  function setLive(kind, text) {
    const live = $('live');
    live.className = 'live ' + kind;
    live.textContent = text;
  }

  function connect() {
    const source = new EventSource('/api/events');
    source.addEventListener('open', () => { setLive('connected', 'live'); scheduleRefresh(); });
    source.addEventListener('stations', (event) => applyStations(JSON.parse(event.data)));
    source.addEventListener('records', scheduleRefresh);
    source.addEventListener('error', () => {
      setLive('reconnecting', 'reconnecting…');
      // The browser tries again by itself after a lost connection, but not after a
      // refusal (503): then a new stream, a little later.
      if (source.readyState === EventSource.CLOSED) setTimeout(connect, 3000);
    });
  }

  // --- The CSV range ----------------------------------------------------------------

  function updateCsvLink() {
    const params = new URLSearchParams();
    for (const [id, name] of [['csv-since', 'since'], ['csv-until', 'until']]) {
      const value = $(id).value;
      if (value) params.set(name, new Date(value).toISOString());
    }
    const query = params.toString();
    $('csv-link').href = '/records.csv' + (query ? '?' + query : '');
  }

  let serialTimer = null;
  $('failed-only').addEventListener('change', () => loadRecords().catch(() => {}));
  $('serial').addEventListener('input', () => {
    clearTimeout(serialTimer);
    serialTimer = setTimeout(() => loadRecords().catch(() => {}), 300);
  });
  $('record-filter').addEventListener('submit', (event) => event.preventDefault());
  $('csv-range').addEventListener('submit', (event) => event.preventDefault());
  $('csv-since').addEventListener('change', updateCsvLink);
  $('csv-until').addEventListener('change', updateCsvLink);

  connect();
})();
