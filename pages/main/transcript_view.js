// The transcript: every line of the history, oldest first, in sessions. The program reads it a
// page at a time by Id, so however long the history, the page holds at most MOST_ROWS lines:
// nearing the top asks for the lines before the first one, nearing the bottom for those after
// the last, and rows far out of view are dropped. At the newest line it follows new captions;
// scrolled back it holds still; a session that begins meanwhile gets its heading at once. It
// searches the history, saves a session, a time range or all of it, and deletes a session or a
// time range after a second click. Original and translation stand one above the other or side
// by side, as the user last chose.
(function () {
  'use strict';

  const { CLEAR_CONFIRM_MS, DEFAULTS, MESSAGE, SETTING, STATUS_MS } = Quensary.constants;
  const { send } = Quensary.calls;
  const { noteSetting, sendSetting } = Quensary.bridge;
  const { $, flash } = Quensary.dom;
  const { boolOr } = Quensary.values;
  const {
    lineRow, fillLine, sessionHeading, titleHeading, linesText, inputTimeOf, idTimeOf,
  } = Quensary.transcriptRows;
  const WORD = window.QuensaryProtocol.lineCommands;

  const PAGE_ROWS = 100;
  const MOST_ROWS = 300;
  // How close to an end of the list (in pixels) the next page is asked for.
  const NEAR_PX = 400;
  const SEARCH_DELAY_MS = 200;

  const el = {};
  let shown = false;
  let ask = 0;              // the number of the latest page asked for; other answers are late
  let loading = false;
  let moreWanted = false;   // new captions came while a page was on its way
  let towardNewest = false; // the page on its way is the newest one
  let liveAsk = 0;          // the number of the latest page asked for because of new captions
  let atOldest = false;
  let atNewest = false;
  let target = '';          // the Id to bring into view once its page has come
  let sessions = new Map(); // first Id -> session, oldest first
  let sessionsThrough = ''; // the newest row when the program was last asked for its sessions
  let term = '';
  let found = [];           // the Ids of the first results, which the buttons step through
  let total = 0;            // how many lines match in all
  let foundAt = -1;
  let searchTimer = 0;
  let armed = null;         // the delete button waiting for its second click
  let armedBounds = null;   // the lines it deletes, as counted when it was armed
  let armTimer = 0;
  let counting = null;      // the range whose lines the program is counting for a delete
  let deletedNote = '';

  const rows = () => el.list.querySelectorAll('.t-line');
  const firstRow = () => el.list.querySelector('.t-line');
  const lastRow = () => { const all = rows(); return all[all.length - 1] || null; };
  const rowOf = (id) => el.list.querySelector(`.t-line[data-id="${CSS.escape(id)}"]`);
  // At the bottom of the list's box as last seen, or as it is now: a box that has just shrunk
  // (before the resize observer has run) leaves a reader who was at the bottom there.
  let boxHeight = 0;
  const atBottom = () => el.list.scrollHeight - el.list.scrollTop -
    Math.max(el.list.clientHeight, boxHeight) < 4;

  function askPage(side, anchor, count) {
    ask += 1;
    towardNewest = false;
    loading = true;
    send(MESSAGE.lineCommand, WORD.transcriptPage,
      JSON.stringify({ Anchor: anchor, Side: side, Count: count, Ask: ask }));
  }

  function showNewest() {
    target = '';
    askPage('before', '', PAGE_ROWS);
    towardNewest = true;
  }
  function showOldest() { target = ''; askPage('after', '', PAGE_ROWS); }

  // Changes the list keeping what shows in place: at the bottom it stays there, else the first
  // row in view does.
  function keepingPlace(change) {
    const bottom = atBottom();
    const list = el.list;
    const seen = [...rows()].find((row) => row.offsetTop + row.offsetHeight > list.scrollTop);
    const offset = seen ? seen.offsetTop - list.scrollTop : 0;
    change();
    if (bottom) list.scrollTop = list.scrollHeight;
    else if (seen) list.scrollTop = seen.offsetTop - offset;
  }

  // Headings before the rows that begin a session; the rows are the page's, so this is cheap. A
  // heading already in place only takes its new count, so a delete button waiting for its
  // second click stays.
  function placeHeadings() {
    keepingPlace(() => {
      const kept = new Set();
      for (const row of rows()) {
        const session = sessions.get(row.dataset.id);
        if (!session) continue;
        let head = row.previousElementSibling;
        if (head?.classList.contains('t-session') && head.dataset.first === session.First) {
          titleHeading(head, session);
        } else {
          head = sessionHeading(session);
          row.before(head);
        }
        kept.add(head);
      }
      el.list.querySelectorAll('.t-session').forEach((h) => kept.has(h) || h.remove());
    });
    if (armed && !armed.isConnected) disarm();
  }

  // Rows newer than the newest session the page knows continue it or begin new ones; which,
  // only the program knows (a pause, a new run of the program). It is asked for the sessions
  // from that session's first line on, and its answer takes their place.
  function followSessions() {
    const newest = lastRow()?.dataset.id;
    const known = [...sessions.values()].pop();
    if (!newest || newest <= sessionsThrough || (known && newest <= known.Last)) return;
    sessionsThrough = newest;
    send(MESSAGE.lineCommand, WORD.transcriptSessions,
      JSON.stringify({ First: known ? known.First : '', Last: '' }));
  }

  function rowsFor(lines) {
    const part = document.createDocumentFragment();
    for (const line of lines) {
      const session = sessions.get(line.Id);
      if (session) part.append(sessionHeading(session));
      part.append(lineRow(line, term));
    }
    return part;
  }

  // Drops rows from one end until at most MOST_ROWS lines are left, keeping what shows in place.
  function trim(fromTop) {
    let extra = rows().length - MOST_ROWS;
    if (extra <= 0) return;
    if (fromTop) {
      atOldest = false;
      const before = el.list.scrollHeight;
      while (extra > 0 && el.list.firstElementChild) {
        if (el.list.firstElementChild.classList.contains('t-line')) extra -= 1;
        el.list.firstElementChild.remove();
      }
      el.list.scrollTop -= before - el.list.scrollHeight;
    } else {
      atNewest = false;
      while (extra > 0 && el.list.lastElementChild) {
        if (el.list.lastElementChild.classList.contains('t-line')) extra -= 1;
        el.list.lastElementChild.remove();
      }
      while (el.list.lastElementChild?.classList.contains('t-session')) el.list.lastElementChild.remove();
    }
  }

  function applyPage(answer) {
    if (answer.Ask !== ask) return;
    loading = false;
    const lines = Array.isArray(answer.Lines) ? answer.Lines : [];
    const full = lines.length >= PAGE_ROWS;
    if (answer.Anchor === '' || answer.Side === 'around') {
      el.list.textContent = '';
      el.list.append(rowsFor(lines));
      atOldest = answer.Side === 'after' && answer.Anchor === '';
      atNewest = answer.Side === 'before' && answer.Anchor === '';
      if (answer.Side === 'before') el.list.scrollTop = el.list.scrollHeight;
      else el.list.scrollTop = 0;
      if (!full && answer.Side !== 'around') atOldest = atNewest = true;
    } else if (answer.Side === 'before') {
      if (!full) atOldest = true;
      const before = el.list.scrollHeight;
      const top = el.list.scrollTop;
      el.list.prepend(rowsFor(lines));
      el.list.scrollTop = top + (el.list.scrollHeight - before);
      trim(false);
    } else if (answer.Ask === liveAsk && !atBottom() && rows().length + lines.length > MOST_ROWS) {
      // New captions while the user reads further up a full page: nothing they read is dropped
      // for them; they come when the user scrolls down.
      atNewest = false;
    } else {
      const follow = atNewest && atBottom();
      if (!full) atNewest = true;
      el.list.append(rowsFor(lines));
      if (follow) el.list.scrollTop = el.list.scrollHeight;
      trim(true);
      if (follow) el.list.scrollTop = el.list.scrollHeight;
    }
    el.empty.hidden = rows().length > 0 || !atOldest || !atNewest;
    if (target) {
      const row = rowOf(target);
      target = '';
      if (row) showResult(row);
    }
    if (moreWanted && atNewest) {
      moreWanted = false;
      askNewer();
    } else {
      loadNearEnds();
    }
    followSessions();
  }

  function askNewer() {
    const last = lastRow();
    if (last) askPage('after', last.dataset.id, PAGE_ROWS);
    else showNewest();
    liveAsk = ask;
  }

  function loadNearEnds() {
    if (!shown || loading) return;
    const list = el.list;
    if (!atOldest && list.scrollTop < NEAR_PX && firstRow()) {
      askPage('before', firstRow().dataset.id, PAGE_ROWS);
    } else if (!atNewest && list.scrollHeight - list.scrollTop - list.clientHeight < NEAR_PX &&
      lastRow()) {
      askPage('after', lastRow().dataset.id, PAGE_ROWS);
    }
  }

  // New captions: rows already shown take their new texts; at the newest line the rest follow.
  function applyLines(list) {
    if (!shown || !Array.isArray(list)) return;
    // A translation that comes makes its row taller: a reader at the bottom stays there.
    const follow = atNewest && atBottom();
    for (const line of list) {
      const row = line && rowOf(String(line.Id));
      if (row) fillLine(row, line, term);
    }
    if (follow) el.list.scrollTop = el.list.scrollHeight;
    if (loading) {
      if (atNewest || towardNewest) moreWanted = true;
    } else if (atNewest) {
      askNewer();
    }
  }

  // Search.
  function showFound() {
    // Every match is counted; the buttons step through the first of them.
    const stepped = total > found.length ? `, first ${found.length}` : '';
    el.found.textContent = !term ? '' : found.length === 0 ? 'No results'
      : `${foundAt + 1} of ${total}${stepped}`;
    el.previous.disabled = el.next.disabled = found.length === 0;
  }

  function showResult(row) {
    el.list.querySelector('.t-line.current')?.classList.remove('current');
    row.classList.add('current');
    row.scrollIntoView({ block: 'center' });
  }

  function goToResult(index) {
    if (found.length === 0) return;
    foundAt = (index + found.length) % found.length;
    showFound();
    const id = found[foundAt];
    const row = rowOf(id);
    if (row) {
      showResult(row);
    } else {
      target = id;
      askPage('around', id, PAGE_ROWS);
    }
  }

  function applyFound(answer) {
    if (answer.Text !== term) return;
    found = Array.isArray(answer.Ids) ? answer.Ids : [];
    total = Number.isInteger(answer.Count) ? answer.Count : found.length;
    // The first result at or after the first line shown, else the first of all.
    const first = firstRow()?.dataset.id ?? '';
    const next = found.findIndex((id) => id >= first);
    foundAt = -1;
    showFound();
    goToResult(next >= 0 ? next : 0);
  }

  function search() {
    term = el.search.value.trim();
    for (const row of rows()) fillLine(row, row._line, term);
    found = [];
    foundAt = -1;
    showFound();
    if (term) send(MESSAGE.lineCommand, WORD.transcriptSearch, term);
  }

  // Saving and deleting.
  function save(first, last) {
    send(MESSAGE.lineCommand, WORD.saveTranscript, JSON.stringify({
      First: first, Last: last, Format: el.format.value, Sides: Number(el.sides.value),
    }));
  }

  function disarm() {
    clearTimeout(armTimer);
    if (armed) {
      armed.textContent = armed.dataset.label;
      armed.classList.remove('armed');
    }
    armed = armedBounds = null;
  }

  // The first click of a delete: the button asks for the second, which deletes `bounds` (the
  // lines counted now, however the session grows meanwhile).
  function arm(button, bounds, count, what) {
    disarm();
    armed = button;
    armedBounds = bounds;
    button.dataset.label = button.textContent;
    button.textContent = `Delete ${linesText(count)}?`;
    button.classList.add('armed');
    flash(el.status, `Press the button again to delete ${what} from the history.`, '',
      CLEAR_CONFIRM_MS);
    armTimer = setTimeout(disarm, CLEAR_CONFIRM_MS);
  }

  function deleteArmed(note) {
    const bounds = armedBounds;
    disarm();
    deletedNote = note;
    send(MESSAGE.lineCommand, WORD.deleteSession, JSON.stringify(bounds));
  }

  function onHeadingClick(e) {
    const button = e.target instanceof Element ? e.target.closest('button') : null;
    const head = button?.closest('.t-session');
    const session = head && sessions.get(head.dataset.first);
    if (!session) return;
    if (button.classList.contains('t-save')) {
      save(session.First, session.Last);
    } else if (armed === button) {
      deleteArmed('The session was deleted.');
    } else {
      arm(button, { First: session.First, Last: session.Last }, session.Count, 'this session');
    }
  }

  // The time range: from the start of its first second to the end of its last, as Ids compare.
  // An empty end is open; a delete needs both.
  function range(forDelete) {
    const first = idTimeOf(el.from.value);
    const last = idTimeOf(el.to.value);
    let problem = '';
    if (forDelete && (!first || !last)) problem = 'Choose both times of the range to delete.';
    else if (first && last && last < first) problem = 'The range ends before it begins.';
    if (problem) {
      flash(el.status, problem, 'error', STATUS_MS);
      return null;
    }
    return { First: first, Last: last && `${last}.999999` };
  }

  function toggleRange() {
    const open = el.rangeButton.getAttribute('aria-expanded') !== 'true';
    el.rangeButton.setAttribute('aria-expanded', String(open));
    el.range.hidden = !open;
    if (!open) return;
    // The lines shown, unless the user chose other times before.
    if (!el.from.value) el.from.value = inputTimeOf(firstRow()?.dataset.id ?? '');
    if (!el.to.value) el.to.value = inputTimeOf(lastRow()?.dataset.id ?? '');
    el.from.focus();
  }

  // A range's delete is counted by the program first: its answer arms the button.
  function onDeleteRange() {
    if (armed === el.deleteRange) {
      deleteArmed('The lines of the range were deleted.');
      return;
    }
    disarm();
    counting = range(true);
    if (counting) send(MESSAGE.lineCommand, WORD.transcriptSessions, JSON.stringify(counting));
  }

  function applyRangeCount(answer) {
    if (!counting || answer.First !== counting.First || answer.Last !== counting.Last) return;
    const bounds = counting;
    counting = null;
    const count = (answer.Sessions || []).reduce((sum, s) => sum + s.Count, 0);
    if (count === 0) flash(el.status, 'No lines in this range.', '', STATUS_MS);
    else arm(el.deleteRange, bounds, count, 'the lines of this range');
  }

  function applySessions(answer) {
    const list = Array.isArray(answer.Sessions) ? answer.Sessions : [];
    if (answer.Last) {
      applyRangeCount(answer);
      return;
    }
    // An answer from a session on (or from the start) replaces that session and those after it.
    const from = String(answer.First ?? '');
    for (const first of sessions.keys()) if (first >= from) sessions.delete(first);
    for (const session of list) sessions.set(session.First, session);
    placeHeadings();
    followSessions();
  }

  // One above the other, or side by side in two columns that wrap when the window is narrow.
  function showSideBySide(on) {
    el.sideBySide.setAttribute('aria-pressed', String(on));
    keepingPlace(() => el.list.classList.toggle('side-by-side', on));
  }

  function applySettings(o) {
    const on = boolOr(o[SETTING.sideBySide], DEFAULTS.sideBySide);
    noteSetting(SETTING.sideBySide, on ? '1' : '0');
    showSideBySide(on);
  }

  function applyAnswer(answer) {
    if (!answer || typeof answer !== 'object') return;
    switch (answer.Kind) {
      case 'page':
        applyPage(answer);
        break;
      case 'sessions':
        applySessions(answer);
        break;
      case 'deleted':
        applySessions(answer);
        flash(el.status, deletedNote, 'ok', STATUS_MS);
        showNewest();
        break;
      case 'found':
        applyFound(answer);
        break;
      case 'saved':
        if (answer.Error) flash(el.status, `Not saved: ${answer.Error}`, 'error');
        else if (answer.Path) flash(el.status, `Saved to ${answer.Path}`, 'ok', STATUS_MS);
        break;
      default:
        break;
    }
  }

  // The two views, as tabs: Left and Right move between them.
  function select(tab) {
    for (const t of el.tabs) {
      const on = t === tab;
      t.setAttribute('aria-selected', String(on));
      t.tabIndex = on ? 0 : -1;
      $(t.getAttribute('aria-controls')).hidden = !on;
    }
    const nowShown = tab === el.tabs[1];
    // Reading back needs the room more than the overlay notice and the source settings do.
    el.tabs[0].closest('.lines-panel').classList.toggle('reading-transcript', nowShown);
    if (nowShown && !shown) {
      shown = true;
      send(MESSAGE.lineCommand, WORD.transcriptSessions, '');
      if (atNewest || rows().length === 0) showNewest();
    }
    shown = nowShown;
  }

  function setUpTranscript() {
    Object.assign(el, {
      list: $('transcript'), empty: $('transcript-empty'), status: $('transcript-status'),
      search: $('transcript-search'), found: $('transcript-found'),
      previous: $('transcript-previous'), next: $('transcript-next'),
      format: $('transcript-format'), sides: $('transcript-sides'),
      tabs: [$('tab-recent'), $('tab-transcript')], sideBySide: $('transcript-side-by-side'),
      rangeButton: $('transcript-range-button'), range: $('transcript-range'),
      from: $('transcript-from'), to: $('transcript-to'), deleteRange: $('transcript-delete-range'),
    });
    el.deleteRange.dataset.label = el.deleteRange.textContent;
    for (const tab of el.tabs) tab.addEventListener('click', () => select(tab));
    el.tabs[0].parentElement.addEventListener('keydown', (e) => {
      if (e.key !== 'ArrowLeft' && e.key !== 'ArrowRight') return;
      const other = el.tabs[el.tabs[0].getAttribute('aria-selected') === 'true' ? 1 : 0];
      select(other);
      other.focus();
      e.preventDefault();
    });
    // A reader at the bottom stays there when the list's box changes size (the texts above it
    // change their lines, the window is resized). The scroll event may come after the box has
    // shrunk, so the bottom is also judged by the box's height before the change.
    let pinned = true;
    el.list.addEventListener('scroll', () => {
      pinned = atBottom();
      loadNearEnds();
    }, { passive: true });
    new ResizeObserver(() => {
      const wasAtBottom = atBottom();
      boxHeight = el.list.clientHeight;
      if (pinned || wasAtBottom) el.list.scrollTop = el.list.scrollHeight;
    }).observe(el.list);
    el.list.addEventListener('click', onHeadingClick);
    el.list.addEventListener('keydown', (e) => {
      if (e.target !== el.list || e.ctrlKey || e.altKey || e.shiftKey) return;
      if (e.key === 'Home') showOldest();
      else if (e.key === 'End') showNewest();
      else return;
      e.preventDefault();
    });
    $('transcript-oldest').addEventListener('click', showOldest);
    $('transcript-newest').addEventListener('click', showNewest);
    $('transcript-save-all').addEventListener('click', () => save('', ''));
    el.sideBySide.addEventListener('click', () => {
      const on = el.sideBySide.getAttribute('aria-pressed') !== 'true';
      showSideBySide(on);
      sendSetting(SETTING.sideBySide, on ? '1' : '0');
    });
    el.rangeButton.addEventListener('click', toggleRange);
    $('transcript-save-range').addEventListener('click', () => {
      const bounds = range(false);
      if (bounds) save(bounds.First, bounds.Last);
    });
    el.deleteRange.addEventListener('click', onDeleteRange);
    for (const input of [el.from, el.to]) {
      input.addEventListener('input', () => {
        counting = null;
        if (armed === el.deleteRange) disarm();
      });
    }
    el.search.addEventListener('input', () => {
      clearTimeout(searchTimer);
      searchTimer = setTimeout(search, SEARCH_DELAY_MS);
    });
    el.search.addEventListener('keydown', (e) => {
      if (e.key !== 'Enter') return;
      e.preventDefault();
      if (el.search.value.trim() !== term) {
        clearTimeout(searchTimer);
        search();
      } else {
        goToResult(foundAt + (e.shiftKey ? -1 : 1));
      }
    });
    el.previous.addEventListener('click', () => goToResult(foundAt - 1));
    el.next.addEventListener('click', () => goToResult(foundAt + 1));
  }

  Quensary.transcriptView = Object.freeze({
    setUpTranscript, applyAnswer, applyLines, applySettings,
  });
})();
