// How the transcript shows its parts: a line with its time, a session's heading with its
// buttons, and a search's matches marked inside the text. Text only ever goes in as text.
(function () {
  'use strict';

  const ID_SHAPE = /^(\d{4}-\d{2}-\d{2}) (\d{2}:\d{2})(:\d{2})/;

  // A line's time of day from its Id ("2026-03-14 09:26:53.589793" gives "09:26:53"); an Id of
  // another shape is shown whole.
  function clockOf(id) {
    const m = ID_SHAPE.exec(id);
    return m ? m[2] + m[3] : id;
  }

  // The date and minute a session began, for its heading.
  function startOf(id) {
    const m = ID_SHAPE.exec(id);
    return m ? `${m[1]} ${m[2]}` : id;
  }

  // `text` in `node`, each match of `term` (in any case) inside a <mark>. A text whose lower
  // case changes its length (a rare letter) is shown unmarked rather than marked in the wrong
  // place.
  function fillMarked(node, text, term) {
    node.textContent = '';
    const lower = text.toLowerCase();
    const wanted = term.toLowerCase();
    if (!wanted || lower.length !== text.length) {
      node.textContent = text;
      return;
    }
    let from = 0;
    for (let at = lower.indexOf(wanted); at >= 0; at = lower.indexOf(wanted, from)) {
      if (at > from) node.append(document.createTextNode(text.slice(from, at)));
      const mark = document.createElement('mark');
      mark.textContent = text.slice(at, at + wanted.length);
      node.append(mark);
      from = at + wanted.length;
    }
    if (from < text.length) node.append(document.createTextNode(text.slice(from)));
  }

  function lineRow(line, term) {
    const row = document.createElement('div');
    row.className = 't-line';
    row.dataset.id = line.Id;
    const time = document.createElement('span');
    time.className = 't-time';
    time.textContent = clockOf(line.Id);
    const text = document.createElement('div');
    text.className = 't-text';
    const ori = document.createElement('div');
    ori.className = 'ori';
    const tar = document.createElement('div');
    tar.className = 'tar';
    text.append(ori, tar);
    row.append(time, text);
    fillLine(row, line, term);
    return row;
  }

  // The row's texts anew (a translation came, or the search changed).
  function fillLine(row, line, term) {
    row._line = line;
    fillMarked(row.querySelector('.ori'), String(line.Ori ?? ''), term);
    fillMarked(row.querySelector('.tar'), String(line.Tar ?? ''), term);
  }

  const linesText = (count) => `${count} ${count === 1 ? 'line' : 'lines'}`;

  // A heading's title anew, for a session that has grown.
  function titleHeading(head, session) {
    head.querySelector('h3').textContent = `${startOf(session.First)} · ${linesText(session.Count)}`;
  }

  // A session's heading: when it began, how many lines, and its save and delete buttons.
  function sessionHeading(session) {
    const head = document.createElement('div');
    head.className = 't-session';
    head.dataset.first = session.First;
    const title = document.createElement('h3');
    const save = document.createElement('button');
    save.type = 'button';
    save.className = 't-save';
    save.textContent = 'Save…';
    save.setAttribute('aria-label', `Save the session of ${startOf(session.First)}`);
    const remove = document.createElement('button');
    remove.type = 'button';
    remove.className = 't-delete danger';
    remove.textContent = 'Delete…';
    remove.setAttribute('aria-label', `Delete the session of ${startOf(session.First)}`);
    head.append(title, save, remove);
    titleHeading(head, session);
    return head;
  }

  // A time as a datetime-local input holds it ("2026-03-14T09:26:53") from an Id, and the
  // start of the Ids of that second from an input's value; empty for anything else.
  const INPUT_SHAPE = /^(\d{4}-\d{2}-\d{2})T(\d{2}:\d{2})(:\d{2})?/;
  function inputTimeOf(id) {
    const m = ID_SHAPE.exec(id);
    return m ? `${m[1]}T${m[2]}${m[3]}` : '';
  }
  function idTimeOf(value) {
    const m = INPUT_SHAPE.exec(value);
    return m ? `${m[1]} ${m[2]}${m[3] ?? ':00'}` : '';
  }

  Quensary.transcriptRows = Object.freeze({
    lineRow, fillLine, sessionHeading, titleHeading, linesText, startOf, inputTimeOf, idTimeOf,
  });
})();
