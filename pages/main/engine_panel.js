// The engines: the list under Engine (the shipped profiles, the user's own and the active one)
// and the editor of the user's own engine profile.
(function () {
  'use strict';

  const { PROFILE_DIR, PROFILE_FILES, PROFILE_TIMEOUT_MS, SETTING } = Quensary.constants;
  const { sendSetting } = Quensary.bridge;
  const { $, flash } = Quensary.dom;
  const { has, isPlainObject } = Quensary.values;

  let el = null;
  let shippedProfiles = [];   // objects with string Id and Name, in PROFILE_FILES order
  let userProfile = null;     // { Id, Name } of a complete stored profile, else null
  let currentEngine = '';     // the engine the program reports as active

  function setUpEngines() {
    el = {
      engine: $('engine'),
      userEngine: $('user-engine'),
      saveEngine: $('save-engine'),
      engineMessage: $('engine-message'),
    };
    renderEngineOptions();

    el.engine.addEventListener('change', () => {
      if (!el.engine.value) return;
      currentEngine = el.engine.value;
      sendSetting(SETTING.selectEngine, currentEngine);
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
    return profiles;
  }

  // Shows the engine Init names as active. Returns the engine to start with: that one, else the
  // one selected.
  function applyActiveEngine(o) {
    const engine = typeof o[SETTING.selectEngine] === 'string' ? o[SETTING.selectEngine] : '';
    if (engine) currentEngine = engine;
    renderEngineOptions();
    return engine || el.engine.value;
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

  async function loadProfiles() {
    const results = await Promise.all(PROFILE_FILES.map(async (file) => {
      try {
        const parsed = JSON.parse(await withTimeout(readText(PROFILE_DIR + file), PROFILE_TIMEOUT_MS));
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
    if (wanted && options.some(([id]) => id === wanted)) select.value = wanted;
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
        userProfile = { Id: value.Id, Name: value.Name };
        if (el.engineMessage.classList.contains('error')) flash(el.engineMessage, '', '');
      } else {
        flash(el.engineMessage, `The stored profile is incomplete: ${problems.join('; ')}.`, 'error');
      }
    }
    renderEngineOptions();
  }

  Quensary.enginePanel = Object.freeze({
    setUpEngines,
    loadShippedProfiles,
    applyActiveEngine,
    applyUserEngine,
  });
})();
