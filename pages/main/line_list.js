// The recent lines: each caption line with its translation and its own buttons, the copy buttons
// and the two-step clearing of every line and the history.
(function () {
  'use strict';

  const { CLEAR_CONFIRM_MS, COPY_WHICH, LINE_COMMAND, MESSAGE, STATUS_MS } = Quensary.constants;
  const { send } = Quensary.calls;
  const { $, flash } = Quensary.dom;
  const { isPlainObject } = Quensary.values;
  const { focusLine, focusRow, focusTabStop, keepTabStop, setUpLineKeys } = Quensary.lineKeys;
  const { deleteLine, drop, isHidden, listed, setUpLineUndo, undo } = Quensary.lineUndo;

  let el = null;
  const rows = new Map();   // Id -> row record
  let stickToBottom = true;
  let scrollQueued = false;
  let clearArmed = false;
  let clearTimer = 0;
  let lastList = [];       // the lines as the program sent them last

  // Rows are cloned from one prototype: much cheaper than building each from scratch when a
  // full list arrives at once.
  let rowPrototype = null;

  function setUpLineList() {
    el = {
      lines: $('lines'),
      linesEmpty: $('lines-empty'),
      linesCount: $('lines-count'),
      linesStatus: $('lines-status'),
      copyOriginals: $('copy-originals'),
      copyTranslations: $('copy-translations'),
      copyBoth: $('copy-both'),
      clearAll: $('clear-all'),
    };
    updateLinesMeta(0);
    wireLines();
    setUpLineKeys(el.lines, { deleteLine: deleteWithUndo, undo });
    setUpLineUndo({
      changed: () => applyLines(lastList),
      restored: (id) => (id ? focusLine(id) : focusTabStop()),
    });
  }

  function deleteWithUndo(id) {
    const row = rows.get(id);
    if (row) deleteLine(id, firstWords(row.o));
  }

  function applyLines(list) {
    lastList = list;
    const listedItems = validLines(list);
    listed(new Set(listedItems.map((item) => item.Id)));
    const items = listedItems.filter((item) => !isHidden(item.Id));
    const wanted = new Set(items.map((item) => item.Id));
    const listEl = el.lines;

    // If the focused line goes away, focus moves to the line that takes its place.
    let refocus = null;
    for (const [id, row] of rows) {
      if (wanted.has(id)) continue;
      const active = document.activeElement;
      if (active && active !== listEl && row.el.contains(active)) {
        refocus = Array.prototype.indexOf.call(listEl.children, row.el);
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
    keepTabStop((id) => rows.get(id)?.el);
    if (refocus !== null) focusRow(refocus);

    if (stickToBottom) queueScrollToBottom();
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

  function buildRowPrototype() {
    const make = (tag, className) => {
      const node = document.createElement(tag);
      if (className) node.className = className;
      return node;
    };
    const li = make('li', 'line');
    li.setAttribute('role', 'row');
    // Only the place the keyboard chose takes Tab (see line_keys.js).
    const text = make('div', 'line-text');
    text.setAttribute('role', 'gridcell');
    text.tabIndex = -1;
    const ori = make('p', 'ori');
    ori.dir = 'auto';
    const tar = make('p', 'tar');
    tar.dir = 'auto';
    text.append(ori, tar);

    const side = make('div', 'line-side');
    side.setAttribute('role', 'gridcell');
    const buttons = make('div', 'line-buttons');
    const retranslate = make('button', 'retranslate');
    retranslate.type = 'button';
    retranslate.textContent = '↻';
    retranslate.title = 'Retranslate';
    retranslate.tabIndex = -1;
    const del = make('button', 'delete');
    del.type = 'button';
    del.textContent = '✕';
    del.title = 'Delete (Delete key)';
    del.tabIndex = -1;
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
      o: null, t: null, x: null, f: null,
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
    // A line without a translation says why, when the engine failed; else it is on its way.
    const fail = typeof item.Fail === 'string' ? item.Fail : '';
    if (row.t !== item.Tar || row.x !== fail) {
      row.t = item.Tar;
      row.x = fail;
      const empty = item.Tar.trim() === '';
      const failed = empty && fail !== '';
      row.tar.textContent = failed ? `Not translated: ${fail}` : empty ? '…' : item.Tar;
      row.tar.classList.toggle('pending', empty && !failed);
      row.tar.classList.toggle('failed', failed);
      if (empty && !failed) row.tar.title = 'Waiting for the translation';
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

  // Written only when they change: writing the same text again still costs a layout.
  function updateLinesMeta(count) {
    const text = count > 0 ? `(${count})` : '';
    if (el.linesEmpty.hidden !== count > 0) el.linesEmpty.hidden = count > 0;
    if (el.linesCount.textContent !== text) el.linesCount.textContent = text;
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
      if (button.classList.contains('retranslate')) send(MESSAGE.lineCommand, LINE_COMMAND.retranslate, id);
      else if (button.classList.contains('delete')) deleteWithUndo(id);
    });

    const copies = [
      [el.copyOriginals, COPY_WHICH.originals, 'Copied the originals.'],
      [el.copyTranslations, COPY_WHICH.translations, 'Copied the translations.'],
      [el.copyBoth, COPY_WHICH.both, 'Copied originals and translations.'],
    ];
    for (const [button, which, message] of copies) {
      button.addEventListener('click', () => {
        send(MESSAGE.lineCommand, LINE_COMMAND.copyLines, which);
        flash(el.linesStatus, message, 'ok', STATUS_MS);
      });
    }

    el.clearAll.addEventListener('click', () => {
      if (clearArmed) {
        disarmClear();
        drop();
        send(MESSAGE.lineCommand, LINE_COMMAND.deleteLine, '');
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

  Quensary.lineList = Object.freeze({ setUpLineList, applyLines });
})();
