// Quensary main window. The program drives this page through Init, Juzi, UpdateUserAddLine and
// UpdateCaptionSource, and the page answers through window.MyJsBack(name, first, second) with
// text arguments only.
(function () {
  'use strict';

  // Engine profiles shipped with the program, relative to ../engines/. Add new files here.
  const PROFILE_FILES = ['apertium-english-spanish.json'];
  const PROFILE_DIR = '../engines/';
  const PROFILE_TIMEOUT_MS = 5000;

  const LANGUAGES = [
    ['es', 'Spanish'], ['fr', 'French'], ['de', 'German'], ['it', 'Italian'],
    ['pt', 'Portuguese'], ['ca', 'Catalan'], ['gl', 'Galician'], ['nl', 'Dutch'],
    ['pl', 'Polish'], ['ru', 'Russian'], ['uk', 'Ukrainian'], ['ar', 'Arabic'],
    ['zh', 'Chinese'], ['ja', 'Japanese'], ['ko', 'Korean'], ['en', 'English'],
  ];

  const DEFAULTS = {
    showOriginal: false,
    showTranslation: false,
    targetLanguage: 'es',
    fontSize: 25,
    opacity: 100,
    colour: '#ffffff',
    onTop: false,
  };

  const FONT_MIN = 14;
  const FONT_MAX = 72;
  const RANGE_SEND_INTERVAL_MS = 100;
  const CLEAR_CONFIRM_MS = 5000;
  const STATUS_MS = 3500;
  const REPORT_ADDRESS = 'https://quensary.org/issues';

  // ---- Talking to the program ------------------------------------------------------------

  // Shared with the overlay: calls that come before start() wait in page_calls.js.
  const { send, receive, whenDomReady } = Quensary.calls;

  function sendSetting(key, value) {
    lastSent.set(key, value);
    send('set-setting', key, value);
  }

  // Ranges send while dragging, so skip values the program already has.
  function sendSettingIfChanged(key, value) {
    if (lastSent.get(key) === value) return;
    sendSetting(key, value);
  }

  const lastSent = new Map();

  // ---- Page state ------------------------------------------------------------------------

  let el = null;
  let initSeen = false;
  let shippedProfiles = [];   // objects with string Id and Name, in PROFILE_FILES order
  let userProfile = null;     // { Id, Name } of a complete stored profile, else null
  let currentEngine = '';     // the engine the program reports as active
  let colourProbe = null;

  function $(id) { return document.getElementById(id); }

  function start() {
    el = {
      app: document.querySelector('.app'),
      titlebar: $('titlebar'),
      minimise: $('minimise'),
      maximise: $('maximise'),
      quit: $('quit'),
      notice: $('overlay-off-notice'),
      showSubtitles: $('show-subtitles'),
      captionSource: $('caption-source'),
      captionSourceStatus: $('caption-source-status'),
      engine: $('engine'),
      targetLanguage: $('target-language'),
      showOriginal: $('show-original'),
      showTranslation: $('show-translation'),
      textSize: $('text-size'),
      textSizeValue: $('text-size-value'),
      panelOpacity: $('panel-opacity'),
      panelOpacityValue: $('panel-opacity-value'),
      textColour: $('text-colour'),
      onTop: $('on-top'),
      providerWindow: $('provider-window'),
      lines: $('lines'),
      linesEmpty: $('lines-empty'),
      linesCount: $('lines-count'),
      linesStatus: $('lines-status'),
      copyOriginals: $('copy-originals'),
      copyTranslations: $('copy-translations'),
      copyBoth: $('copy-both'),
      clearAll: $('clear-all'),
      ownEngineDetails: $('own-engine-details'),
      userEngine: $('user-engine'),
      saveEngine: $('save-engine'),
      engineMessage: $('engine-message'),
      version: $('version'),
      homePage: $('home-page'),
      reportProblem: $('report-problem'),
    };

    colourProbe = document.createElement('span');
    colourProbe.hidden = true;
    document.body.appendChild(colourProbe);

    fillLanguages();
    setRange(el.textSize, DEFAULTS.fontSize);
    setRange(el.panelOpacity, DEFAULTS.opacity);
    renderEngineOptions();
    updateNotice();
    updateLinesMeta(0);
    wireTitlebar();
    wireSettings();
    wireLines();
    wireUserEngine();
    wireFooter();
    watchMaximised();

    receive({
      Init: applyInit,
      Juzi: applyLines,
      UpdateUserAddLine: applyUserEngine,
      UpdateCaptionSource: applyCaptionSource,
    });

    loadProfiles().then((profiles) => {
      shippedProfiles = profiles.filter((p) => typeof p.Id === 'string' && p.Id !== '');
      renderEngineOptions();
      send('page-ready', JSON.stringify(profiles));
    });
  }

  whenDomReady(start);

  // ---- Shipped engine profiles -----------------------------------------------------------

  function readText(url) {
    const viaXhr = () => new Promise((resolve, reject) => {
      const xhr = new XMLHttpRequest();
      xhr.open('GET', url);
      xhr.onload = () => {
        if (xhr.status === 0 || (xhr.status >= 200 && xhr.status < 300)) resolve(xhr.responseText);
        else reject(new Error('HTTP ' + xhr.status));
      };
      xhr.onerror = () => reject(new Error('load failed'));
      xhr.send();
    });
    // Some WebKit builds refuse fetch() on custom schemes; XHR still works there.
    const viaFetch = fetch(url, { cache: 'no-store' }).then((response) => {
      if (!response.ok && response.status !== 0) throw new Error('HTTP ' + response.status);
      return response.text();
    });
    return viaFetch.catch(viaXhr);
  }

  function withTimeout(promise, ms) {
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error('timed out')), ms);
      promise.then(
        (v) => { clearTimeout(timer); resolve(v); },
        (e) => { clearTimeout(timer); reject(e); });
    });
  }

  async function loadProfiles() {
    const results = await Promise.all(PROFILE_FILES.map(async (file) => {
      try {
        const parsed = JSON.parse(await withTimeout(readText(PROFILE_DIR + file), PROFILE_TIMEOUT_MS));
        const list = Array.isArray(parsed) ? parsed : [parsed];
        return list.filter(isPlainObject);
      } catch (_) {
        return [];   // a broken file must not take the others down with it
      }
    }));
    return results.flat();
  }

  // ---- Small helpers ---------------------------------------------------------------------

  function isPlainObject(v) {
    return v !== null && typeof v === 'object' && !Array.isArray(v);
  }

  function has(obj, key) {
    return Object.prototype.hasOwnProperty.call(obj, key);
  }

  function boolOr(v, fallback) {
    return typeof v === 'boolean' ? v : fallback;
  }

  function intOr(v, fallback, min, max) {
    let n = NaN;
    if (typeof v === 'number') n = v;
    else if (typeof v === 'string' && v.trim() !== '') n = Number(v);
    if (!Number.isFinite(n)) return fallback;
    return Math.min(max, Math.max(min, Math.round(n)));
  }

  // <input type="color"> only accepts #rrggbb, while the program may store any CSS colour.
  function toHexColour(v) {
    if (typeof v !== 'string') return null;
    const s = v.trim();
    let m = /^#([0-9a-f]{6})([0-9a-f]{2})?$/i.exec(s);
    if (m) return '#' + m[1].toLowerCase();
    m = /^#([0-9a-f]{3})[0-9a-f]?$/i.exec(s);
    if (m) return '#' + m[1].split('').map((c) => c + c).join('').toLowerCase();
    if (!colourProbe || s === '') return null;
    colourProbe.style.color = '';
    colourProbe.style.color = s;
    if (!colourProbe.style.color) return null;
    const rgb = /rgba?\(\s*([\d.]+)[\s,]+([\d.]+)[\s,]+([\d.]+)/.exec(getComputedStyle(colourProbe).color);
    if (!rgb) return null;
    return '#' + rgb.slice(1, 4)
      .map((c) => Math.min(255, Math.round(Number(c))).toString(16).padStart(2, '0')).join('');
  }

  // A few words of a line, for button names such as "Delete: so what we found".
  function firstWords(text) {
    const words = text.trim().split(/\s+/).filter(Boolean);
    if (words.length === 0) return 'empty line';
    let s = words.slice(0, 6).join(' ');
    let cut = words.length > 6;
    const chars = Array.from(s);
    if (chars.length > 40) {
      s = chars.slice(0, 40).join('');
      cut = true;
    }
    return cut ? s + '…' : s;
  }

  function flash(node, text, kind, ms) {
    clearTimeout(node._timer);
    node.textContent = text;
    node.classList.toggle('ok', kind === 'ok');
    node.classList.toggle('error', kind === 'error');
    if (ms) {
      node._timer = setTimeout(() => {
        node.textContent = '';
        node.classList.remove('ok', 'error');
      }, ms);
    }
  }

  // ---- Title bar -------------------------------------------------------------------------

  function wireTitlebar() {
    let dragging = false;

    el.titlebar.addEventListener('mousedown', (e) => {
      if (e.button !== 0) return;
      if (e.target instanceof Element && e.target.closest('button, a, input, select, textarea')) return;
      e.preventDefault();
      dragging = true;
      send('window-command', 'drag-on', '');
    });
    document.addEventListener('mouseup', () => {
      if (!dragging) return;
      dragging = false;
      send('window-command', 'drag-off', '');
    });
    el.titlebar.addEventListener('dblclick', (e) => {
      if (e.target instanceof Element && e.target.closest('button, a, input, select, textarea')) return;
      send('window-command', 'zoom-toggle', '');
    });

    el.minimise.addEventListener('click', () => send('window-button', '1', ''));
    el.maximise.addEventListener('click', () => send('window-button', '2', ''));
    el.quit.addEventListener('click', () => send('window-button', '3', ''));
  }

  // The rounded corners only make sense while the window floats.
  function watchMaximised() {
    const check = () => {
      const s = window.screen;
      const full = !!s && window.innerWidth >= s.availWidth - 2 && window.innerHeight >= s.availHeight - 2;
      el.app.classList.toggle('maximised', full);
    };
    window.addEventListener('resize', check);
    check();
  }

  // ---- Settings --------------------------------------------------------------------------

  function fillLanguages() {
    for (const [code, name] of LANGUAGES) {
      const option = document.createElement('option');
      option.value = code;
      option.textContent = `${name} (${code})`;
      el.targetLanguage.appendChild(option);
    }
    el.targetLanguage.value = DEFAULTS.targetLanguage;
  }

  function setTargetLanguage(code) {
    const select = el.targetLanguage;
    if (!Array.from(select.options).some((o) => o.value === code)) {
      const option = document.createElement('option');
      option.value = code;
      option.textContent = code;
      select.appendChild(option);
    }
    select.value = code;
  }

  function renderEngineOptions() {
    const select = el.engine;
    const wanted = currentEngine || select.value;
    const shippedIds = new Set(shippedProfiles.map((p) => p.Id));
    const options = shippedProfiles.map((p) =>
      [p.Id, typeof p.Name === 'string' && p.Name.trim() !== '' ? p.Name : p.Id]);
    if (userProfile && !shippedIds.has(userProfile.Id)) {
      options.push([userProfile.Id, `${userProfile.Name} (your own)`]);
    }
    // The active engine stays visible even before (or without) its profile being known.
    if (wanted && !options.some(([id]) => id === wanted)) options.push([wanted, wanted]);

    const current = Array.from(select.options).map((o) => [o.value, o.textContent]);
    const same = current.length === options.length &&
      current.every(([v, t], i) => v === options[i][0] && t === options[i][1]);
    if (!same) {
      select.textContent = '';
      for (const [id, name] of options) {
        const option = document.createElement('option');
        option.value = id;
        option.textContent = name;
        select.appendChild(option);
      }
      if (options.length === 0) {
        const option = document.createElement('option');
        option.value = '';
        option.textContent = 'No engine available';
        option.disabled = true;
        select.appendChild(option);
      }
    }
    if (wanted && options.some(([id]) => id === wanted)) select.value = wanted;
  }

  function setRange(input, value) {
    input.value = String(value);
    showRangeValue(input);
  }

  function showRangeValue(input) {
    if (input === el.textSize) {
      el.textSizeValue.textContent = `${input.value} px`;
      input.setAttribute('aria-valuetext', `${input.value} pixels`);
    } else {
      el.panelOpacityValue.textContent = `${input.value} %`;
      input.setAttribute('aria-valuetext', `${input.value} percent`);
    }
  }

  function updateNotice() {
    el.notice.hidden = el.showOriginal.checked || el.showTranslation.checked;
  }

  // Leading and trailing sends, at most one per interval, so the overlay follows the slider
  // without flooding the program.
  function throttledSender(key, read) {
    let lastTime = 0;
    let timer = 0;
    const flush = () => {
      clearTimeout(timer);
      timer = 0;
      lastTime = Date.now();
      sendSettingIfChanged(key, read());
    };
    return {
      input() {
        const wait = RANGE_SEND_INTERVAL_MS - (Date.now() - lastTime);
        if (wait <= 0) flush();
        else if (!timer) timer = setTimeout(flush, wait);
      },
      change: flush,
    };
  }

  // What the program says of the caption source it reads: Mode is the user's choice, Active the
  // source read now, Reason why.
  const SOURCE_REASONS = {
    'stream-active': 'Reading LiveCaptions through its D-Bus text stream.',
    'stream-recent': 'Reading LiveCaptions: it sent text moments ago.',
    'stream-off': 'LiveCaptions found, but its text stream is off: turn on Settings, ' +
      'Experimental, D-Bus text stream. Reading the caption window meanwhile.',
    'no-stream': 'LiveCaptions is not running: reading the caption window through accessibility.',
    'forced': 'Reading the source chosen here.',
    'forced-no-sender': 'LiveCaptions is not running: no captions arrive until it starts.',
  };

  function applyCaptionSource(obj) {
    const o = isPlainObject(obj) ? obj : {};
    const mode = ['auto', 'accessibility', 'stream'].includes(o.Mode) ? o.Mode : 'auto';
    el.captionSource.value = mode;
    el.captionSourceStatus.textContent = has(SOURCE_REASONS, o.Reason)
      ? SOURCE_REASONS[o.Reason] : '';
  }

  function wireSettings() {
    el.captionSource.addEventListener('change', () => {
      sendSetting('caption-source', el.captionSource.value);
    });

    el.engine.addEventListener('change', () => {
      if (!el.engine.value) return;
      currentEngine = el.engine.value;
      sendSetting('select-engine', currentEngine);
    });

    el.targetLanguage.addEventListener('change', () => {
      sendSetting('target-language', el.targetLanguage.value);
    });

    const switches = [
      [el.showOriginal, 'overlay-show-original'],
      [el.showTranslation, 'overlay-show-translation'],
      [el.onTop, 'main-window-on-top'],
      [el.providerWindow, 'caption-window-shown'],
    ];
    for (const [input, key] of switches) {
      input.addEventListener('change', () => {
        sendSetting(key, input.checked ? '1' : '0');
        updateNotice();
      });
    }

    const ranges = [
      [el.textSize, 'overlay-font-size'],
      [el.panelOpacity, 'overlay-opacity-percent'],
    ];
    for (const [input, key] of ranges) {
      const sender = throttledSender(key, () => input.value);
      input.addEventListener('input', () => { showRangeValue(input); sender.input(); });
      input.addEventListener('change', () => { showRangeValue(input); sender.change(); });
    }

    const colour = throttledSender('overlay-text-colour', () => el.textColour.value);
    el.textColour.addEventListener('input', colour.input);
    el.textColour.addEventListener('change', colour.change);

    el.showSubtitles.addEventListener('click', () => {
      el.showTranslation.checked = true;
      sendSetting('overlay-show-translation', '1');
      updateNotice();
      // The notice (and the button) just vanished; keep the keyboard near the result.
      el.showTranslation.focus();
    });
  }

  function applyInit(obj) {
    const o = isPlainObject(obj) ? obj : {};

    el.showOriginal.checked = boolOr(o['overlay-show-original'], DEFAULTS.showOriginal);
    el.showTranslation.checked = boolOr(o['overlay-show-translation'], DEFAULTS.showTranslation);
    el.onTop.checked = boolOr(o['main-window-on-top'], DEFAULTS.onTop);

    const language = o['target-language'];
    setTargetLanguage(typeof language === 'string' && language.trim() !== ''
      ? language.trim() : DEFAULTS.targetLanguage);

    const fontSize = intOr(o['overlay-font-size'], DEFAULTS.fontSize, FONT_MIN, FONT_MAX);
    setRange(el.textSize, fontSize);
    lastSent.set('overlay-font-size', String(fontSize));

    const opacity = intOr(o['overlay-opacity-percent'], DEFAULTS.opacity, 0, 100);
    setRange(el.panelOpacity, opacity);
    lastSent.set('overlay-opacity-percent', String(opacity));

    el.textColour.value = toHexColour(o['overlay-text-colour']) || DEFAULTS.colour;
    lastSent.set('overlay-text-colour', el.textColour.value);

    const engine = typeof o['select-engine'] === 'string' ? o['select-engine'] : '';
    if (engine) currentEngine = engine;
    renderEngineOptions();

    const version = typeof o['app-version'] === 'string' ? o['app-version'].trim() : '';
    el.version.textContent = version ? `Quensary ${version}` : 'Quensary';

    updateNotice();

    // Only the first Init starts things: a later one (after a reload) merely refreshes the controls.
    if (!initSeen) {
      initSeen = true;
      const toSelect = engine || el.engine.value;
      if (toSelect) send('set-setting', 'select-engine', toSelect);
      send('start-capture', '', '');
    }
  }

  // ---- Recent lines ----------------------------------------------------------------------

  const rows = new Map();   // Id -> row record
  let stickToBottom = true;
  let scrollQueued = false;
  let clearArmed = false;
  let clearTimer = 0;

  // Rows are cloned from one prototype: much cheaper than building each from scratch when a
  // full list arrives at once.
  let rowPrototype = null;

  function buildRowPrototype() {
    const make = (tag, className) => {
      const node = document.createElement(tag);
      if (className) node.className = className;
      return node;
    };
    const li = make('li', 'line');
    const text = make('div', 'line-text');
    const ori = make('p', 'ori');
    ori.dir = 'auto';
    const tar = make('p', 'tar');
    tar.dir = 'auto';
    text.append(ori, tar);

    const side = make('div', 'line-side');
    const buttons = make('div', 'line-buttons');
    const retranslate = make('button', 'retranslate');
    retranslate.type = 'button';
    retranslate.textContent = '↻';
    retranslate.title = 'Retranslate';
    const del = make('button', 'delete');
    del.type = 'button';
    del.textContent = '✕';
    del.title = 'Delete';
    buttons.append(retranslate, del);

    const mark = make('span', 'mark');
    const glyph = make('span', 'glyph-text');
    glyph.setAttribute('aria-hidden', 'true');
    mark.append(glyph, make('span', ''));
    side.append(buttons, mark);
    li.append(text, side);
    return li;
  }

  function createRow(id) {
    if (!rowPrototype) rowPrototype = buildRowPrototype();
    const li = rowPrototype.cloneNode(true);
    li.dataset.id = id;
    const [text, side] = li.children;
    const [buttons, mark] = side.children;
    return {
      el: li,
      ori: text.children[0],
      tar: text.children[1],
      retranslate: buttons.children[0],
      del: buttons.children[1],
      glyph: mark.children[0],
      label: mark.children[1],
      o: null, t: null, f: null,
    };
  }

  function updateRow(row, item) {
    if (row.o !== item.Ori) {
      row.o = item.Ori;
      const empty = item.Ori.trim() === '';
      row.ori.textContent = empty ? '…' : item.Ori;
      row.ori.classList.toggle('pending', empty);
      const words = firstWords(item.Ori);
      row.retranslate.setAttribute('aria-label', `Retranslate: ${words}`);
      row.del.setAttribute('aria-label', `Delete: ${words}`);
    }
    if (row.t !== item.Tar) {
      row.t = item.Tar;
      const empty = item.Tar.trim() === '';
      row.tar.textContent = empty ? '…' : item.Tar;
      row.tar.classList.toggle('pending', empty);
      if (empty) row.tar.title = 'Waiting for the translation';
      else row.tar.removeAttribute('title');
    }
    if (row.f !== item.Finish) {
      row.f = item.Finish;
      row.el.classList.toggle('open', !item.Finish);
      row.glyph.textContent = item.Finish ? '✓' : '';
      row.label.textContent = item.Finish ? 'finished' : 'listening…';
      row.label.className = item.Finish ? 'sr-only' : '';
    }
  }

  function validLines(list) {
    const out = [];
    if (!Array.isArray(list)) return out;
    const seen = new Set();
    for (const item of list) {
      if (!isPlainObject(item)) continue;
      const { Id, Ori, Tar, Finish } = item;
      if (typeof Id !== 'string' || Id === '' || seen.has(Id)) continue;
      if (typeof Ori !== 'string' || typeof Tar !== 'string' || typeof Finish !== 'boolean') continue;
      seen.add(Id);
      out.push(item);
    }
    return out;
  }

  function applyLines(list) {
    const items = validLines(list);
    const wanted = new Set(items.map((item) => item.Id));
    const listEl = el.lines;

    // If the focused line goes away, focus moves to the line that takes its place.
    let refocus = null;
    for (const [id, row] of rows) {
      if (wanted.has(id)) continue;
      const active = document.activeElement;
      if (active && active !== listEl && row.el.contains(active)) {
        refocus = {
          index: Array.prototype.indexOf.call(listEl.children, row.el),
          kind: active.classList.contains('retranslate') ? 'retranslate' : 'delete',
        };
      }
      row.el.remove();
      rows.delete(id);
    }

    let prev = null;
    for (const item of items) {
      let row = rows.get(item.Id);
      if (!row) {
        row = createRow(item.Id);
        rows.set(item.Id, row);
      }
      updateRow(row, item);
      const expected = prev ? prev.nextSibling : listEl.firstChild;
      if (expected !== row.el) listEl.insertBefore(row.el, expected);
      prev = row.el;
    }

    updateLinesMeta(items.length);

    if (refocus) {
      const children = listEl.children;
      const target = children[Math.min(refocus.index, children.length - 1)];
      const button = target && target.querySelector('button.' + refocus.kind);
      if (button) button.focus();
      else listEl.focus();
    }

    if (stickToBottom) queueScrollToBottom();
  }

  function updateLinesMeta(count) {
    el.linesEmpty.hidden = count > 0;
    el.linesCount.textContent = count > 0 ? `(${count})` : '';
  }

  // Scrolling waits for the next frame so several updates in one frame cost a single layout.
  function queueScrollToBottom() {
    if (scrollQueued) return;
    scrollQueued = true;
    requestAnimationFrame(() => {
      scrollQueued = false;
      if (stickToBottom) el.lines.scrollTop = el.lines.scrollHeight;
    });
  }

  function disarmClear() {
    clearTimeout(clearTimer);
    clearArmed = false;
    el.clearAll.textContent = 'Clear all…';
    el.clearAll.classList.remove('armed');
  }

  function wireLines() {
    const listEl = el.lines;

    listEl.addEventListener('scroll', () => {
      stickToBottom = listEl.scrollHeight - listEl.scrollTop - listEl.clientHeight < 24;
    }, { passive: true });
    window.addEventListener('resize', () => {
      if (stickToBottom) queueScrollToBottom();
    });

    listEl.addEventListener('click', (e) => {
      const button = e.target instanceof Element ? e.target.closest('button') : null;
      const line = button ? button.closest('li.line') : null;
      if (!line || !listEl.contains(line)) return;
      const id = line.dataset.id || '';
      if (button.classList.contains('retranslate')) send('line-command', 'retranslate', id);
      else if (button.classList.contains('delete')) send('line-command', 'delete-line', id);
    });

    const copies = [
      [el.copyOriginals, '1', 'Copied the originals.'],
      [el.copyTranslations, '2', 'Copied the translations.'],
      [el.copyBoth, '3', 'Copied originals and translations.'],
    ];
    for (const [button, which, message] of copies) {
      button.addEventListener('click', () => {
        send('line-command', 'copy-lines', which);
        flash(el.linesStatus, message, 'ok', STATUS_MS);
      });
    }

    el.clearAll.addEventListener('click', () => {
      if (clearArmed) {
        disarmClear();
        send('line-command', 'delete-line', '');
        flash(el.linesStatus, 'Deleted all lines and the history.', 'ok', STATUS_MS);
        return;
      }
      clearArmed = true;
      el.clearAll.textContent = 'Click again to delete all lines and the history';
      el.clearAll.classList.add('armed');
      flash(el.linesStatus, 'Press the button again to confirm.', '', CLEAR_CONFIRM_MS);
      clearTimer = setTimeout(disarmClear, CLEAR_CONFIRM_MS);
    });
    el.clearAll.addEventListener('keydown', (e) => {
      if (e.key === 'Escape' && clearArmed) disarmClear();
    });
  }

  // ---- Your own engine -------------------------------------------------------------------

  // Returns what is wrong with a profile, or an empty list when it is complete.
  function profileProblems(v) {
    if (!isPlainObject(v)) {
      const what = v === null ? 'null' : Array.isArray(v) ? 'an array' : `a ${typeof v}`;
      return [`the profile must be a JSON object { … }, not ${what}`];
    }
    const problems = [];
    for (const key of ['Id', 'Name', 'Url', 'BeforeJs', 'Js']) {
      if (!has(v, key)) problems.push(`“${key}” is missing`);
      else if (typeof v[key] !== 'string') problems.push(`“${key}” must be a text in quotes`);
      else if ((key === 'Id' || key === 'Name' || key === 'Url') && v[key].trim() === '') {
        problems.push(`“${key}” must not be empty`);
      }
    }
    const integers = [['Delay', 0, 'a whole number of 0 or more'], ['Cot', 1, 'a whole number of 1 or more']];
    for (const [key, min, wording] of integers) {
      if (!has(v, key)) problems.push(`“${key}” is missing`);
      else if (!Number.isInteger(v[key]) || v[key] < min) problems.push(`“${key}” must be ${wording}`);
    }
    return problems;
  }

  function saveUserEngine() {
    const text = el.userEngine.value.trim();
    if (text === '') {
      flash(el.engineMessage, 'Not saved: the profile is empty.', 'error');
      return;
    }
    let parsed;
    try {
      parsed = JSON.parse(text);
    } catch (err) {
      flash(el.engineMessage, `Not saved: this is not valid JSON (${err.message}).`, 'error');
      return;
    }
    const problems = profileProblems(parsed);
    if (problems.length) {
      flash(el.engineMessage, `Not saved: ${problems.join('; ')}.`, 'error');
      return;
    }
    sendSetting('user-engine-json', text);
    const clash = shippedProfiles.some((p) => p.Id === parsed.Id);
    flash(el.engineMessage, clash
      ? `Saved. Its Id “${parsed.Id}” is already used by a built-in engine; choose another Id to list it separately.`
      : `Saved. Choose “${parsed.Name} (your own)” under Engine to use it.`, 'ok');
  }

  function applyUserEngine(...args) {
    const value = args[0];
    userProfile = null;
    if (value === undefined) {
      el.userEngine.value = '';
    } else if (typeof value === 'string') {
      el.userEngine.value = value;
      flash(el.engineMessage, 'The stored profile is not valid JSON. Correct it and save again.', 'error');
    } else {
      let text;
      try {
        text = JSON.stringify(value, null, 2);
      } catch (_) {
        text = undefined;
      }
      el.userEngine.value = typeof text === 'string' ? text : '';
      const problems = profileProblems(value);
      if (problems.length === 0) {
        userProfile = { Id: value.Id, Name: value.Name };
        if (el.engineMessage.classList.contains('error')) flash(el.engineMessage, '', '');
      } else {
        flash(el.engineMessage, `The stored profile is incomplete: ${problems.join('; ')}.`, 'error');
      }
    }
    renderEngineOptions();
  }

  function wireUserEngine() {
    el.saveEngine.addEventListener('click', saveUserEngine);
    el.userEngine.addEventListener('keydown', (e) => {
      if (e.key === 'Enter' && (e.ctrlKey || e.metaKey)) {
        e.preventDefault();
        saveUserEngine();
      }
    });
  }

  // ---- Footer ----------------------------------------------------------------------------

  function wireFooter() {
    el.homePage.addEventListener('click', () => send('set-setting', 'open-address', ''));
    // The page itself never navigates: addresses go to the user's browser.
    const openReport = (e) => {
      e.preventDefault();
      send('open-link', 'open-url', REPORT_ADDRESS);
    };
    el.reportProblem.addEventListener('click', openReport);
    el.reportProblem.addEventListener('auxclick', (e) => e.preventDefault());
  }
})();
