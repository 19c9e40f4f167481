// What the OpenAI-compatible engine page adds to each request, in its real WebKitGTK page: the
// instruction, the request with three sentences of context (made and turned into JSON text), the
// answer's JSON read and cleaned of its reasoning, label and quotes, and the finished line
// remembered. Timed inside the page, in batches, since the page's clock is coarse; the network
// and the model are not part of it. Run inside scripts/headless.
//
// Target: 1 ms or less per request.

#include <gtk/gtk.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "support/web_page_wait.h"
#include "web/page_scheme.h"

namespace {

constexpr char kTimedWork[] = R"JS((async () => {
  const { instruction, Conversation, requestBody, readAnswer } = window.QuensaryChat;
  const conversation = new Conversation(3);
  conversation.follow('de');
  const spoken = [
    ['So we talked to Maria about the budget on Monday.',
     'Also haben wir am Montag mit Maria über das Budget gesprochen.'],
    ['She said the 40,000 euros would not be enough.',
     'Sie sagte, die 40.000 Euro würden nicht reichen.'],
    ['That is why we moved the meeting to Thursday.',
     'Deshalb haben wir das Treffen auf Donnerstag verschoben.'],
  ];
  spoken.forEach(([original, translation], i) =>
    conversation.remember(i, 'line ' + i, original, translation, 'de'));
  const line = 'Nobody could make it on Wednesday, not even Tom.';
  const answer = JSON.stringify({ choices: [{ message: { content:
    '<think>\nThe user wants German. Keep Tom and Wednesday.\n</think>\n\n' +
    'Translation: "Am Mittwoch konnte niemand, nicht einmal Tom."' } }] });
  const perBatch = 500;
  const batches = [];
  let order = spoken.length;
  for (let b = 0; b < 40; b++) {
    const start = performance.now();
    for (let i = 0; i < perBatch; i++) {
      const id = 'line ' + (++order);
      const sent = JSON.stringify(
        requestBody('qwen2.5:1.5b', instruction('en', 'de'), conversation.before(id), line));
      const read = readAnswer(JSON.parse(answer), 'de');
      if (!read.text || sent.length < 100) throw new Error('nothing was made');
      conversation.remember(order, id, line, read.text, 'de');
    }
    batches.push((performance.now() - start) / perBatch);
  }
  batches.sort((a, b) => a - b);
  return JSON.stringify({ median: batches[batches.length >> 1],
    worst: batches[batches.length - 1] });
})())JS";

}  // namespace

int main(int argc, char** argv) {
  using namespace quensary;
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "chat_request_bench: no display; run it inside scripts/headless\n");
    return 1;
  }
  const auto page = testing::OpenLoadedPage(PageAddress("engines/openai.html"));
  if (!page) {
    std::fprintf(stderr, "chat_request_bench: the engine page did not load\n");
    return 1;
  }
  const auto answer = testing::AwaitScript(*page, kTimedWork, std::chrono::seconds(60));
  const auto figures = nlohmann::json::parse(answer.value_or(""), nullptr, false);
  if (!figures.is_object() || !figures["median"].is_number()) {
    std::fprintf(stderr, "chat_request_bench: the page said %s\n",
                 answer.value_or("nothing").c_str());
    return 1;
  }
  std::printf(
      "OpenAI-compatible engine page, its own work per request (instruction, request with 3 "
      "sentences of context as JSON, answer read and cleaned, line remembered), in batches of "
      "500: median %.4f ms, slowest batch %.4f ms per request (target <= 1 ms)\n",
      figures["median"].get<double>(), figures["worst"].get<double>());
  return 0;
}
