// The active engine's own settings, for engines whose profile takes them ("Options"): the
// address of its server, its model (offered from the models the server listed), how many
// finished sentences go with each request, and its key. The key field is write-only: the program
// keeps the key (in the desktop's secret store) and only ever says whether there is one.
(function () {
  'use strict';

  const {
    CONTEXT_DEFAULT, CONTEXT_MAX, CONTEXT_MIN, ENGINE_COMMAND, MESSAGE, SETTING, STATUS_MS,
  } = Quensary.constants;
  const { noteSetting, sendSetting } = Quensary.bridge;
  const { send } = Quensary.calls;
  const { $, flash, setHidden, setText } = Quensary.dom;
  const { intOr, isPlainObject } = Quensary.values;

  let el = null;
  let options = {};      // engine Id -> { address, model }, as the program stores them
  let context = CONTEXT_DEFAULT;  // sentences of context, as the program stores them
  let models = [];       // what the active engine's server listed
  let engine = null;     // the profile whose settings are shown, or null
  let status = {};       // what the program last said of it

  function setUpEngineSettings() {
    el = {
      panel: $('engine-settings'),
      addressField: $('engine-address-field'),
      address: $('engine-address'),
      modelField: $('engine-model-field'),
      model: $('engine-model'),
      models: $('engine-models'),
      contextField: $('engine-context-field'),
      context: $('engine-context'),
      optionsRow: $('engine-options-row'),
      saveOptions: $('save-engine-options'),
      optionsMessage: $('engine-options-message'),
      keyField: $('engine-key-field'),
      key: $('engine-key'),
      saveKey: $('save-engine-key'),
      forgetKey: $('forget-engine-key'),
      keyState: $('engine-key-state'),
      check: $('check-engine'),
    };
    el.context.min = String(CONTEXT_MIN);
    el.context.max = String(CONTEXT_MAX);
    el.saveOptions.addEventListener('click', saveOptions);
    el.saveKey.addEventListener('click', saveKey);
    el.key.addEventListener('keydown', (e) => {
      if (e.key === 'Enter') saveKey();
    });
    el.forgetKey.addEventListener('click', () => {
      if (engine) send(MESSAGE.setSetting, ENGINE_COMMAND.forgetKey, engine.Id);
      el.keyState.textContent = 'Forgetting the key…';
    });
    el.check.addEventListener('click', () => send(MESSAGE.setSetting, ENGINE_COMMAND.check, ''));
  }

  // The options the program keeps, from Init.
  function applyOptions(value, sentences) {
    options = isPlainObject(value) ? value : {};
    context = intOr(sentences, CONTEXT_DEFAULT, CONTEXT_MIN, CONTEXT_MAX);
    noteSetting(SETTING.contextSentences, String(context));
    render();
  }

  function takes(name) {
    return Boolean(engine) && Array.isArray(engine.Options) && engine.Options.includes(name);
  }

  // Shows the settings of this profile (null: none) with the program's latest status of it.
  function showFor(profile, latest) {
    const changed = !engine || !profile || engine.Id !== profile.Id;
    engine = profile;
    status = isPlainObject(latest) ? latest : {};
    showModels(isPlainObject(status.Languages) ? status.Languages.Models : null);
    if (changed) {
      el.key.value = '';
      flash(el.optionsMessage, '', '');
    }
    render(changed);
  }

  // The models the server listed, offered under the model field (which still takes any name).
  function showModels(listed) {
    const next = Array.isArray(listed)
      ? listed.filter((m) => typeof m === 'string' && m !== '') : [];
    if (next.length === models.length && next.every((m, i) => m === models[i])) return;
    models = next;
    el.models.textContent = '';
    for (const name of models) {
      const option = document.createElement('option');
      option.value = name;
      el.models.appendChild(option);
    }
  }

  function render(refill = true) {
    const shown = takes('address') || takes('model') || takes('context') || takes('key');
    setHidden(el.panel, !shown);
    if (!shown) return;
    const own = isPlainObject(options[engine.Id]) ? options[engine.Id] : {};
    setHidden(el.addressField, !takes('address'));
    setHidden(el.modelField, !takes('model'));
    setHidden(el.contextField, !takes('context'));
    setHidden(el.optionsRow, !takes('address') && !takes('model') && !takes('context'));
    if (refill) {
      const relay = isPlainObject(engine.Relay) ? engine.Relay : {};
      el.address.placeholder = typeof relay.Address === 'string' ? relay.Address : '';
      el.address.value = typeof own.address === 'string' ? own.address : '';
      el.model.value = typeof own.model === 'string' ? own.model : '';
      el.context.value = String(context);
    }
    setHidden(el.keyField, !takes('key'));
    const required = isPlainObject(engine.Relay) && engine.Relay.KeyRequired === true;
    let state = '';
    if (status.KeySaved === true) state = 'Key saved.';
    else if (status.KeySaved === false) state = required ? 'No key saved: this engine needs one.'
      : 'No key saved (none is needed for a server of your own).';
    if (status.KeysKept === 'session') {
      state += ' No secret service is running: a key is kept only until Quensary quits.';
    }
    setText(el.keyState, state.trim());
    setHidden(el.forgetKey, status.KeySaved !== true);
  }

  function saveOptions() {
    if (!engine) return;
    const address = el.address.value.trim();
    if (address !== '' && !/^https?:\/\/[^\s/@]+(\/\S*)?$/i.test(address)) {
      flash(el.optionsMessage, 'The address must start with http:// or https:// and hold no ' +
        'user name: a key goes under API key.', 'error');
      return;
    }
    const sentences = intOr(el.context.value, context, CONTEXT_MIN, CONTEXT_MAX);
    el.context.value = String(sentences);
    const contextChanged = takes('context') && sentences !== context;
    if (contextChanged) {
      context = sentences;
      sendSetting(SETTING.contextSentences, String(sentences));
    }
    const own = { address, model: el.model.value.trim() };
    const before = isPlainObject(options[engine.Id]) ? options[engine.Id] : {};
    // Each setting sent reopens the engine: the options only when they changed, or to try
    // them again when nothing did.
    const optionsChanged =
      (before.address || '') !== own.address || (before.model || '') !== own.model;
    if (!contextChanged || optionsChanged) {
      options = Object.assign({}, options, { [engine.Id]: own });
      sendSetting(SETTING.engineOptions, JSON.stringify(options));
    }
    flash(el.optionsMessage, 'Saved.', 'ok', STATUS_MS);
  }

  function saveKey() {
    if (!engine) return;
    const key = el.key.value.trim();
    // The field is emptied at once: the page keeps no key.
    el.key.value = '';
    if (key === '') {
      el.keyState.textContent = 'Paste the key into the field first.';
      return;
    }
    // Sent past the bridge's record of values sent, which would keep it.
    send(MESSAGE.setSetting, ENGINE_COMMAND.saveKey, JSON.stringify({ Engine: engine.Id, Key: key }));
    el.keyState.textContent = 'Saving the key…';
  }

  Quensary.engineSettings = Object.freeze({ setUpEngineSettings, applyOptions, showFor });
})();
