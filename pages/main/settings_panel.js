// The settings panel: caption source, target language, the overlay's switches and ranges, the
// window switches, and the notice shown while the overlay shows nothing.
(function () {
  'use strict';

  const {
    CAPTION_SOURCE_MODES, DEFAULTS, FONT_MAX, FONT_MIN, LANGUAGES, LINES_MAX, LINES_MIN,
    OPACITY_MAX, OPACITY_MIN, RANGE_SEND_INTERVAL_MS, SETTING,
  } = Quensary.constants;
  const { nameOf } = window.QuensaryLanguages;
  const { noteSetting, sendSetting, sendSettingIfChanged } = Quensary.bridge;
  const { $, setText } = Quensary.dom;
  const { boolOr, has, intOr, isPlainObject } = Quensary.values;

  let el = null;
  let colourProbe = null;

  function setUpSettings() {
    el = {
      notice: $('overlay-off-notice'),
      showSubtitles: $('show-subtitles'),
      captionSource: $('caption-source'),
      captionSourceStatus: $('caption-source-status'),
      targetLanguage: $('target-language'),
      targetNote: $('target-note'),
      showOriginal: $('show-original'),
      showTranslation: $('show-translation'),
      textSize: $('text-size'),
      textSizeValue: $('text-size-value'),
      panelOpacity: $('panel-opacity'),
      panelOpacityValue: $('panel-opacity-value'),
      linesShown: $('lines-shown'),
      linesShownValue: $('lines-shown-value'),
      textColour: $('text-colour'),
      textColourButton: $('text-colour-button'),
      textColourSwatch: $('text-colour-swatch'),
      textColourValue: $('text-colour-value'),
      onTop: $('on-top'),
      providerWindow: $('provider-window'),
    };

    colourProbe = document.createElement('span');
    colourProbe.hidden = true;
    document.body.appendChild(colourProbe);

    offerTargets(LANGUAGES, '');
    el.targetLanguage.value = DEFAULTS.targetLanguage;
    // The ranges are the program's, so a value the page offers is one it keeps.
    el.textSize.min = String(FONT_MIN);
    el.textSize.max = String(FONT_MAX);
    el.panelOpacity.min = String(OPACITY_MIN);
    el.panelOpacity.max = String(OPACITY_MAX);
    el.linesShown.min = String(LINES_MIN);
    el.linesShown.max = String(LINES_MAX);
    setRange(el.textSize, DEFAULTS.fontSize);
    setRange(el.panelOpacity, DEFAULTS.opacity);
    setRange(el.linesShown, DEFAULTS.linesShown);
    showColour();
    updateNotice();
    wireSettings();
  }

  // The settings among Init's values.
  function applySettings(o) {
    el.showOriginal.checked = boolOr(o[SETTING.showOriginal], DEFAULTS.showOriginal);
    el.showTranslation.checked = boolOr(o[SETTING.showTranslation], DEFAULTS.showTranslation);
    el.onTop.checked = boolOr(o[SETTING.onTop], DEFAULTS.onTop);

    const language = o[SETTING.targetLanguage];
    setTargetLanguage(typeof language === 'string' && language.trim() !== ''
      ? language.trim() : DEFAULTS.targetLanguage);

    const fontSize = intOr(o[SETTING.fontSize], DEFAULTS.fontSize, FONT_MIN, FONT_MAX);
    setRange(el.textSize, fontSize);
    noteSetting(SETTING.fontSize, String(fontSize));

    const opacity = intOr(o[SETTING.opacity], DEFAULTS.opacity, OPACITY_MIN, OPACITY_MAX);
    setRange(el.panelOpacity, opacity);
    noteSetting(SETTING.opacity, String(opacity));

    const lines = intOr(o[SETTING.linesShown], DEFAULTS.linesShown, LINES_MIN, LINES_MAX);
    setRange(el.linesShown, lines);
    noteSetting(SETTING.linesShown, String(lines));

    el.textColour.value = toHexColour(o[SETTING.colour]) || DEFAULTS.colour;
    showColour();
    noteSetting(SETTING.colour, el.textColour.value);

    updateNotice();
  }

  // What the program says of the caption source it reads: Mode is the user's choice, Active the
  // source read now, Reason why. A reason that means no caption can arrive is shown as a warning.
  const NO_PROVIDER = 'Start a caption provider, such as quensary-caption-demo';
  const SOURCE_REASONS = {
    'stream-active': ['Reading LiveCaptions through its D-Bus text stream.'],
    'stream-recent': ['Reading LiveCaptions: it sent text moments ago.'],
    'stream-off': ['LiveCaptions found, but its text stream is off: turn on Settings, ' +
      'Experimental, D-Bus text stream. Reading the caption window meanwhile.'],
    'stream-off-no-window': ['LiveCaptions found, but its text stream is off: turn on ' +
      'Settings, Experimental, D-Bus text stream. No caption window was found either.', true],
    'no-stream': ['LiveCaptions is not running: reading the caption window through accessibility.'],
    'no-source': [`No caption source found. ${NO_PROVIDER}, or LiveCaptions with its D-Bus ` +
      'text stream on.', true],
    'forced': ['Reading the source chosen here.'],
    'forced-no-window': [`No caption window found: no captions arrive. ${NO_PROVIDER}.`, true],
    'forced-no-sender': ['LiveCaptions is not running: no captions arrive until it starts.', true],
  };

  function applyCaptionSource(obj) {
    const o = isPlainObject(obj) ? obj : {};
    const mode = CAPTION_SOURCE_MODES.includes(o.Mode) ? o.Mode : CAPTION_SOURCE_MODES[0];
    el.captionSource.value = mode;
    const [text, warn] = has(SOURCE_REASONS, o.Reason) ? SOURCE_REASONS[o.Reason] : [''];
    el.captionSourceStatus.textContent = text;
    el.captionSourceStatus.classList.toggle('warn', !!warn);
  }

  // <input type="color"> only accepts #rrggbb, while the program may store any CSS colour.
  function toHexColour(v) {
    if (typeof v !== 'string') return null;
    const s = v.trim();
    let m = /^#([0-9a-f]{6})([0-9a-f]{2})?$/i.exec(s);
    if (m) return '#' + m[1].toLowerCase();
    m = /^#([0-9a-f]{3})[0-9a-f]?$/i.exec(s);
    if (m) return '#' + m[1].split('').map((c) => c + c).join('').toLowerCase();
    if (!colourProbe || s === '') return null;
    colourProbe.style.color = '';
    colourProbe.style.color = s;
    if (!colourProbe.style.color) return null;
    const rgb = /rgba?\(\s*([\d.]+)[\s,]+([\d.]+)[\s,]+([\d.]+)/.exec(getComputedStyle(colourProbe).color);
    if (!rgb) return null;
    return '#' + rgb.slice(1, 4)
      .map((c) => Math.min(255, Math.round(Number(c))).toString(16).padStart(2, '0')).join('');
  }

  // Offers these target languages, in this order. With an engine's name, the list is what that
  // engine can do: a chosen language it cannot do gives way to its first, and the note says so.
  // Without one (an engine that does not say) the chosen language stays offered.
  function offerTargets(codes, engineName) {
    const select = el.targetLanguage;
    const wanted = select.value;
    const offered = codes.slice();
    if (!engineName && wanted && !offered.includes(wanted)) offered.push(wanted);
    const current = Array.from(select.options).map((o) => o.value);
    if (current.join('|') !== offered.join('|')) {
      select.textContent = '';
      for (const code of offered) {
        const option = document.createElement('option');
        option.value = code;
        option.textContent = `${nameOf(code)} (${code})`;
        select.appendChild(option);
      }
    }
    if (offered.length === 0) {
      el.targetNote.textContent = `${engineName} offers nothing from the captions' language.`;
      return;
    }
    if (wanted && offered.includes(wanted)) {
      if (select.value !== wanted) select.value = wanted;
      setText(el.targetNote, '');
      return;
    }
    select.value = offered[0];
    if (wanted) {
      sendSetting(SETTING.targetLanguage, offered[0]);
      el.targetNote.textContent = `${engineName} does not translate into ${nameOf(wanted)}: ` +
        `translating into ${nameOf(offered[0])}.`;
    }
  }

  function setTargetLanguage(code) {
    const select = el.targetLanguage;
    if (!Array.from(select.options).some((o) => o.value === code)) {
      const option = document.createElement('option');
      option.value = code;
      option.textContent = `${nameOf(code)} (${code})`;
      select.appendChild(option);
    }
    select.value = code;
  }

  function setRange(input, value) {
    input.value = String(value);
    showRangeValue(input);
  }

  function showRangeValue(input) {
    if (input === el.textSize) {
      el.textSizeValue.textContent = `${input.value} px`;
      input.setAttribute('aria-valuetext', `${input.value} pixels`);
    } else if (input === el.linesShown) {
      el.linesShownValue.textContent = input.value;
      input.setAttribute('aria-valuetext', `${input.value} ${input.value === '1' ? 'line' : 'lines'}`);
    } else {
      el.panelOpacityValue.textContent = `${input.value} %`;
      input.setAttribute('aria-valuetext', `${input.value} percent`);
    }
  }

  function showColour() {
    const value = el.textColour.value;
    el.textColourSwatch.style.background = value;
    el.textColourValue.textContent = value;
    el.textColourButton.setAttribute('aria-label', `Text colour ${value}, choose another`);
  }

  function updateNotice() {
    el.notice.hidden = el.showOriginal.checked || el.showTranslation.checked;
  }

  // Leading and trailing sends, at most one per interval, so the overlay follows the slider
  // without flooding the program.
  function throttledSender(key, read) {
    let lastTime = 0;
    let timer = 0;
    const flush = () => {
      clearTimeout(timer);
      timer = 0;
      lastTime = Date.now();
      sendSettingIfChanged(key, read());
    };
    return {
      input() {
        const wait = RANGE_SEND_INTERVAL_MS - (Date.now() - lastTime);
        if (wait <= 0) flush();
        else if (!timer) timer = setTimeout(flush, wait);
      },
      change: flush,
    };
  }

  function wireSettings() {
    el.captionSource.addEventListener('change', () => {
      sendSetting(SETTING.captionSource, el.captionSource.value);
    });

    el.targetLanguage.addEventListener('change', () => {
      el.targetNote.textContent = '';
      sendSetting(SETTING.targetLanguage, el.targetLanguage.value);
    });

    const switches = [
      [el.showOriginal, SETTING.showOriginal],
      [el.showTranslation, SETTING.showTranslation],
      [el.onTop, SETTING.onTop],
      [el.providerWindow, SETTING.providerWindow],
    ];
    for (const [input, key] of switches) {
      input.addEventListener('change', () => {
        sendSetting(key, input.checked ? '1' : '0');
        updateNotice();
      });
    }

    const ranges = [
      [el.textSize, SETTING.fontSize],
      [el.panelOpacity, SETTING.opacity],
      [el.linesShown, SETTING.linesShown],
    ];
    for (const [input, key] of ranges) {
      const sender = throttledSender(key, () => input.value);
      input.addEventListener('input', () => { showRangeValue(input); sender.input(); });
      input.addEventListener('change', () => { showRangeValue(input); sender.change(); });
    }

    const colour = throttledSender(SETTING.colour, () => el.textColour.value);
    el.textColour.addEventListener('input', () => { showColour(); colour.input(); });
    el.textColour.addEventListener('change', () => { showColour(); colour.change(); });
    // Opening the chooser needs the user's own click or key, which this one is.
    el.textColourButton.addEventListener('click', () => el.textColour.click());

    el.showSubtitles.addEventListener('click', () => {
      el.showTranslation.checked = true;
      sendSetting(SETTING.showTranslation, '1');
      updateNotice();
      // The notice (and the button) just vanished; keep the keyboard near the result.
      el.showTranslation.focus();
    });
  }

  Quensary.settingsPanel = Object.freeze({
    setUpSettings, applySettings, applyCaptionSource, offerTargets,
  });
})();
