// Engine page of LibreTranslate (https://libretranslate.com, or a server of the user's own),
// through the program's relay, which adds the key as the "api_key" member the API documents.
// POST /translate {q, source, target, format} answers {translatedText}; errors answer
// {error} with 400 (say, a language it lacks), 403 (a missing or refused key), 429 (too many
// requests) or 5xx. GET /languages lists each source language with its targets.
(function () {
  'use strict';

  const { nameOf, normalCode } = window.QuensaryLanguages;
  const { call, option, relayReason } = window.QuensaryRelay;
  const ENGINE = 'LibreTranslate';
  const address = option('address');
  // The server's own code of each language it listed, where it differs from the program's
  // ("zh-Hans" for "zh"), so that a request names the language as the server does.
  const serverCodes = new Map();

  function failure(answer, source, target) {
    const relayed = relayReason(ENGINE, address, answer);
    if (relayed) return relayed;
    const said = answer.data && typeof answer.data.error === 'string' ? answer.data.error : '';
    switch (true) {
      case answer.status === 403 && /invalid/i.test(said): return `${ENGINE} refused the key`;
      case answer.status === 403:
        return `${ENGINE} needs a key: enter it under the engine's settings` +
          (said ? ` (${said})` : '');
      case answer.status === 429: return `${ENGINE} refused: too many requests, try again later`;
      case answer.status === 400 && source !== undefined:
        return `${ENGINE} cannot translate ${nameOf(source)} to ${nameOf(target)}` +
          (said ? `: ${said}` : '');
      case answer.status >= 500: return `${ENGINE} failed on its side (HTTP ${answer.status})`;
      default: return `${ENGINE} refused (HTTP ${answer.status})${said ? ': ' + said : ''}`;
    }
  }

  window.trans = async function (text, source, target) {
    const answer = await call('/translate', {
      q: String(text),
      source: source ? serverCodes.get(source) || source : 'auto',
      target: serverCodes.get(target) || target,
      format: 'text',
    });
    const translated = answer.data && answer.data.translatedText;
    if (answer.status === 200 && typeof translated === 'string') return translated;
    throw new Error(failure(answer, source || 'en', target));
  };

  window.languages = async function () {
    const answer = await call('/languages');
    if (answer.status !== 200 || !Array.isArray(answer.data)) throw new Error(failure(answer));
    const pairs = [];
    for (const language of answer.data) {
      if (!language || typeof language.code !== 'string') continue;
      if (!serverCodes.has(normalCode(language.code))) {
        serverCodes.set(normalCode(language.code), language.code);
      }
      const targets = Array.isArray(language.targets) ? language.targets : [];
      for (const target of targets) {
        if (typeof target === 'string' && target !== language.code) {
          pairs.push([normalCode(language.code), normalCode(target)]);
        }
      }
    }
    return { Pairs: pairs };
  };
})();
