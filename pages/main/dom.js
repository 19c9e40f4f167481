// Small helpers for the page's elements.
(function () {
  'use strict';

  function $(id) { return document.getElementById(id); }

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

  Quensary.dom = Object.freeze({ $, flash });
})();
