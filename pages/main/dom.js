// Small helpers for the page's elements.
(function () {
  'use strict';

  function $(id) { return document.getElementById(id); }

  // Status updates come every half second while captions run, mostly saying what is shown
  // already: a write of the same text or state would still lay out and repaint the column.
  function setText(node, text) {
    if (node.textContent !== text) node.textContent = text;
  }

  function setHidden(node, hidden) {
    if (node.hidden !== hidden) node.hidden = hidden;
  }

  // Shows a message in a status line; with `ms`, it clears itself after that long.
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

  // A select shows its choice on one line, cut off where it is too long. This puts the chosen
  // option's text over the select, wrapped, and returns what shows it again after the options or
  // the value changed from script (which fires no event). The select itself stays what is
  // focused, clicked and read out.
  function wrapChoice(select) {
    const text = document.createElement('span');
    text.className = 'select-text';
    text.setAttribute('aria-hidden', 'true');
    select.after(text);
    const show = () => {
      const option = select.selectedOptions[0];
      setText(text, option ? option.textContent : '');
    };
    select.addEventListener('change', show);
    show();
    return show;
  }

  Quensary.dom = Object.freeze({ $, flash, setHidden, setText, wrapChoice });
})();
