// The window around the panels: the title bar (drag, double-click, window buttons), the corners
// that follow the window's state, and the footer (version and links).
(function () {
  'use strict';

  const {
    APP_VERSION, MESSAGE, OPEN_ADDRESS, OPEN_URL, REPORT_ADDRESS, WINDOW_BUTTON, WINDOW_COMMAND,
  } = Quensary.constants;
  const { send } = Quensary.calls;
  const { $ } = Quensary.dom;

  const CONTROLS = 'button, a, input, select, textarea';

  let version = null;

  function setUpWindowFrame() {
    version = $('version');
    wireTitlebar();
    wireFooter();
    watchMaximised();
  }

  function showVersion(o) {
    const text = typeof o[APP_VERSION] === 'string' ? o[APP_VERSION].trim() : '';
    version.textContent = text ? `Quensary ${text}` : 'Quensary';
  }

  function wireTitlebar() {
    const titlebar = $('titlebar');
    let dragging = false;

    titlebar.addEventListener('mousedown', (e) => {
      if (e.button !== 0) return;
      if (e.target instanceof Element && e.target.closest(CONTROLS)) return;
      e.preventDefault();
      dragging = true;
      send(MESSAGE.windowCommand, WINDOW_COMMAND.dragOn, '');
    });
    document.addEventListener('mouseup', () => {
      if (!dragging) return;
      dragging = false;
      send(MESSAGE.windowCommand, WINDOW_COMMAND.dragOff, '');
    });
    titlebar.addEventListener('dblclick', (e) => {
      if (e.target instanceof Element && e.target.closest(CONTROLS)) return;
      send(MESSAGE.windowCommand, WINDOW_COMMAND.zoomToggle, '');
    });

    const buttons = [
      ['minimise', WINDOW_BUTTON.minimise],
      ['maximise', WINDOW_BUTTON.maximise],
      ['quit', WINDOW_BUTTON.quit],
    ];
    for (const [id, which] of buttons) {
      $(id).addEventListener('click', () => send(MESSAGE.windowButton, which, ''));
    }
  }

  // The rounded corners only make sense while the window floats.
  function watchMaximised() {
    const app = document.querySelector('.app');
    const check = () => {
      const s = window.screen;
      const full = !!s && window.innerWidth >= s.availWidth - 2 && window.innerHeight >= s.availHeight - 2;
      app.classList.toggle('maximised', full);
    };
    window.addEventListener('resize', check);
    check();
  }

  function wireFooter() {
    $('home-page').addEventListener('click', () => send(MESSAGE.setSetting, OPEN_ADDRESS, ''));
    // The page itself never navigates: addresses go to the user's browser.
    const report = $('report-problem');
    report.addEventListener('click', (e) => {
      e.preventDefault();
      send(MESSAGE.openLink, OPEN_URL, REPORT_ADDRESS);
    });
    report.addEventListener('auxclick', (e) => e.preventDefault());
  }

  Quensary.windowFrame = Object.freeze({ setUpWindowFrame, showVersion });
})();
