// How both pages talk to the program. The program calls functions of a page by name (Init, Juzi,
// ...) in scripts it evaluates; the page answers through window.MyJsBack(name, first, second),
// which the program injects at document start.
//
// The script element names the functions the program calls (data-calls="Init Juzi"); each of
// them exists from here on, and its calls wait until the page hands over its receivers, which
// then get them in the order they came. This script creates the pages' one namespace object,
// window.Quensary, and puts itself there as Quensary.calls; each of the page's scripts adds
// itself after it.
//
// The pages are classic scripts, loaded synchronously in the head, and not modules: a module
// runs only after the whole document is parsed, and while the program starts, its module files
// arrive late enough for WebKit to show a first frame of the page before it is set up.
(function () {
  'use strict';

  const waiting = [];   // [name, args] of calls that came before the receivers
  let receivers = null;

  function run(name, args) {
    try {
      receivers[name](...args);
    } catch (err) {
      // One bad call must not stop the calls that follow.
      console.error('Quensary:', err);
    }
  }

  // Texts only: the program takes a message whose parts are texts, missing parts empty.
  function send(name, first, second) {
    try {
      window.MyJsBack?.(String(name), first == null ? '' : String(first),
        second == null ? '' : String(second));
    } catch (_) {
      // Outside the program, or the bridge failed: the page must keep working regardless.
    }
  }

  // `pageReceivers` maps each name of data-calls to the function that does the work. The calls
  // that waited are run before this returns.
  function receive(pageReceivers) {
    if (receivers) return;
    receivers = pageReceivers;
    while (waiting.length) {
      const [name, args] = waiting.shift();
      run(name, args);
    }
  }

  function whenDomReady(start) {
    if (document.readyState === 'loading') {
      document.addEventListener('DOMContentLoaded', start, { once: true });
    } else {
      start();
    }
  }

  const names = (document.currentScript?.dataset.calls ?? '').split(/\s+/).filter(Boolean);
  for (const name of names) {
    window[name] = function (...args) {
      if (receivers) run(name, args);
      else waiting.push([name, args]);
    };
  }

  window.Quensary = { calls: Object.freeze({ send, receive, whenDomReady }) };
})();
