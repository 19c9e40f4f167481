// The keyboard inside the recent lines. The list is one Tab stop: one place in it (a line's text
// or one of its buttons) takes Tab, every other place is reached with the arrow keys, the way a
// grid works: Up and Down keep the column, Left and Right move along the line, Home and End (with
// or without Control) go to the first and the last line. Delete and Control+Z are the list's own
// keys.
(function () {
  'use strict';

  // The places of a line, left to right.
  const PLACES = '.line-text, .line-buttons button';
  const PAGE_ROWS = 10;

  let list = null;
  let onDelete = null;
  let onUndo = null;
  let stop = null;        // the place that takes Tab
  let wanted = null;      // { row, column } of the place last chosen, kept while lines come and go

  function setUpLineKeys(listEl, actions) {
    list = listEl;
    onDelete = actions.deleteLine;
    onUndo = actions.undo;
    list.addEventListener('focusin', (e) => {
      const place = e.target instanceof Element ? e.target.closest(PLACES) : null;
      if (place && list.contains(place)) choose(place);
    });
    list.addEventListener('keydown', onKey);
  }

  function placesOf(row) {
    return row ? Array.from(row.querySelectorAll(PLACES)) : [];
  }

  function choose(place) {
    if (stop !== place) {
      if (stop) stop.tabIndex = -1;
      place.tabIndex = 0;
      stop = place;
    }
    const row = place.closest('li');
    wanted = { row: row.dataset.id, column: placesOf(row).indexOf(place) };
  }

  // After the lines changed: the chosen place, if its line (rowOf gives a line's row by its Id)
  // is still listed, else the same column of the newest line takes Tab.
  function keepTabStop(rowOf) {
    const row = (wanted && rowOf(wanted.row)) || list.lastElementChild;
    if (!row) {
      stop = null;
      return;
    }
    const places = placesOf(row);
    const target = places[wanted ? wanted.column : 0] || places[0];
    if (!target || target === stop) return;
    if (stop) stop.tabIndex = -1;
    target.tabIndex = 0;
    stop = target;
  }

  // Focus to the place at this row and column, each kept within the list.
  function focusAt(rowIndex, column) {
    const rows = list.children;
    if (rows.length === 0) return;
    const row = rows[Math.max(0, Math.min(rows.length - 1, rowIndex))];
    const places = placesOf(row);
    const place = places[Math.max(0, Math.min(places.length - 1, column))];
    if (!place) return;
    choose(place);
    place.focus();
  }

  function onKey(e) {
    if (e.altKey || e.metaKey) return;
    const place = e.target instanceof Element ? e.target.closest(PLACES) : null;
    const row = place ? place.closest('li') : null;
    if (!row || !list.contains(row)) return;
    const rowIndex = Array.prototype.indexOf.call(list.children, row);
    const column = placesOf(row).indexOf(place);
    const last = list.children.length - 1;
    const moves = {
      ArrowUp: [rowIndex - 1, column],
      ArrowDown: [rowIndex + 1, column],
      PageUp: [rowIndex - PAGE_ROWS, column],
      PageDown: [rowIndex + PAGE_ROWS, column],
      Home: [0, column],
      End: [last, column],
      ArrowLeft: [rowIndex, column - 1],
      ArrowRight: [rowIndex, column + 1],
    };
    if (e.ctrlKey && (e.key === 'z' || e.key === 'Z')) {
      onUndo();
    } else if (e.shiftKey || (e.ctrlKey && e.key !== 'Home' && e.key !== 'End')) {
      return;
    } else if (moves[e.key]) {
      focusAt(...moves[e.key]);
    } else if (e.key === 'Delete') {
      onDelete(row.dataset.id);
    } else {
      return;
    }
    e.preventDefault();
  }

  // Focus to the line at this index (or the last one), in the column chosen before.
  function focusRow(index) {
    focusAt(Math.min(index, list.children.length - 1), wanted ? wanted.column : 0);
  }

  function focusTabStop() {
    if (stop) stop.focus();
  }

  function focusLine(id) {
    const index = Array.prototype.findIndex.call(list.children, (r) => r.dataset.id === id);
    if (index >= 0) focusAt(index, 0);
  }

  Quensary.lineKeys = Object.freeze({
    setUpLineKeys, keepTabStop, focusRow, focusLine, focusTabStop,
  });
})();
