// What the subtitle translator of a chat-completions server does apart from the network: the
// instruction, the conversation so far, the request's body and the reading of the answer. Plain
// functions without the page's state, so that their cost can be measured on their own.
(function () {
  'use strict';

  const { nameOf } = window.QuensaryLanguages;

  // At most this many characters of earlier sentences (originals and translations together) go
  // with a request: one long monologue must not make every request slow on a small model.
  const CONTEXT_CHARS = 1200;

  function instruction(source, target) {
    const into = nameOf(target);
    const from = source ? ` from ${nameOf(source)}` : '';
    return `You translate live subtitles${from} into ${into}. Answer with the ${into} ` +
      'translation of the last user message only: no quotes, notes, explanations or ' +
      'introductions such as "Here is". Keep names and numbers as they are and keep the ' +
      'register of speech. The earlier messages are the conversation so far; translate so that ' +
      'the line follows on from them. A line may be an unfinished sentence: translate what is ' +
      'there.';
  }

  // The last finished sentences with their translations, oldest first. They belong to one target
  // language: a change of target forgets them.
  class Conversation {
    constructor(sentences, chars = CONTEXT_CHARS) {
      this.sentences = sentences;
      this.chars = chars;
      this.pairs = [];
      this.target = null;
    }

    follow(target) {
      if (target === this.target) return;
      this.target = target;
      this.pairs = [];
    }

    // `order` is when the request was made: answers may come back in another order than the
    // lines were spoken. A line translated again replaces its earlier pair.
    remember(order, line, original, translation, target) {
      if (target !== this.target || this.sentences <= 0) return;
      const pairs = this.pairs.filter((p) => p.line !== line);
      pairs.push({ order, line, original, translation });
      pairs.sort((a, b) => a.order - b.order);
      let kept = 0;
      let chars = 0;
      for (let i = pairs.length - 1; i >= 0 && kept < this.sentences; i--) {
        chars += pairs[i].original.length + pairs[i].translation.length;
        if (chars > this.chars) break;
        kept++;
      }
      this.pairs = pairs.slice(pairs.length - kept);
    }

    // What goes before a request for `line`: never the line's own earlier translation.
    before(line) {
      return this.pairs.filter((p) => p.line !== line);
    }
  }

  // The body of a chat-completions request: the instruction, the earlier pairs as turns of the
  // conversation, the line last.
  function requestBody(model, system, pairs, text) {
    const messages = [{ role: 'system', content: system }];
    for (const p of pairs) {
      messages.push({ role: 'user', content: p.original },
        { role: 'assistant', content: p.translation });
    }
    messages.push({ role: 'user', content: text });
    const body = { messages, temperature: 0, stream: false };
    if (model) body.model = model;
    return body;
  }

  // Quotes a model may put around its whole answer: opening and closing mark.
  const WRAPPING = [['"', '"'], ['“', '”'], ['„', '“'], ['”', '”'], ['«', '»'], ['»', '«'],
    ['‘', '’'], ["'", "'"], ['「', '」'], ['『', '』']];

  function unwrap(text) {
    for (const [open, close] of WRAPPING) {
      if (text.length < 2 || !text.startsWith(open) || !text.endsWith(close)) continue;
      const inner = text.slice(open.length, text.length - close.length);
      // "Yes," he said, "now." starts and ends with a quote but is not wrapped in one pair.
      if (inner.includes(open) || inner.includes(close)) return text;
      return inner.trim();
    }
    return text;
  }

  // The translation in a model's answer: without its reasoning (a block that never ends is all
  // reasoning), the label "Translation:" and a wrapping pair of quotes.
  function cleanAnswer(content) {
    let text = content.replace(/<think>[\s\S]*?<\/think>/gi, '');
    const open = text.search(/<think>/i);
    if (open >= 0) text = text.slice(0, open);
    text = text.trim().replace(/^(?:\*\*)?translation(?: \([^)\n]*\))?:(?:\*\*)?\s*/i, '');
    return unwrap(text.trim());
  }

  // How models decline, in English whatever the target ...
  const REFUSAL = new RegExp(
    '^(?:(?:i[\'’]m|i am) sorry|sorry|unfortunately|apologies)?[,.!]?\\s*' +
    '(?:but\\s+)?(?:as an ai\\b|i (?:cannot|can[\'’]?t|can not|won[\'’]t|will not|' +
    '(?:am|[\'’]m) (?:unable|not able) to) (?:assist|help|comply|fulfil|provide|translate))', 'i');
  // ... which an English translation may also say ("I can't help it"): there only an answer that
  // speaks of the request itself is a refusal.
  const ABOUT_THE_REQUEST = /\b(?:request|translat\w*|content|as an ai)\b/i;

  function isRefusal(text, target) {
    if (!REFUSAL.test(text)) return false;
    return !/^en\b/i.test(target) || ABOUT_THE_REQUEST.test(text);
  }

  // What a chat-completions answer holds: { text } for a translation, { refused } with what the
  // model said instead, { empty: true }, or null when it is no chat answer at all.
  function readAnswer(data, target) {
    const choice = data && Array.isArray(data.choices) ? data.choices[0] : null;
    const message = choice && choice.message;
    if (!message || typeof message !== 'object') return null;
    if (typeof message.refusal === 'string' && message.refusal.trim() !== '') {
      return { refused: message.refusal.trim() };
    }
    if (choice.finish_reason === 'content_filter') return { refused: '' };
    const text = typeof message.content === 'string' ? cleanAnswer(message.content) : '';
    if (text === '') return { empty: true };
    return isRefusal(text, target) ? { refused: text } : { text };
  }

  window.QuensaryChat = Object.freeze({ instruction, Conversation, requestBody, readAnswer });
})();
