// The main page's side of the bridge: the settings it sends. What it shares with the overlay
// (send, and the calls the program makes) is Quensary.calls, from ../shared/page_calls.js.
(function () {
  'use strict';

  const { MESSAGE } = Quensary.constants;
  const { send } = Quensary.calls;

  // Each setting's value as the program last had it from this page or from Init.
  const lastSent = new Map();

  function sendSetting(key, value) {
    lastSent.set(key, value);
    send(MESSAGE.setSetting, key, value);
  }

  // Ranges send while dragging, so skip values the program already has.
  function sendSettingIfChanged(key, value) {
    if (lastSent.get(key) === value) return;
    sendSetting(key, value);
  }

  // A value the program reported, so that sending it back is skipped.
  function noteSetting(key, value) {
    lastSent.set(key, value);
  }

  Quensary.bridge = Object.freeze({ sendSetting, sendSettingIfChanged, noteSetting });
})();
