// Engine page of the offline engine: Apertium APy on this machine (scripts/apertium-apy).
// trans(text, source, target) resolves to the translation and rejects, in words, with why it
// could not translate; languages() resolves to the pairs the running server has installed. The
// APy port may be given as ?port=N (default 2737).
(function () {
  'use strict';

  const { nameOf, normalCode } = window.QuensaryLanguages;

  // Only a decimal port number: anything else in the address (a host, user information, a
  // path) must never become part of where the captions are sent.
  const asked = new URLSearchParams(location.search).get('port');
  const port = /^[0-9]{1,5}$/.test(asked || '') && Number(asked) >= 1 && Number(asked) <= 65535
      ? Number(asked) : 2737;
  const server = 'http://127.0.0.1:' + port;
  const notRunning = 'Apertium is not running on 127.0.0.1:' + port;

  // APy silently cuts inputs beyond about 10 KB. 2,000 UTF-16 units are at most 6 KB of UTF-8.
  const maxPiece = 2000;

  // Splits the text into pieces of at most maxPiece units, preferably after a sentence end, else
  // after a space. Each piece keeps its trailing white space apart, so that joining the
  // translations with it restores the spacing that APy would trim.
  function pieces(text) {
    const out = [];
    let rest = text;
    while (rest.length > maxPiece) {
      const head = rest.slice(0, maxPiece);
      let cut = Math.max(head.lastIndexOf('. '), head.lastIndexOf('? '),
                         head.lastIndexOf('! '), head.lastIndexOf('\n'));
      if (cut <= 0) cut = head.lastIndexOf(' ');
      cut = cut <= 0 ? maxPiece : cut + 1;
      // Never split a surrogate pair.
      const code = rest.charCodeAt(cut - 1);
      if (code >= 0xd800 && code <= 0xdbff) cut -= 1;
      out.push(rest.slice(0, cut));
      rest = rest.slice(cut);
    }
    out.push(rest);
    return out.map(piece => {
      const body = piece.replace(/\s+$/, '');
      return {body, tail: piece.slice(body.length)};
    });
  }

  // A request to APy; a refused connection means no server listens there.
  async function ask(path, init) {
    let response;
    try {
      response = await fetch(server + path, init);
    } catch (_) {
      throw new Error(notRunning);
    }
    let reply = null;
    try {
      reply = await response.json();
    } catch (_) {
      // Not JSON: judged by the status below.
    }
    return {response, reply};
  }

  async function translatePiece(q, source, target) {
    if (q.trim() === '') return q;
    const form = new URLSearchParams({langpair: source + '|' + target, q, markUnknown: 'no',
                                      format: 'txt'});
    const {response, reply} = await ask('/translate', {method: 'POST', body: form});
    const translated = reply && reply.responseData && reply.responseData.translatedText;
    if (response.ok && reply.responseStatus === 200 && typeof translated === 'string') {
      return translated;
    }
    const explanation = (reply && reply.explanation) || '';
    if (/not installed/i.test(explanation)) {
      throw new Error('Apertium has no ' + nameOf(source) + ' to ' + nameOf(target) +
                      ' pair installed');
    }
    throw new Error('Apertium could not translate: ' + (explanation || 'HTTP ' + response.status));
  }

  window.trans = async function (text, source, target) {
    // An unknown caption language is taken as English, the language most captions are in.
    const from = source || 'en';
    let result = '';
    for (const {body, tail} of pieces(String(text))) {
      result += (await translatePiece(body, from, target)) + tail;
    }
    return result;
  };

  // The installed pairs, in the program's codes; variants (cat_valencia) count as their
  // language.
  window.languages = async function () {
    const {response, reply} = await ask('/listPairs');
    if (!response.ok || !reply || !Array.isArray(reply.responseData)) {
      throw new Error('Apertium did not list its pairs (HTTP ' + response.status + ')');
    }
    const seen = new Set();
    const pairs = [];
    for (const pair of reply.responseData) {
      if (!pair || typeof pair.sourceLanguage !== 'string' ||
          typeof pair.targetLanguage !== 'string') continue;
      const codes = [normalCode(pair.sourceLanguage), normalCode(pair.targetLanguage)];
      if (seen.has(codes.join('|'))) continue;
      seen.add(codes.join('|'));
      pairs.push(codes);
    }
    return {Pairs: pairs};
  };
})();
