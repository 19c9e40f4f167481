// The engines: the list under Engine (the shipped profiles, the user's own and the active one),
// the status line of the active engine, the target languages it offers, and the editor of the
// user's own engine profile.
(function () {
  'use strict';

  const {
    DEFAULT_SOURCE, LANGUAGES, PROFILE_DIR, PROFILE_FILES, PROFILE_TIMEOUT_MS, SETTING,
    TIMING_DELAY_MS,
  } = Quensary.constants;
  const { sendSetting } = Quensary.bridge;
  const { $, flash, wrapChoice } = Quensary.dom;
  const { has, isPlainObject } = Quensary.values;
  const { offerTargets } = Quensary.settingsPanel;
  const { showFor } = Quensary.engineSettings;

  let el = null;
  let shippedProfiles = [];   // objects with string Id and Name, in PROFILE_FILES order
  let userProfile = null;     // { Id, Name, Languages } of a complete stored profile, else null
  let currentEngine = '';     // the engine the program reports as active
  let engineStatus = {};      // what the program last said of the active engine
  let settingsKnown = false;  // Init has said which language is chosen
  let showChoice = () => {};  // shows the chosen engine's whole name
  let timingTimer = 0;
  let timingWanted = '';

  function setUpEngines() {
    el = {
      engine: $('engine'),
      engineStatus: $('engine-status'), engineState: $('engine-state'),
      engineTiming: $('engine-timing'),
      userEngine: $('user-engine'),
      saveEngine: $('save-engine'),
      engineMessage: $('engine-message'),
    };
    showChoice = wrapChoice(el.engine);
    renderEngineOptions();

    el.engine.addEventListener('change', () => {
      if (!el.engine.value) return;
      currentEngine = el.engine.value;
      sendSetting(SETTING.selectEngine, currentEngine);
      showEngineStatus();
      refreshTargets();
    });

    el.saveEngine.addEventListener('click', saveUserEngine);
    el.userEngine.addEventListener('keydown', (e) => {
      if (e.key === 'Enter' && (e.ctrlKey || e.metaKey)) {
        e.preventDefault();
        saveUserEngine();
      }
    });
  }

  // Lists the shipped profiles once they are read; resolves to every profile read, usable or not.
  async function loadShippedProfiles() {
    const profiles = await loadProfiles();
    shippedProfiles = profiles.filter((p) => typeof p.Id === 'string' && p.Id !== '');
    renderEngineOptions();
    showEngineStatus();
    refreshTargets();
    return profiles;
  }

  // Shows the engine Init names as active. Returns the engine to start with: that one, else the
  // one selected.
  function applyActiveEngine(o) {
    const engine = typeof o[SETTING.selectEngine] === 'string' ? o[SETTING.selectEngine] : '';
    if (engine) currentEngine = engine;
    settingsKnown = true;
    renderEngineOptions();
    refreshTargets();
    return engine || el.engine.value;
  }

  // ---- The active engine: its status and its languages ----------------------------------

  // What the program knows of the active engine: Engine, Name, Answering (true, false or null
  // before it was asked), Reason, LastMs, Languages (what it reported, or null) and Source, the
  // captions' language.
  function applyEngineStatus(obj) {
    engineStatus = isPlainObject(obj) ? obj : {};
    if (typeof engineStatus.Engine === 'string' && engineStatus.Engine !== '') {
      currentEngine = engineStatus.Engine;
      renderEngineOptions();
    }
    showEngineStatus();
    refreshTargets();
  }

  function statusOfCurrent() {
    return engineStatus.Engine === currentEngine ? engineStatus : {};
  }

  function showEngineStatus() {
    const s = statusOfCurrent();
    const name = typeof s.Name === 'string' && s.Name !== '' ? s.Name : 'The engine';
    let text = '';
    let kind = '';
    // Only the state is announced: a screen reader would otherwise read the time of every
    // translation aloud.
    let timing = '';
    if (s.Answering === true) {
      text = `${name} answers.`;
      if (Number.isFinite(s.LastMs)) timing = ` The last translation took ${s.LastMs} ms.`;
      kind = 'ok';
    } else if (s.Answering === false) {
      text = typeof s.Reason === 'string' && s.Reason !== '' ? s.Reason : `${name} does not answer.`;
      kind = 'error';
    } else if (s.Engine) {
      text = `${name} has not been asked yet.`;
    }
    // Unchanged, it stays as it is: a status line rewritten every half second costs a repaint.
    const node = el.engineStatus;
    if (el.engineState.textContent !== text) el.engineState.textContent = text;
    showTiming(timing);
    node.classList.toggle('ok', kind === 'ok');
    node.classList.toggle('error', kind === 'error');
    showFor(profileOf(currentEngine), s);
  }

  // The timing changes with nearly every translation, and the line list in the other column with
  // it. WebKit paints the bounding box of what changed in one frame when that wastes little room,
  // and a scrolled list is large enough that the box of the list and this line is the whole of
  // both columns. Written in a frame of its own, the line alone is repainted.
  function showTiming(text) {
    timingWanted = text;
    if (timingTimer) return;
    timingTimer = setTimeout(() => {
      timingTimer = 0;
      if (el.engineTiming.textContent !== timingWanted) el.engineTiming.textContent = timingWanted;
    }, TIMING_DELAY_MS);
  }

  function profileOf(id) {
    if (userProfile && userProfile.Id === id && !shippedProfiles.some((p) => p.Id === id)) {
      return userProfile;
    }
    return shippedProfiles.find((p) => p.Id === id) || null;
  }

  function codesOf(list) {
    return Array.isArray(list) ? list.filter((c) => typeof c === 'string' && c !== '') : [];
  }

  // The targets an engine's languages offer from the captions' language, or null when it does not
  // say. Languages are { Pairs: [[source, target], ...] } or { Source: [...], Target: [...] }.
  function targetsOf(languages, source) {
    if (!isPlainObject(languages)) return null;
    if (Array.isArray(languages.Pairs)) {
      const pairs = languages.Pairs.filter((p) => Array.isArray(p) && codesOf(p).length === 2);
      const from = pairs.filter(([s]) => s === source);
      return [...new Set((from.length ? from : pairs).map(([, t]) => t))];
    }
    if (Array.isArray(languages.Target)) {
      return [...new Set(codesOf(languages.Target).filter((c) => c !== source))];
    }
    return null;
  }

  // The target list follows the active engine: what it reported, else what its profile says.
  function refreshTargets() {
    if (!settingsKnown || !currentEngine) return;
    const s = statusOfCurrent();
    const source = typeof s.Source === 'string' && s.Source !== '' ? s.Source : DEFAULT_SOURCE;
    const profile = profileOf(currentEngine);
    const targets = targetsOf(s.Languages, source) ||
      targetsOf(profile && profile.Languages, source);
    if (targets) {
      const name = (profile && typeof profile.Name === 'string' && profile.Name) || currentEngine;
      offerTargets(targets, name);
    } else {
      offerTargets(LANGUAGES, '');
    }
  }

  // ---- Shipped engine profiles -------------------------------------------------------------

  function readText(url) {
    const viaXhr = () => new Promise((resolve, reject) => {
      const xhr = new XMLHttpRequest();
      xhr.open('GET', url);
      xhr.onload = () => {
        if (xhr.status === 0 || (xhr.status >= 200 && xhr.status < 300)) resolve(xhr.responseText);
        else reject(new Error('HTTP ' + xhr.status));
      };
      xhr.onerror = () => reject(new Error('load failed'));
      xhr.send();
    });
    // Some WebKit builds refuse fetch() on custom schemes; XHR still works there.
    const viaFetch = fetch(url, { cache: 'no-store' }).then((response) => {
      if (!response.ok && response.status !== 0) throw new Error('HTTP ' + response.status);
      return response.text();
    });
    return viaFetch.catch(viaXhr);
  }

  function withTimeout(promise, ms) {
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error('timed out')), ms);
      promise.then(
        (v) => { clearTimeout(timer); resolve(v); },
        (e) => { clearTimeout(timer); reject(e); });
    });
  }

  // The texts come with the page (../engines/shipped.js, made by the program), so the list is
  // known before the page is first drawn; a file missing there is fetched.
  async function loadProfiles() {
    const shipped = Quensary.shippedProfileTexts ?? {};
    const results = await Promise.all(PROFILE_FILES.map(async (file) => {
      try {
        const text = Object.hasOwn(shipped, file)
          ? shipped[file]
          : await withTimeout(readText(PROFILE_DIR + file), PROFILE_TIMEOUT_MS);
        const parsed = JSON.parse(text);
        const list = Array.isArray(parsed) ? parsed : [parsed];
        return list.filter(isPlainObject);
      } catch (_) {
        return [];   // a broken file must not take the others down with it
      }
    }));
    return results.flat();
  }

  // ---- The list under Engine ---------------------------------------------------------------

  function renderEngineOptions() {
    const select = el.engine;
    const wanted = currentEngine || select.value;
    const shippedIds = new Set(shippedProfiles.map((p) => p.Id));
    const options = shippedProfiles.map((p) =>
      [p.Id, typeof p.Name === 'string' && p.Name.trim() !== '' ? p.Name : p.Id]);
    if (userProfile && !shippedIds.has(userProfile.Id)) {
      options.push([userProfile.Id, `${userProfile.Name} (your own)`]);
    }
    // The active engine stays visible even before (or without) its profile being known.
    if (wanted && !options.some(([id]) => id === wanted)) options.push([wanted, wanted]);

    const current = Array.from(select.options).map((o) => [o.value, o.textContent]);
    const same = current.length === options.length &&
      current.every(([v, t], i) => v === options[i][0] && t === options[i][1]);
    if (!same) {
      select.textContent = '';
      for (const [id, name] of options) {
        const option = document.createElement('option');
        option.value = id;
        option.textContent = name;
        select.appendChild(option);
      }
      if (options.length === 0) {
        const option = document.createElement('option');
        option.value = '';
        option.textContent = 'No engine available';
        option.disabled = true;
        select.appendChild(option);
      }
    }
    // Choosing the option already chosen would still repaint the column.
    if (wanted && select.value !== wanted && options.some(([id]) => id === wanted)) {
      select.value = wanted;
    }
    showChoice();
  }

  // ---- Your own engine ---------------------------------------------------------------------

  // Returns what is wrong with a profile, or an empty list when it is complete.
  function profileProblems(v) {
    if (!isPlainObject(v)) {
      const what = v === null ? 'null' : Array.isArray(v) ? 'an array' : `a ${typeof v}`;
      return [`the profile must be a JSON object { … }, not ${what}`];
    }
    const problems = [];
    for (const key of ['Id', 'Name', 'Url', 'BeforeJs', 'Js']) {
      if (!has(v, key)) problems.push(`“${key}” is missing`);
      else if (typeof v[key] !== 'string') problems.push(`“${key}” must be a text in quotes`);
      else if ((key === 'Id' || key === 'Name' || key === 'Url') && v[key].trim() === '') {
        problems.push(`“${key}” must not be empty`);
      }
    }
    const integers = [['Delay', 0, 'a whole number of 0 or more'], ['Cot', 1, 'a whole number of 1 or more']];
    for (const [key, min, wording] of integers) {
      if (!has(v, key)) problems.push(`“${key}” is missing`);
      else if (!Number.isInteger(v[key]) || v[key] < min) problems.push(`“${key}” must be ${wording}`);
    }
    return problems;
  }

  function saveUserEngine() {
    const text = el.userEngine.value.trim();
    if (text === '') {
      flash(el.engineMessage, 'Not saved: the profile is empty.', 'error');
      return;
    }
    let parsed;
    try {
      parsed = JSON.parse(text);
    } catch (err) {
      flash(el.engineMessage, `Not saved: this is not valid JSON (${err.message}).`, 'error');
      return;
    }
    const problems = profileProblems(parsed);
    if (problems.length) {
      flash(el.engineMessage, `Not saved: ${problems.join('; ')}.`, 'error');
      return;
    }
    sendSetting(SETTING.userEngine, text);
    const clash = shippedProfiles.some((p) => p.Id === parsed.Id);
    flash(el.engineMessage, clash
      ? `Saved. Its Id “${parsed.Id}” is already used by a built-in engine; choose another Id to list it separately.`
      : `Saved. Choose “${parsed.Name} (your own)” under Engine to use it.`, 'ok');
  }

  // The stored profile: absent, a text that is not JSON, or a parsed value of any shape.
  function applyUserEngine(value) {
    userProfile = null;
    if (value === undefined) {
      el.userEngine.value = '';
    } else if (typeof value === 'string') {
      el.userEngine.value = value;
      flash(el.engineMessage, 'The stored profile is not valid JSON. Correct it and save again.', 'error');
    } else {
      let text;
      try {
        text = JSON.stringify(value, null, 2);
      } catch (_) {
        text = undefined;
      }
      el.userEngine.value = typeof text === 'string' ? text : '';
      const problems = profileProblems(value);
      if (problems.length === 0) {
        userProfile = {
          Id: value.Id, Name: value.Name, Languages: value.Languages, Options: value.Options,
          Relay: value.Relay,
        };
        if (el.engineMessage.classList.contains('error')) flash(el.engineMessage, '', '');
      } else {
        flash(el.engineMessage, `The stored profile is incomplete: ${problems.join('; ')}.`, 'error');
      }
    }
    renderEngineOptions();
    refreshTargets();
  }

  Quensary.enginePanel = Object.freeze({
    setUpEngines,
    loadShippedProfiles,
    applyActiveEngine,
    applyEngineStatus,
    applyUserEngine,
  });
})();
