// Engine page of any server that speaks the OpenAI chat-completions API: a local one (llama.cpp's
// server, Ollama, LM Studio, vLLM: no key) or a service (a key, sent by the program's relay as
// "Authorization: Bearer <key>"). One sentence per request with a plain instruction.
// POST <address>/chat/completions {model, messages, temperature} answers {choices: [{message:
// {content}}]}; errors answer {error: {message, type, code}} with 401 (the key was refused), 429
// (too many requests, or "insufficient_quota"), 404 (no such model), 400 or 5xx.
// GET <address>/models tells whether the server answers.
(function () {
  'use strict';

  const { NAMES, nameOf } = window.QuensaryLanguages;
  const { call, option, relayReason } = window.QuensaryRelay;
  const ENGINE = 'The OpenAI-compatible server';
  const address = option('address');
  const model = option('model');

  function failure(answer) {
    const relayed = relayReason(ENGINE, address, answer);
    if (relayed) return relayed;
    const error = answer.data && typeof answer.data.error === 'object' && answer.data.error
      ? answer.data.error : {};
    const said = typeof error.message === 'string' ? error.message
      : answer.data && typeof answer.data.error === 'string' ? answer.data.error : '';
    const quota = error.code === 'insufficient_quota' || error.type === 'insufficient_quota';
    switch (true) {
      case answer.status === 401 || answer.status === 403: return `${ENGINE} refused the key`;
      case answer.status === 429 && quota: return `${ENGINE}: the account's quota is used up`;
      case answer.status === 429: return `${ENGINE} refused: too many requests, try again later`;
      case answer.status === 404:
        return `${ENGINE} has no model ${model ? '“' + model + '”' : 'by that name'}: ` +
          'choose one under the engine\'s settings';
      case answer.status >= 500: return `${ENGINE} failed on its side (HTTP ${answer.status})`;
      default: return `${ENGINE} refused (HTTP ${answer.status})${said ? ': ' + said : ''}`;
    }
  }

  window.trans = async function (text, source, target) {
    const from = source ? ` from ${nameOf(source)}` : '';
    const body = {
      messages: [
        { role: 'system', content: `Translate the user's text${from} into ${nameOf(target)}. ` +
          'Answer with the translation only.' },
        { role: 'user', content: String(text) },
      ],
      temperature: 0,
      stream: false,
    };
    if (model) body.model = model;
    const answer = await call('/chat/completions', body);
    const choice = answer.data && Array.isArray(answer.data.choices) && answer.data.choices[0];
    const content = choice && choice.message && choice.message.content;
    if (answer.status === 200 && typeof content === 'string') {
      // Reasoning models may think aloud first; only the answer is the translation.
      return content.replace(/<think>[\s\S]*?<\/think>/g, '').trim();
    }
    throw new Error(failure(answer));
  };

  // A model can write any language: the list is every language the pages name, once the server
  // has answered.
  window.languages = async function () {
    const answer = await call('/models');
    if (answer.status !== 200) throw new Error(failure(answer));
    const codes = Object.keys(NAMES);
    return { Source: codes, Target: codes };
  };
})();
