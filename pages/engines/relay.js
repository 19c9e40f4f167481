// What the engine pages that reach their service through the program's relay share: the call
// itself, and the reasons, in words, for what the relay or the service refused. The relay adds
// the engine's key; the page never has it. The page's options (address, model) come in its
// address's query.
(function () {
  'use strict';

  const query = new URLSearchParams(location.search);

  // One request to the service: the path below its address, and a JSON body for a POST; an
  // AbortSignal may stop it, and the call then rejects with the signal's reason.
  // Resolves to { status, data (parsed JSON, or null), text, relay (the relay's own word, or '') }.
  async function call(path, body, signal) {
    const init = body === undefined ? {} : {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(body),
    };
    if (signal) init.signal = signal;
    let response;
    let text;
    try {
      response = await fetch('/relay' + path, init);
      text = await response.text();
    } catch (err) {
      if (signal && signal.aborted) throw signal.reason;
      throw new Error('the program did not pass the request on (' + String(err) + ')');
    }
    let data = null;
    try {
      data = JSON.parse(text);
    } catch (_) {
      // Not JSON: the caller judges by the status.
    }
    return { status: response.status, data, text, relay: response.headers.get('X-Quensary-Relay') || '' };
  }

  // The reason for a refusal of the relay itself, or '' when the service answered.
  function relayReason(engine, address, answer) {
    switch (answer.relay) {
      case 'no-key': return `${engine} needs a key: enter it under the engine's settings`;
      case 'address': return `${engine}'s address ${address} must use https, or be on this computer`;
      case 'unreachable':
        return /^https?:\/\/(127\.0\.0\.1|localhost|\[::1\])[:/]/.test(address + '/')
          ? `${engine} is not running at ${address}`
          : `${engine} at ${address} could not be reached: ${answer.text}`;
      case 'time-out': return `${engine} did not answer within ${answer.text}`;
      case 'too-large': return `${engine} answered with more than 1 MiB`;
      case 'request': return `${engine}: the program refused the request`;
      default: return '';
    }
  }

  window.QuensaryRelay = Object.freeze({
    call,
    relayReason,
    option: (name) => query.get(name) || '',
  });
})();
