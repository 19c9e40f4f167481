// Deleting one line with a way back: the line leaves the list at once, but the program is only
// told when the Undo button's time is up, so undoing costs nothing and loses nothing. One line
// waits at a time; deleting another, clearing everything, quitting or leaving the page lets the
// waiting one go at once.
(function () {
  'use strict';

  const { LINE_COMMAND, MESSAGE, STATUS_MS, UNDO_MS } = Quensary.constants;
  const { send } = Quensary.calls;
  const { $, flash } = Quensary.dom;

  let el = null;
  let waiting = '';       // the Id of the line whose deletion waits, or ''
  const gone = new Set(); // Ids the program was told to delete, until it lists them no more
  let timer = 0;
  let changed = null;     // shows the list again after a line left or came back
  let restored = null;    // focus to a line brought back by its Id, or ('') back into the list

  function setUpLineUndo(hooks) {
    el = { undo: $('undo-delete'), status: $('lines-status') };
    changed = hooks.changed;
    restored = hooks.restored;
    el.undo.addEventListener('click', undo);
    document.addEventListener('click', (e) => {
      if (e.target instanceof Element && e.target.closest('#quit')) letGo();
    }, true);
    window.addEventListener('pagehide', letGo);
  }

  // Takes the line out of the list, for UNDO_MS. `words` names it in the message.
  function deleteLine(id, words) {
    letGo();
    waiting = id;
    timer = setTimeout(letGo, UNDO_MS);
    el.undo.hidden = false;
    el.undo.setAttribute('aria-label', `Undo deleting: ${words}`);
    flash(el.status, `Deleted “${words}”.`, '', UNDO_MS);
    changed();
  }

  function undo() {
    if (!waiting) return;
    const id = waiting;
    end();
    flash(el.status, 'The line is back.', 'ok', STATUS_MS);
    changed();
    restored(id);
  }

  // The waiting deletion goes to the program now.
  function letGo() {
    if (!waiting) return;
    const id = waiting;
    const hadFocus = document.activeElement === el.undo;
    end();
    gone.add(id);
    send(MESSAGE.lineCommand, LINE_COMMAND.deleteLine, id);
    if (hadFocus) restored('');
  }

  // Forgets the waiting deletion: everything is being deleted anyway.
  function drop() {
    if (waiting) end();
  }

  function end() {
    clearTimeout(timer);
    waiting = '';
    el.undo.hidden = true;
  }

  // Whether a line the program lists is left out: its deletion waits, or the program has not yet
  // sent the list without it.
  function isHidden(id) {
    return id === waiting || gone.has(id);
  }

  // Every Id (a Set) of the list the program sent last.
  function listed(ids) {
    for (const id of gone) if (!ids.has(id)) gone.delete(id);
  }

  Quensary.lineUndo = Object.freeze({ setUpLineUndo, deleteLine, undo, drop, isHidden, listed });
})();
