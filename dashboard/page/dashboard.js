// fwflash line dashboard: the stations live through Server-Sent Events (/api/events),
// the counts and records from the API. Every text from the store is put in with
// textContent, never as markup: port names and messages may hold < & and quotes.
'use strict';

(function () {
  const SILENCE_MS = 15000;      // a station not heard from for longer is not running
  const REFRESH_GAP_MS = 1000;   // records and counts reloaded at most once a second
  const HOUR_MS = 3600 * 1000;

  let stationsData = { now_ms: 0, read_ms: 0 };
  let stationsReceivedAt = 0;
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
  //
  // The stream sends every station once, then only the stations that changed. Each tile
  // is drawn from what it shows; a tile whose look did not change is left as it is, so
  // that a line of 240 stations redraws only what moved.

  const STUCK_MS = 30000;         // flashing without progress for longer needs a person
  const ATTENTION_SHOWN = 12;     // entries in the strip; the filter shows them all
  const collator = new Intl.Collator(undefined, { numeric: true, sensitivity: 'base' });
  const stations = new Map();     // key -> the station's row as last sent
  const tiles = new Map();        // key -> its tile
  const tileIds = new Map();      // key -> the tile's element id, kept while the page lives
  const looks = new Map();        // key -> what its tile shows, as text
  let listShape = '';             // the PCs and stations in order: a change redraws the list
  let compact = false;
  let usualCrc = null;

  function serverNow() { return stationsData.now_ms + (Date.now() - stationsReceivedAt); }

  // The server tells when a station falls silent; the page ages progress itself, and
  // the server's last reading of the store: a store it cannot read tells nothing more.
  function isRunning(station) {
    return station.running && serverNow() - stationsData.read_ms <= SILENCE_MS;
  }
  function isStuck(station) {
    return isRunning(station) && station.state === 'flashing' && serverNow() - station.progress_ms > STUCK_MS;
  }
  function kindOf(station) { return isRunning(station) ? station.state : 'not-running'; }

  const STATE_WORDS = {
    waiting: 'waiting', flashing: 'flashing', passed: 'passed', failed: 'failed', port: 'port problem',
    'not-running': 'not running',
  };

  const lastPart = (port) => port.split(/[\\/]/).filter(Boolean).pop() || port;
  const sortName = (station) => station.label || station.port;
  const shortNames = new Map();   // key -> the name on a tile: its label, or what sets its port apart

  const nameOf = (station) => shortNames.get(key(station.pc, station.port)) || station.label || lastPart(station.port);

  // The ports' last parts without what all of a PC's unlabelled stations share at their
  // start and end ("pci-0000:00:14.0-usb-0:12:1.0-port0" becomes "12"); a number is
  // never cut in two.
  function nameStations(list) {
    shortNames.clear();
    const byPc = new Map();
    for (const s of list) {
      if (s.label) continue;
      if (!byPc.has(s.pc)) byPc.set(s.pc, []);
      byPc.get(s.pc).push(s);
    }
    const digit = (c) => c >= '0' && c <= '9';
    for (const group of byPc.values()) {
      const names = group.map((s) => lastPart(s.port));
      let start = 0, end = 0;
      if (names.length > 1) {
        const shortest = Math.min(...names.map((n) => n.length));
        while (start < shortest && names.every((n) => n[start] === names[0][start])) ++start;
        while (start > 0 && names.some((n) => digit(n[start - 1]) && digit(n[start] || ''))) --start;
        while (end < shortest - start && names.every((n) => n[n.length - 1 - end] === names[0][names[0].length - 1 - end])) ++end;
        while (end > 0 && names.some((n) => digit(n[n.length - end]) && digit(n[n.length - end - 1] || ''))) --end;
      }
      group.forEach((s, i) => {
        const middle = names[i].slice(start, names[i].length - end);
        shortNames.set(key(s.pc, s.port), middle || names[i]);
      });
    }
  }

  function mostCommonCrc(list) {
    const counts = new Map();
    for (const s of list) counts.set(s.firmware_crc32, (counts.get(s.firmware_crc32) || 0) + 1);
    let best = null, bestCount = 0;
    for (const [crc, count] of counts) if (count > bestCount) { best = crc; bestCount = count; }
    return { best, counts };
  }

  function sortedStations() {
    // Within a PC the stations someone named come first.
    return Array.from(stations.values()).sort((a, b) =>
      collator.compare(a.pc, b.pc) || Number(!a.label) - Number(!b.label) ||
      collator.compare(sortName(a), sortName(b)) || collator.compare(a.port, b.port));
  }

  function tileId(k) {
    if (!tileIds.has(k)) tileIds.set(k, 'station-' + (tileIds.size + 1));
    return tileIds.get(k);
  }

  // Everything a tile shows, so that an unchanged tile is not drawn again.
  function lookOf(station) {
    const running = isRunning(station);
    const today = compact ? null : todayOf(station.pc, station.port);
    return JSON.stringify([compact, kindOf(station), isStuck(station), station.percent, station.serial,
      station.step, station.message, station.label, station.firmware_crc32,
      running && station.firmware_crc32 !== usualCrc, today && [today.passed, today.failed]]);
  }

  function progressBar(percent) {
    const bar = el('div', 'bar');
    const fill = el('div', 'fill');
    fill.style.width = Math.min(100, Math.max(0, percent)) + '%';
    bar.appendChild(fill);
    return bar;
  }

  function compactTile(station, tile) {
    const kind = kindOf(station);
    tile.tabIndex = 0;  // the serial number shows on focus as on hover
    tile.title = [station.label ? station.label + ' ' + station.port : station.port,
      station.serial !== null ? 'serial ' + station.serial : '',
      station.state === 'failed' || station.state === 'port' ? [station.step, station.message].filter(Boolean).join(': ') : '']
      .filter(Boolean).join('\n');
    tile.appendChild(el('div', 'name', nameOf(station)));
    tile.appendChild(el('div', 'state', isStuck(station) ? 'stuck' : STATE_WORDS[kind] || station.state));
    if (kind === 'flashing') {
      const progress = el('div', 'progress');
      progress.appendChild(progressBar(station.percent));
      progress.appendChild(el('span', 'percent', station.percent + '%'));
      tile.appendChild(progress);
    }
    if (station.serial !== null) tile.appendChild(el('div', 'serial', 'serial ' + station.serial));
  }

  function fullTile(station, tile) {
    const running = isRunning(station);
    if (station.label) {
      tile.appendChild(el('div', 'name', station.label));
      tile.appendChild(el('div', 'port', station.port));
    } else {
      tile.appendChild(el('div', 'port', station.port));
    }
    const word = isStuck(station) ? 'flashing, stuck' : STATE_WORDS[kindOf(station)] || station.state;
    tile.appendChild(el('div', 'state', word));
    if (running && station.state === 'flashing') {
      tile.appendChild(progressBar(station.percent));
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
  }

  function stationTile(station) {
    const k = key(station.pc, station.port);
    const tile = el('div', 'tile ' + kindOf(station) + (isStuck(station) ? ' stuck' : ''));
    tile.id = tileId(k);
    tile.dataset.pc = station.pc;
    tile.dataset.port = station.port;
    (compact ? compactTile : fullTile)(station, tile);
    tile.hidden = !passesFilter(station);
    return tile;
  }

  // The tile of each station whose look changed, drawn again in its place.
  function refreshTiles() {
    usualCrc = mostCommonCrc(Array.from(stations.values()).filter(isRunning)).best;
    for (const [k, station] of stations) {
      const look = lookOf(station);
      if (looks.get(k) === look) continue;
      looks.set(k, look);
      const tile = stationTile(station);
      const old = tiles.get(k);
      if (old) old.replaceWith(tile);
      tiles.set(k, tile);
    }
  }

  // --- The list, its headings and the attention strip -----------------------------------

  function drawList() {
    const list = sortedStations();
    listShape = list.map((s) => key(s.pc, s.port)).join('\n');
    nameStations(list);
    const box = $('stations');
    box.replaceChildren();
    tiles.clear();
    looks.clear();
    if (list.length === 0) box.appendChild(el('p', 'empty', 'No station has written to this store yet.'));
    let group = null;
    for (const station of list) {
      if (group === null || group.dataset.pc !== station.pc) {
        group = el('div', 'pc-group');
        group.dataset.pc = station.pc;
        const head = el('div', 'pc-head');
        head.appendChild(el('h3', 'pc', station.pc));
        head.appendChild(el('div', 'pc-counts'));
        group.appendChild(head);
        group.appendChild(el('div', 'tiles'));
        box.appendChild(group);
      }
      const k = key(station.pc, station.port);
      const placeholder = el('div');
      group.lastChild.appendChild(placeholder);
      tiles.set(k, placeholder);
    }
    refreshTiles();
    fillPcChoices(list);
  }

  function pcCounts(pc) {
    const counts = { flashing: 0, waiting: 0, failed: 0, 'not running': 0 };
    for (const s of stations.values()) {
      if (s.pc !== pc) continue;
      const kind = kindOf(s);
      // A station whose last device passed waits for the next; a port problem is a failure.
      const group = kind === 'passed' ? 'waiting' : kind === 'port' ? 'failed' : kind === 'not-running' ? 'not running' : kind;
      if (group in counts) ++counts[group];
    }
    const today = { passed: 0, failed: 0 };
    for (const s of stations.values()) {
      if (s.pc !== pc) continue;
      const t = todayOf(s.pc, s.port);
      today.passed += t.passed;
      today.failed += t.failed;
    }
    return { counts, today };
  }

  function drawHeadings() {
    for (const group of $('stations').querySelectorAll('.pc-group')) {
      const { counts, today } = pcCounts(group.dataset.pc);
      const box = group.querySelector('.pc-counts');
      const parts = [];
      for (const [word, count] of Object.entries(counts)) {
        const part = el('span', 'count ' + word.replace(' ', '-') + (count ? '' : ' none'), count + ' ' + word);
        parts.push(part);
      }
      parts.push(el('span', 'count today', 'today ' + today.passed + ' passed, ' + today.failed + ' failed'));
      const text = parts.map((p) => p.className + p.textContent).join('|');
      if (box.dataset.shown !== text) {
        box.dataset.shown = text;
        box.replaceChildren(...parts);
      }
      group.hidden = !Array.from(group.querySelectorAll('.tile')).some((t) => !t.hidden);
    }
  }

  function needsAttention(station) {
    if (!isRunning(station)) return station.state === 'stopped' ? null : 'not running';
    if (station.state === 'failed') return 'failed';
    if (station.state === 'port') return 'port problem';
    if (isStuck(station)) return 'stuck at ' + station.percent + ' %';
    return null;
  }

  function drawAttention() {
    const entries = [];
    for (const station of sortedStations()) {
      const why = needsAttention(station);
      if (why) entries.push([station, why]);
    }
    const strip = $('attention');
    const shape = entries.map(([s, why]) => key(s.pc, s.port) + why).join('|') + stations.size;
    if (strip.dataset.shown === shape) return;
    strip.dataset.shown = shape;
    strip.classList.toggle('calm', entries.length === 0);
    if (entries.length === 0) {
      strip.replaceChildren(el('span', 'calm-line', stations.size === 0 ? 'No station yet.'
        : 'Nothing needs a person: ' + stations.size + (stations.size === 1 ? ' station' : ' stations') +
          ', none failed, silent or stuck.'));
      return;
    }
    const items = [el('span', 'attention-title', entries.length + ' need' + (entries.length === 1 ? 's' : '') + ' a person:')];
    for (const [station, why] of entries.slice(0, ATTENTION_SHOWN)) {
      const link = el('a', 'entry ' + why.split(' ')[0], station.pc + ' ' + nameOf(station) + ': ' + why);
      link.title = station.port;
      link.href = '#' + tileId(key(station.pc, station.port));
      link.addEventListener('click', () => showStation(station));
      items.push(link);
    }
    if (entries.length > ATTENTION_SHOWN) {
      const more = el('a', 'entry more', 'and ' + (entries.length - ATTENTION_SHOWN) + ' more');
      more.href = '#stations';
      more.addEventListener('click', () => setFilter('', 'attention'));
      items.push(more);
    }
    strip.replaceChildren(...items);
  }

  // A station linked from the strip is shown even when the filter hid it.
  function showStation(station) {
    if (!passesFilter(station)) setFilter('', '');
  }

  // --- Filter and view: in the URL, the view also in the browser ----------------------

  const VIEW_KEY = 'fwflash-view';
  const params = new URLSearchParams(location.search);
  let filterPc = params.get('pc') || '';
  let filterState = params.get('state') || '';
  let chosenView = ['compact', 'full'].includes(params.get('view')) ? params.get('view') : null;
  if (chosenView === null) {
    try { chosenView = localStorage.getItem(VIEW_KEY); } catch (ignored) { chosenView = null; }
  }

  function passesFilter(station) {
    if (filterPc && station.pc !== filterPc) return false;
    if (!filterState) return true;
    if (filterState === 'attention') return needsAttention(station) !== null;
    if (filterState === 'stuck') return isStuck(station);
    return kindOf(station) === filterState;
  }

  function writeUrl() {
    const query = new URLSearchParams(location.search);
    for (const [name, value] of [['pc', filterPc], ['state', filterState], ['view', chosenView]]) {
      if (value) query.set(name, value); else query.delete(name);
    }
    const text = query.toString();
    history.replaceState(null, '', location.pathname + (text ? '?' + text : '') + location.hash);
  }

  function setFilter(pc, state) {
    filterPc = pc;
    filterState = state;
    $('filter-pc').value = pc;
    $('filter-state').value = state;
    writeUrl();
    for (const [k, tile] of tiles) tile.hidden = !passesFilter(stations.get(k));
    drawHeadings();
  }

  function fillPcChoices(list) {
    const select = $('filter-pc');
    // In the tiles' order, a bookmarked PC without stations (yet) among them.
    const pcs = Array.from(new Set(list.map((s) => s.pc).concat(filterPc ? [filterPc] : []))).sort(collator.compare);
    const options = [el('option', null, 'all PCs')];
    options[0].value = '';
    for (const pc of pcs) {
      const option = el('option', null, pc);
      option.value = pc;
      options.push(option);
    }
    select.replaceChildren(...options);
    select.value = filterPc;
  }

  // Compact when asked, or when the full tiles would not all fit on the screen.
  function chooseView() {
    let want = chosenView === 'compact';
    if (chosenView !== 'compact' && chosenView !== 'full' && stations.size > 0) {
      setCompact(false);
      want = $('stations').getBoundingClientRect().bottom + window.scrollY > window.innerHeight;
    }
    setCompact(want);
    const toggle = $('view-toggle');
    toggle.textContent = compact ? 'full tiles' : 'compact tiles';
    toggle.setAttribute('aria-pressed', String(compact));
  }

  function setCompact(value) {
    if (value === compact && $('stations').classList.contains('compact') === value) return;
    compact = value;
    $('stations').classList.toggle('compact', compact);
    refreshTiles();
  }

  $('view-toggle').addEventListener('click', () => {
    chosenView = compact ? 'full' : 'compact';
    try { localStorage.setItem(VIEW_KEY, chosenView); } catch (ignored) { /* kept in the URL */ }
    writeUrl();
    chooseView();
  });
  $('filter-pc').addEventListener('change', () => setFilter($('filter-pc').value, filterState));
  $('filter-state').addEventListener('change', () => setFilter(filterPc, $('filter-state').value));
  $('station-filter').addEventListener('submit', (event) => event.preventDefault());
  $('filter-state').value = filterState;
  let resizeTimer = null;
  window.addEventListener('resize', () => {
    clearTimeout(resizeTimer);
    resizeTimer = setTimeout(chooseView, 200);
  });

  // --- Drawing after news ---------------------------------------------------------------

  function drawStations() {
    const shape = sortedStations().map((s) => key(s.pc, s.port)).join('\n');
    if (shape !== listShape) {
      drawList();
      chooseView();
    } else {
      refreshTiles();
    }
    drawHeadings();
    drawAttention();
    drawFirmware(mostCommonCrc(Array.from(stations.values()).filter(isRunning)).counts);
    drawTotals();
    drawChart();
    performance.mark('stations-drawn');
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

  function applyClock(data) {
    stationsData = { now_ms: data.now_ms, read_ms: data.read_ms };
    stationsReceivedAt = Date.now();
  }

  // Every station, for a new stream or when stations came or went.
  function applyStations(data) {
    applyClock(data);
    stations.clear();
    for (const s of data.stations) stations.set(key(s.pc, s.port), s);
    drawStations();
  }

  // Only the stations that changed.
  function applyChanges(data) {
    applyClock(data);
    for (const s of data.stations) stations.set(key(s.pc, s.port), s);
    drawStations();
  }

  // A transfer that stops moving sends nothing: look at the clock every second.
  setInterval(() => { if (stations.size) drawStations(); }, 1000);

  // --- Counts and the chart -------------------------------------------------------

  // A device's attempt is in the store as failed ("interrupted") from its start until
  // it ends: a station flashing now has one such record that is no failure yet.
  function inFlight(pc, port) {
    const s = stations.get(key(pc, port));
    return s !== undefined && s.state === 'flashing' && isRunning(s);
  }

  function todayOf(pc, port) {
    const counts = todayByStation.get(key(pc, port)) || { passed: 0, failed: 0 };
    return { passed: counts.passed, failed: Math.max(0, counts.failed - (inFlight(pc, port) ? 1 : 0)) };
  }

  function flashingNow() {
    let count = 0;
    for (const s of stations.values()) if (s.state === 'flashing' && isRunning(s)) ++count;
    return count;
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
    source.addEventListener('changes', (event) => applyChanges(JSON.parse(event.data)));
    source.addEventListener('clock', (event) => applyClock(JSON.parse(event.data)));
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
