// Engine page of the offline engine: Apertium APy on this machine (scripts/apertium-apy).
// trans(text, source, target) resolves to the translation and rejects on any failure, which the
// program turns into the empty text. The APy port may be given as ?port=N (default 2737).
(function () {
  'use strict';

  // Only a decimal port number: anything else in the address (a host, user information, a
  // path) must never become part of where the captions are sent.
  const asked = new URLSearchParams(location.search).get('port');
  const port = /^[0-9]{1,5}$/.test(asked || '') && Number(asked) >= 1 && Number(asked) <= 65535
      ? Number(asked) : 2737;
  const endpoint = 'http://127.0.0.1:' + port + '/translate';

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

  async function translatePiece(q, langpair) {
    if (q.trim() === '') return q;
    const form = new URLSearchParams({langpair, q, markUnknown: 'no', format: 'txt'});
    const response = await fetch(endpoint, {method: 'POST', body: form});
    const reply = await response.json();
    const translated = reply && reply.responseData && reply.responseData.translatedText;
    if (!response.ok || reply.responseStatus !== 200 || typeof translated !== 'string') {
      throw new Error('Apertium: ' + ((reply && reply.explanation) || response.status));
    }
    return translated;
  }

  window.trans = async function (text, source, target) {
    // Only English to Spanish is installed; an unknown caption language is taken as English.
    const langpair = (source || 'en') + '|' + (target || 'es');
    let result = '';
    for (const {body, tail} of pieces(String(text))) {
      result += (await translatePiece(body, langpair)) + tail;
    }
    return result;
  };
})();
