// Engine page of the DeepL API (https://developers.deepl.com). DeepL refuses every request made
// from a browser, so each goes through the program's relay, which adds the key as the header
// "Authorization: DeepL-Auth-Key <key>" and sends it to api-free.deepl.com for a free key (one
// ending in ":fx") and to api.deepl.com for any other. POST /v2/translate {text: [...],
// target_lang, source_lang} answers {translations: [{text}]}; errors answer 403 (the key was
// refused), 456 (the quota is used up), 429 (too many requests), 400, 413 or 5xx.
// GET /v2/languages?type=target lists the target languages.
(function () {
  'use strict';

  const { nameOf, normalCode } = window.QuensaryLanguages;
  const { call, relayReason } = window.QuensaryRelay;
  const ENGINE = 'DeepL';

  // DeepL's own codes where the program's are not enough: English and Portuguese need a variant.
  const TARGET_CODES = { en: 'EN-US', pt: 'PT-BR' };

  function failure(answer, target) {
    const relayed = relayReason(ENGINE, 'api.deepl.com', answer);
    if (relayed) return relayed;
    const said = answer.data && typeof answer.data.message === 'string' ? answer.data.message : '';
    switch (true) {
      case answer.status === 403: return `${ENGINE} refused the key`;
      case answer.status === 456: return `${ENGINE}'s quota for this key is used up`;
      case answer.status === 429: return `${ENGINE} refused: too many requests, try again later`;
      case answer.status === 400 && target !== undefined:
        return `${ENGINE} cannot translate into ${nameOf(target)}${said ? ': ' + said : ''}`;
      case answer.status >= 500: return `${ENGINE} is unavailable (HTTP ${answer.status})`;
      default: return `${ENGINE} refused (HTTP ${answer.status})${said ? ': ' + said : ''}`;
    }
  }

  window.trans = async function (text, source, target) {
    const body = { text: [String(text)], target_lang: TARGET_CODES[target] || target.toUpperCase() };
    // Without a source language DeepL recognises it itself.
    if (source) body.source_lang = source.toUpperCase();
    const answer = await call('/v2/translate', body);
    const first = answer.data && Array.isArray(answer.data.translations) &&
      answer.data.translations[0];
    if (answer.status === 200 && first && typeof first.text === 'string') return first.text;
    throw new Error(failure(answer, target));
  };

  window.languages = async function () {
    const answer = await call('/v2/languages?type=target');
    if (answer.status !== 200 || !Array.isArray(answer.data)) throw new Error(failure(answer));
    const targets = answer.data
      .filter((l) => l && typeof l.language === 'string')
      .map((l) => normalCode(l.language));
    // DeepL translates from any language it knows into any of its targets.
    return { Source: [...new Set(targets)], Target: [...new Set(targets)] };
  };
})();
