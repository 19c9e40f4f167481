// Engine page of any server that speaks the OpenAI chat-completions API: a local one (llama.cpp's
// server, Ollama, LM Studio, vLLM: no key) or a service (a key, sent by the program's relay as
// "Authorization: Bearer <key>"). It translates subtitles as a conversation: the last finished
// sentences and their translations go with each request (openai_chat.js builds it and reads the
// answer), so that names, pronouns and tone stay the same from one line to the next.
// POST <address>/chat/completions {model, messages, temperature} answers {choices: [{message:
// {content}}]}; errors answer {error: {message, type, code}} with 401 (the key was refused), 429
// (too many requests, or "insufficient_quota"), 404 (no such model), 400 or 5xx.
// GET <address>/models lists the models as {data: [{id}]}.
// The page's address may give: address, model, context (finished sentences sent along) and
// timeout (seconds a request may take).
(function () {
  'use strict';

  const { NAMES } = window.QuensaryLanguages;
  const { call, option, relayReason } = window.QuensaryRelay;
  const { instruction, Conversation, requestBody, readAnswer } = window.QuensaryChat;
  const ENGINE = 'The OpenAI-compatible server';
  const address = option('address');
  const model = option('model');

  function wholeOption(name, fallback, min, max) {
    const value = Number(option(name) || NaN);
    return Number.isInteger(value) ? Math.min(max, Math.max(min, value)) : fallback;
  }
  const timeoutSeconds = wholeOption('timeout', 15, 1, 600);
  const conversation = new Conversation(wholeOption('context', 3, 0, 8));
  // The stop of the request in flight for each line: a newer version of the line stops it.
  const inFlight = new Map();
  let requests = 0;

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

  // `line` says which caption line this is ({line, finish}); without it every request stands
  // alone and nothing is remembered.
  window.trans = async function (text, source, target, line) {
    const id = line && typeof line.line === 'string' ? line.line : '';
    const finish = Boolean(line && line.finish);
    const order = ++requests;
    conversation.follow(target);

    const controller = new AbortController();
    const stop = (reason) => controller.abort(reason);
    if (id) {
      const older = inFlight.get(id);
      if (older) older(new DOMException('a newer version of the line replaced it', 'AbortError'));
      inFlight.set(id, stop);
    }
    const timer = setTimeout(
      () => stop(new Error(`${ENGINE} did not answer within ${timeoutSeconds} ` +
        (timeoutSeconds === 1 ? 'second' : 'seconds'))),
      timeoutSeconds * 1000);
    try {
      const original = String(text);
      const body =
        requestBody(model, instruction(source, target), conversation.before(id), original);
      const answer = await call('/chat/completions', body, controller.signal);
      const read = answer.status === 200 ? readAnswer(answer.data, target) : null;
      if (!read) throw new Error(failure(answer));
      if (read.empty) throw new Error(`${ENGINE} gave an empty answer`);
      if (read.refused !== undefined) {
        throw new Error(`${ENGINE} declined to translate the line` +
          (read.refused ? `: “${read.refused.slice(0, 120)}”` : ''));
      }
      if (finish && id) conversation.remember(order, id, original, read.text, target);
      return read.text;
    } finally {
      clearTimeout(timer);
      if (inFlight.get(id) === stop) inFlight.delete(id);
    }
  };

  // A model can write any language: the list is every language the pages name, once the server
  // has answered, with the models it offers for the engine's settings.
  window.languages = async function () {
    const answer = await call('/models');
    if (answer.status !== 200) throw new Error(failure(answer));
    const listed = answer.data && Array.isArray(answer.data.data) ? answer.data.data : [];
    const models = listed.map((m) => m && m.id).filter((m) => typeof m === 'string' && m !== '');
    const codes = Object.keys(NAMES);
    return { Source: codes, Target: codes, Models: [...new Set(models)].slice(0, 200) };
  };
})();
