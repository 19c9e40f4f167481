// The overlay's page: the program calls Init and Juzi; the page answers through MyJsBack. The
// calls' receivers are set up here; calls that come before are kept by ../shared/page_calls.js
// and replayed in order.
(function () {
  'use strict';

  const { send, receive, whenDomReady } = Quensary.calls;

  // ---- Every word, key, default and limit of this page ------------------------------------

  // Keep in step with --grip-area and --bottom-gap in overlay.css.
  const GRIP_AREA = 24;
  const BOTTOM_GAP = 4;
  // Tall enough for the program's 60 px lock button, and the grip stays reachable when empty.
  const MIN_HEIGHT = 60;
  // A press on the grip whose pointer travels further than this (px) is a drag, not a click;
  // two clicks within this time (ms) are a double click.
  const DRAG_SLOP = 4;
  const DOUBLE_CLICK_MS = 400;

  // What the overlay shares with the program comes from its protocol script (../protocol.js,
  // loaded first): settings keys, defaults, ranges and words.
  const PROTOCOL = window.QuensaryProtocol;
  // The program sends the overlay no more lines than this.
  const SHOWN_LINES = PROTOCOL.overlayShownLines;
  const STORED = PROTOCOL.settings;
  const DEFAULTS = Object.freeze({
    showOri: STORED.showOriginal.default,
    showTar: STORED.showTranslation.default,
    fontSize: STORED.overlayFontSize.default,
    opacityPercent: STORED.overlayOpacity.default,
    colour: STORED.overlayTextColour.default,
    linesShown: STORED.overlayLinesShown.default,
    engineName: '',
  });
  const FONT_MIN = STORED.overlayFontSize.min;
  const FONT_MAX = STORED.overlayFontSize.max;
  const OPACITY_MIN = STORED.overlayOpacity.min;
  const OPACITY_MAX = STORED.overlayOpacity.max;
  const LINES_MIN = STORED.overlayLinesShown.min;
  const LINES_MAX = STORED.overlayLinesShown.max;
  // Zoomed and under the pointer, the panel is at least this dark, like the hover backdrop.
  const ZOOMED_ALPHA = 0.9;

  // Init's members.
  const SETTING = Object.freeze({
    showOri: STORED.showOriginal.key,
    showTar: STORED.showTranslation.key,
    fontSize: STORED.overlayFontSize.key,
    opacityPercent: STORED.overlayOpacity.key,
    colour: STORED.overlayTextColour.key,
    linesShown: STORED.overlayLinesShown.key,
    engineName: PROTOCOL.initMembers.currentEngineName,
  });

  // The program's handlers, and the words of its window command.
  const MESSAGE = PROTOCOL.handlers;
  const WINDOW_COMMAND = PROTOCOL.windowCommands;

  let settings = { ...DEFAULTS };

  let root = null;
  let box = null;
  let grip = null;
  // Line elements by Id; at most SHOWN_LINES at a time.
  const records = new Map();
  let boxEmpty = true;
  let lastReported = -1;
  let dragging = false;
  // Where the grip's latest press began (screen), and whether it moved the window. Double clicks
  // are counted here rather than taken from the browser, which counts the release of a drag as
  // a click where the grip still is and would zoom at the click that ends a drag.
  let pressPoint = null;
  let pressMoved = false;
  let lastClick = { at: -Infinity, x: 0, y: 0 };
  let lastClickZoomed = false;

  function clamp(n, lo, hi) {
    return Math.min(hi, Math.max(lo, n));
  }

  function bool(v, fallback) {
    return typeof v === 'boolean' ? v : fallback;
  }

  function num(v, fallback, lo, hi) {
    return typeof v === 'number' && Number.isFinite(v) ? clamp(v, lo, hi) : fallback;
  }

  // CSS-wide keywords and var() pass CSS.supports but would not give the text a colour.
  const NOT_A_COLOUR = /^(inherit|initial|unset|revert|revert-layer|currentcolor)$|var\(/i;

  function colour(v) {
    if (typeof v !== 'string') return DEFAULTS.colour;
    const s = v.trim();
    if (!s || NOT_A_COLOUR.test(s)) return DEFAULTS.colour;
    try {
      return window.CSS?.supports?.('color', s) ? s : DEFAULTS.colour;
    } catch (e) {
      return DEFAULTS.colour;
    }
  }

  function readSettings(obj) {
    if (typeof obj === 'string') {
      try {
        obj = JSON.parse(obj);
      } catch (e) {
        obj = null;
      }
    }
    const o = obj !== null && typeof obj === 'object' ? obj : {};
    return {
      showOri: bool(o[SETTING.showOri], DEFAULTS.showOri),
      showTar: bool(o[SETTING.showTar], DEFAULTS.showTar),
      fontSize: num(o[SETTING.fontSize], DEFAULTS.fontSize, FONT_MIN, FONT_MAX),
      opacityPercent: num(o[SETTING.opacityPercent], DEFAULTS.opacityPercent, OPACITY_MIN, OPACITY_MAX),
      colour: colour(o[SETTING.colour]),
      linesShown: Math.round(num(o[SETTING.linesShown], DEFAULTS.linesShown, LINES_MIN, LINES_MAX)),
      engineName: typeof o[SETTING.engineName] === 'string' ? o[SETTING.engineName].trim() : '',
    };
  }

  function applyInit(obj) {
    settings = readSettings(obj);
    const style = root.style;
    style.setProperty('--font-size', settings.fontSize + 'px');
    style.setProperty('--text-colour', settings.colour);
    // The setting is the panel's opacity itself: 100 % is a solid panel.
    const alpha = settings.opacityPercent / 100;
    style.setProperty('--panel-bg', `rgba(0, 0, 0, ${alpha})`);
    style.setProperty('--zoomed-panel-bg', `rgba(0, 0, 0, ${Math.max(alpha, ZOOMED_ALPHA)})`);
    root.classList.toggle('see-through', alpha < 1);
    style.setProperty('--lines-shown', String(settings.linesShown));
    root.classList.toggle('both', settings.showOri && settings.showTar);

    const label = settings.engineName
      ? `Move the subtitles — translated by ${settings.engineName}`
      : 'Move the subtitles';
    grip.setAttribute('aria-label', label);
    grip.title = label;

    for (const rec of records.values()) updateVisibility(rec);
    updateEmpty();
  }

  // A usable line, or null: the Id names the element, so without one there is nothing to keep.
  function normalise(item) {
    if (item === null || typeof item !== 'object') return null;
    let id = item.Id;
    if (typeof id === 'number' && Number.isFinite(id)) id = String(id);
    if (typeof id !== 'string' || id === '') return null;
    if (typeof item.Ori !== 'string') return null;
    return {
      id,
      ori: item.Ori,
      tar: typeof item.Tar === 'string' ? item.Tar : '',
      finish: item.Finish === true,
    };
  }

  // Only the tail matters, so a long list costs no more than a short one.
  function pickShown(lines) {
    const picked = [];
    if (!Array.isArray(lines)) return picked;
    const seen = new Set();
    for (let i = lines.length - 1; i >= 0 && picked.length < SHOWN_LINES; i--) {
      let line;
      try {
        line = normalise(lines[i]);
      } catch (e) {
        line = null; // a hostile getter
      }
      if (!line || seen.has(line.id)) continue;
      seen.add(line.id);
      picked.push(line);
    }
    return picked.reverse();
  }

  function makeRecord(id) {
    const el = document.createElement('div');
    el.className = 'line';
    el.dataset.id = id;
    const ori = document.createElement('div');
    ori.className = 'ori';
    ori.dir = 'auto';
    const tar = document.createElement('div');
    tar.className = 'tar';
    tar.dir = 'auto';
    el.append(ori, tar);
    // Only newly arriving lines fade in; text updates within a line never do.
    el.classList.add('enter');
    el.addEventListener('animationend', () => el.classList.remove('enter'), { once: true });
    return {
      el, ori, tar,
      oriText: '', tarText: '', finish: null,
      oriShown: true, tarShown: true, lineShown: true,
    };
  }

  function setHidden(el, hidden) {
    if (el.hidden !== hidden) el.hidden = hidden;
  }

  function updateVisibility(rec) {
    const oriShown = settings.showOri && rec.oriText !== '';
    const tarShown = settings.showTar && rec.tarText !== '';
    const lineShown = oriShown || tarShown;
    if (oriShown !== rec.oriShown) setHidden(rec.ori, !(rec.oriShown = oriShown));
    if (tarShown !== rec.tarShown) setHidden(rec.tar, !(rec.tarShown = tarShown));
    if (lineShown !== rec.lineShown) setHidden(rec.el, !(rec.lineShown = lineShown));
  }

  function updateEmpty() {
    let empty = true;
    for (const rec of records.values()) {
      if (rec.lineShown) {
        empty = false;
        break;
      }
    }
    if (empty !== boxEmpty) {
      boxEmpty = empty;
      box.classList.toggle('is-empty', empty);
    }
  }

  function applyJuzi(lines) {
    const shown = pickShown(lines);
    const keep = new Set(shown.map((l) => l.id));
    for (const [id, rec] of records) {
      if (!keep.has(id)) {
        rec.el.remove();
        records.delete(id);
      }
    }

    for (const line of shown) {
      let rec = records.get(line.id);
      if (!rec) {
        rec = makeRecord(line.id);
        records.set(line.id, rec);
      }
      // Writing the same text again would still invalidate layout.
      if (rec.oriText !== line.ori) rec.ori.textContent = rec.oriText = line.ori;
      if (rec.tarText !== line.tar) rec.tar.textContent = rec.tarText = line.tar;
      if (rec.finish !== line.finish) {
        rec.finish = line.finish;
        rec.el.classList.toggle('live', !line.finish);
      }
      updateVisibility(rec);
    }

    // Only nodes out of place are moved: a moved node restarts its fade and is announced again.
    let cursor = box.firstElementChild;
    for (const line of shown) {
      const el = records.get(line.id).el;
      if (el === cursor) cursor = cursor.nextElementSibling;
      else box.insertBefore(el, cursor);
    }

    updateEmpty();
    if (typeof ResizeObserver !== 'function') reportHeight();
  }

  function reportHeight() {
    const h = Math.max(MIN_HEIGHT, Math.ceil(box.getBoundingClientRect().height) + GRIP_AREA + BOTTOM_GAP);
    if (h === lastReported) return;
    lastReported = h;
    send(MESSAGE.contentHeight, String(h));
  }

  // The program marks the page while its window is zoomed.
  function zoomed() {
    return root.classList.contains('zoomed');
  }

  function setUpGrip() {
    grip.addEventListener('mousedown', (e) => {
      if (e.button !== 0) return;
      // Keeps the press from selecting or focusing anything while the window moves.
      e.preventDefault();
      pressPoint = { x: e.screenX, y: e.screenY };
      // A zoomed window stays where it is; a click on the grip brings it back instead.
      if (zoomed()) return;
      dragging = true;
      send(MESSAGE.windowCommand, WINDOW_COMMAND.dragOn);
    });
    document.addEventListener('mouseup', (e) => {
      if (pressPoint) {
        pressMoved = Math.abs(e.screenX - pressPoint.x) + Math.abs(e.screenY - pressPoint.y) > DRAG_SLOP;
        pressPoint = null;
      }
      if (!dragging) return;
      dragging = false;
      send(MESSAGE.windowCommand, WINDOW_COMMAND.dragOff);
    }, true);
    // A double click zooms; zoomed, a single click is the way back. The clicks right after
    // either belong to it and do nothing.
    grip.addEventListener('click', (e) => {
      // Two clicks make a double click only at one place on the screen: once the window has
      // zoomed or come back, its grip is elsewhere.
      const isDouble = !pressMoved && e.timeStamp - lastClick.at < DOUBLE_CLICK_MS &&
        Math.abs(e.screenX - lastClick.x) + Math.abs(e.screenY - lastClick.y) <= DRAG_SLOP;
      if (pressMoved || (isDouble && lastClickZoomed)) {
        lastClick.at = -Infinity;
        lastClickZoomed = false;
        return;
      }
      lastClick = { at: e.timeStamp, x: e.screenX, y: e.screenY };
      lastClickZoomed = zoomed() || isDouble;
      if (lastClickZoomed) send(MESSAGE.windowCommand, WINDOW_COMMAND.zoomToggle);
    });
    grip.addEventListener('dblclick', (e) => e.preventDefault());
    // A window cannot be dragged from the keyboard; zooming is what the grip can do there.
    grip.addEventListener('keydown', (e) => {
      if (e.key === 'Enter' || e.key === ' ') {
        e.preventDefault();
        if (!e.repeat) send(MESSAGE.windowCommand, WINDOW_COMMAND.zoomToggle);
      }
    });
  }

  whenDomReady(() => {
    root = document.documentElement;
    box = document.getElementById('subtitles');
    grip = document.getElementById('grip');
    if (!box || !grip) return;   // nothing to show calls in: they keep waiting

    root.classList.toggle('both', settings.showOri && settings.showTar);
    setUpGrip();
    if (typeof ResizeObserver === 'function') {
      new ResizeObserver(reportHeight).observe(box);
    }
    reportHeight();

    receive({ Init: applyInit, Juzi: applyJuzi });
  });
})();
