// Engines with an account or a server of their own, end to end: each shipped profile's page in a
// hidden WebKitGTK page, the program's relay, the engine's key in the headless desktop's Secret
// Service, and a loopback server that answers as the service documents, errors included, and
// refuses a browser's cross-origin requests as the real services do.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/glib/secret_service_keys.h"
#include "support/adapter_names.h"
#include "support/engine_wait.h"
#include "support/loopback_http_server.h"
#include "support/main_loop_wait.h"
#include "support/web_page_wait.h"
#include "translate/translate_script.h"
#include "web/engine_relay.h"
#include "web/page_scheme.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;
using json = nlohmann::json;
using testing::LoopbackHttpServer;
using testing::RunLoopUntil;
using Reply = LoopbackHttpServer::Reply;
using Request = LoopbackHttpServer::Request;

Reply JsonReply(int status, const json& body) {
  Reply reply = Reply::Json(body.dump(), false);
  reply.status = status;
  return reply;
}

// A service that refuses browsers: a request with an Origin (and any preflight) gets 403 without
// Access-Control-Allow-Origin. Otherwise `answer` has the request's JSON body.
LoopbackHttpServer::Handler RefusingBrowsers(
    std::function<Reply(const json&, const Request&)> answer) {
  return [answer](const Request& request) {
    if (request.headers.count("origin") || request.method == "OPTIONS")
      return Reply::Page("", 403);
    return answer(json::parse(request.body.empty() ? "{}" : request.body, nullptr, false), request);
  };
}

struct ReasonCase {
  std::string text;
  std::string target;
  std::string reason;
};

class EngineServices : public ::testing::Test {
 protected:
  EngineServices() {
    SetRelayHandler([relay = relay_](WebKitURISchemeRequest* request) { relay->Serve(request); });
  }
  ~EngineServices() override { SetRelayHandler(nullptr); }

  // Opens the engine's pages and waits until its first page has said how it is.
  void Open(TranslatorProfile profile) {
    engines_->RebuildEnginePages(std::make_shared<TranslatorProfile>(std::move(profile)));
    ASSERT_TRUE(RunLoopUntil([&] { return engines_->EngineState().answering.has_value(); }, 20s));
  }
  std::string Translate(const std::string& text, const std::string& target = "de",
                        LineFacts line = {}) {
    return testing::TranslateNow(*engines_, text, target, line).value_or("<no answer>");
  }
  // What each text, into its target, failed for.
  void ExpectReasons(const std::vector<ReasonCase>& cases) {
    for (const auto& c : cases)
      EXPECT_EQ(ReadTranslateAnswer(Translate(c.text, c.target)).text, c.reason) << c.text;
  }
  std::string InPage(const std::string& script) {
    auto& page = *dynamic_cast<WebEnginePage&>(*engines_->EnginePageList().front()).Page();
    return testing::AwaitScript(page, script).value_or("<none>");
  }
  // The answer of a fetch the page makes itself, as "status text", or "refused".
  std::string PageFetch(const std::string& address) {
    return InPage("await fetch('" + address +
                  "', {method: 'POST', headers: {'Content-Type': "
                  "'application/json'}, body: '{}'}).then(async r => r.status + ' ' + "
                  "await r.text(), () => 'refused')");
  }
  void Keep(const std::string& engine, const std::optional<std::string>& key) {
    bool done = false;
    if (key)
      keys_->Save(engine, *key, [&] { done = true; });
    else
      keys_->Forget(engine, [&] { done = true; });
    ASSERT_TRUE(RunLoopUntil([&] { return done; }));
  }

  std::shared_ptr<SettingsStore> settings_ =
      std::make_shared<SettingsStore>(std::make_shared<testing::MemoryPreferences>());
  std::shared_ptr<SecretServiceKeys> keys_ = std::make_shared<SecretServiceKeys>(EngineKeyNames());
  std::shared_ptr<EnginePool> engines_ = testing::WebEnginePool(settings_);
  std::shared_ptr<EngineRelay> relay_ =
      std::make_shared<EngineRelay>(engines_, settings_, keys_, std::chrono::seconds(2));
};

TEST_F(EngineServices, LibreTranslateGoesThroughTheRelayWithItsKeyAndSaysWhatWentWrong) {
  LoopbackHttpServer server;
  server.Handle(
      "/languages", RefusingBrowsers([](const json&, const Request&) {
        return JsonReply(200, json::array({{{"code", "en"}, {"targets", {"en", "de", "fr"}}}}));
      }));
  server.Handle(
      "/translate", RefusingBrowsers([](const json& body, const Request&) {
        const std::string q = body.value("q", "");
        const std::string key = body.value("api_key", "");
        if (key.empty())
          return JsonReply(403, {{"error", "Visit the portal to get an API key"}});
        if (key != "lt-key")
          return JsonReply(403, {{"error", "Invalid API key"}});
        if (q == "too many")
          return JsonReply(429, {{"error", "Too many request limits violations"}});
        if (q == "broken")
          return JsonReply(500, {{"error", "Internal error"}});
        if (body.value("target", "") == "xx")
          return JsonReply(400, {{"error", "xx is not supported"}});
        Reply reply = JsonReply(200, {{"translatedText", body.value("target", "") + ":" + q}});
        reply.delay = q == "slow" ? 4s : 0s;
        return reply;
      }));
  settings_->SetEngineOptions(json{{"libretranslate", {{"address", server.Url("")}}}}.dump());
  Keep("libretranslate", "lt-key");
  Open(testing::ShippedProfile("libre-translate"));
  EXPECT_EQ(engines_->EngineState().languages_json, R"({"Pairs":[["en","de"],["en","fr"]]})");
  EXPECT_EQ(Translate("Hello"), "de:Hello");
  EXPECT_EQ(PageFetch(server.Url("/translate")), "refused") << "the page's own request";
  // The relay goes nowhere but to the engine's address, for the engine's page only.
  EXPECT_EQ(PageFetch("/relay//example.org/translate"), "403 ");
  auto other = testing::OpenLoadedPage(PageAddress("engines/deepl.html"));
  ASSERT_TRUE(other);
  EXPECT_EQ(testing::AwaitScript(*other,
                                 "await fetch('/relay/translate').then(r => r.status + ' ' "
                                 "+ r.headers.get('X-Quensary-Relay'))"),
            "403 null");
  ExpectReasons({
      {"too many", "de", "LibreTranslate refused: too many requests, try again later"},
      {"broken", "de", "LibreTranslate failed on its side (HTTP 500)"},
      {"Hello", "xx", "LibreTranslate cannot translate English to xx: xx is not supported"},
      {"slow", "de", "LibreTranslate did not answer within 2 seconds"},
  });
  Keep("libretranslate", "stale-key");
  ExpectReasons({{"Hello", "de", "LibreTranslate refused the key"}});
  Keep("libretranslate", std::nullopt);
  ExpectReasons({{"Hello", "de",
                  "LibreTranslate needs a key: enter it under the engine's settings (Visit the "
                  "portal to get an API key)"}});
  const int before = server.Hits("/translate");
  for (const auto& [address, reason] : std::vector<std::pair<std::string, std::string>>{
           {testing::ClosedLoopbackAddress(), "LibreTranslate is not running at "},
           {"http://192.0.2.1:5000",
            "LibreTranslate's address http://192.0.2.1:5000 must use "
            "https, or be on this computer"}}) {
    settings_->SetEngineOptions(json{{"libretranslate", {{"address", address}}}}.dump());
    Open(testing::ShippedProfile("libre-translate"));
    EXPECT_EQ(ReadTranslateAnswer(Translate("Hello")).text.rfind(reason, 0), 0u) << address;
  }
  EXPECT_EQ(server.Hits("/translate"), before);
}

// Which endpoint a key goes to, and how it is sent, is the relay plan's (unit-tested there).
TEST_F(EngineServices, DeepLNamesEachRefusal) {
  LoopbackHttpServer api;
  api.Handle(
      "/v2/languages", RefusingBrowsers([](const json&, const Request&) {
        return JsonReply(
            200,
            json::array({{{"language", "DE"}}, {{"language", "EN-GB"}}, {{"language", "EN-US"}}}));
      }));
  api.Handle(
      "/v2/translate", RefusingBrowsers([](const json& body, const Request& r) {
        const std::string text = body["text"][0];
        if (!r.headers.count("authorization") ||
            r.headers.at("authorization").find("-Auth-Key good") == std::string::npos)
          return JsonReply(403, {{"message", "Authorization failed"}});
        const std::map<std::string, int> refusals = {{"quota", 456}, {"busy", 429}, {"down", 503}};
        if (refusals.count(text))
          return JsonReply(refusals.at(text), {{"message", "refused"}});
        return JsonReply(
            200,
            {{"translations", {{{"text", body["target_lang"].get<std::string>() + ":" + text}}}}});
      }));
  auto profile = testing::ShippedProfile("deepl");
  profile.Relay->address = api.Url("");
  profile.Relay->key_addresses.clear();
  Keep("deepl", std::nullopt);
  Open(profile);
  ExpectReasons({{"Hello", "de", "DeepL needs a key: enter it under the engine's settings"}});
  EXPECT_EQ(engines_->EngineState().answering, false);

  Keep("deepl", "good");
  Open(profile);
  EXPECT_EQ(engines_->EngineState().languages_json,
            R"({"Source":["de","en"],"Target":["de","en"]})");
  EXPECT_EQ(Translate("Hello", "en"), "EN-US:Hello");
  EXPECT_EQ(Translate("Hello"), "DE:Hello");
  EXPECT_EQ(PageFetch(api.Url("/v2/translate")), "refused") << "DeepL refuses browsers";
  ExpectReasons({
      {"quota", "de", "DeepL's quota for this key is used up"},
      {"busy", "de", "DeepL refused: too many requests, try again later"},
      {"down", "de", "DeepL is unavailable (HTTP 503)"},
  });
  Keep("deepl", "bad");
  ExpectReasons({{"Hello", "de", "DeepL refused the key"}});
  Keep("deepl", std::nullopt);
}

// A chat-completions answer whose one choice says `content`.
Reply Chat(const json& content, std::chrono::milliseconds delay = 0ms) {
  Reply reply = JsonReply(200, {{"choices", {{{"message", {{"content", content}}}}}}});
  reply.delay = delay;
  return reply;
}

// The conversation a request carried, as "role: content", but the instruction.
std::vector<std::string> Turns(const Request& request) {
  std::vector<std::string> turns;
  const json body = json::parse(request.body);
  for (const auto& message : body["messages"]) {
    if (message["role"] != "system")
      turns.push_back(message["role"].get<std::string>() + ": " +
                      message["content"].get<std::string>());
  }
  return turns;
}

TEST_F(EngineServices, AnOpenAICompatibleServerTranslatesSubtitlesAsAConversationWithItsModel) {
  using Kind = TranslateAnswer::Kind;
  const std::string engine = "The OpenAI-compatible server";
  // Lines the model answers as models do, and what the program makes of each. They go as finished
  // lines, in this order: the last translated ones are the context of the next request.
  const struct {
    std::string line;
    Reply reply;
    Kind kind;
    std::string result;
  } noisy[] = {
      {"Quoted.", Chat("\"Zitiert.\""), Kind::kTranslated, "Zitiert."},
      {"Said.", Chat("\"Ja\", sagte er, \"jetzt.\""), Kind::kTranslated,
       "\"Ja\", sagte er, \"jetzt.\""},
      {"Thought.", Chat("<think>\nGerman, then.\n</think>\n\nGedacht."), Kind::kTranslated,
       "Gedacht."},
      {"Labelled.", Chat("Translation: \u201EBeschriftet.\u201C"), Kind::kTranslated,
       "Beschriftet."},
      {"Cut off.", Chat("<think>The user wants"), Kind::kFailed, engine + " gave an empty answer"},
      {"Empty.", Chat(""), Kind::kFailed, engine + " gave an empty answer"},
      {"Refused.", Chat("I'm sorry, but I can't help with that."), Kind::kFailed,
       engine +
           " declined to translate the line: \u201CI'm sorry, but I can't help with that.\u201D"},
      {"Filtered.",
       Reply::Json(R"({"choices":[{"finish_reason":"content_filter","message":{}}]})", false),
       Kind::kFailed, engine + " declined to translate the line"},
      {"Broken.", JsonReply(500, {{"error", {{"message", "out of memory"}}}}), Kind::kFailed,
       engine + " failed on its side (HTTP 500)"},
      {"Quota.", JsonReply(429, {{"error", {{"code", "insufficient_quota"}}}}), Kind::kFailed,
       engine + ": the account's quota is used up"},
      {"Busy.", JsonReply(429, {{"error", {{"code", "rate_limit_exceeded"}}}}), Kind::kFailed,
       engine + " refused: too many requests, try again later"},
  };
  std::map<std::string, Reply> canned = {
      {"Slow.", Chat("Langsam.", 1500ms)},
      {"Late.", Chat("Spät.", 10s)},
      // Into English, an apology is a translation like any other.
      {"Ich kann nichts dafür.", Chat("I can't help it.")},
  };
  for (const auto& row : noisy)
    canned[row.line] = row.reply;
  LoopbackHttpServer server;
  server.Handle("/v1/models", RefusingBrowsers([](const json&, const Request&) {
                  return JsonReply(200, {{"data", {{{"id", "local"}}, {{"id", "other"}}}}});
                }));
  server.Handle(
      "/v1/chat/completions", RefusingBrowsers([&](const json& body, const Request& r) {
        const std::string text = body["messages"].back()["content"];
        if (body.value("model", "") != "local")
          return JsonReply(404, {{"error", {{"message", "model not found"}}}});
        if (r.headers.count("authorization") && r.headers.at("authorization") != "Bearer sk-good")
          return JsonReply(401, {{"error", {{"message", "Incorrect API key"}}}});
        return canned.count(text) ? canned.at(text) : Chat("de:" + text);
      }));
  const auto& sent = server.Requests("/v1/chat/completions");
  settings_->SetEngineOptions(
      json{{"openai-compatible", {{"address", server.Url("/v1")}, {"model", "local"}}}}.dump());
  Keep("openai-compatible", std::nullopt);
  Open(testing::ShippedProfile("openai"));
  EXPECT_EQ(engines_->EngineState().answering, true) << "without a key";
  EXPECT_EQ(json::parse(engines_->EngineState().languages_json)["Models"],
            json::array({"local", "other"}));

  // The last three finished lines go along as they were cleaned, oldest first, the line last;
  // failures and unfinished lines never do.
  std::vector<std::string> remembered;
  for (const auto& row : noisy) {
    const TranslateAnswer read =
        ReadTranslateAnswer(Translate(row.line, "de", {"noisy " + row.line, true}));
    EXPECT_EQ(read.kind, row.kind) << row.line;
    EXPECT_EQ(read.text, row.result) << row.line;
    if (read.kind == Kind::kTranslated)
      remembered.insert(remembered.end(), {"user: " + row.line, "assistant: " + row.result});
  }
  Translate("And fi", "de", {"5", false});
  EXPECT_EQ(Translate("And five", "de", {"6", false}), "de:And five");
  remembered.erase(remembered.begin(), remembered.end() - 6);
  remembered.push_back("user: And five");
  EXPECT_EQ(Turns(sent.back()), remembered);
  const json last = json::parse(sent.back().body);
  EXPECT_EQ(last["model"], "local");
  EXPECT_EQ(last["messages"][0]["role"], "system");
  EXPECT_NE(last["messages"][0]["content"].get<std::string>().find("into German"),
            std::string::npos);

  // Another target language starts the conversation afresh.
  EXPECT_EQ(Translate("Ich kann nichts dafür.", "en", {"7", true}), "I can't help it.");
  EXPECT_EQ(Turns(sent.back()), std::vector<std::string>{"user: Ich kann nichts dafür."});

  // A slow answer overtaken by a newer version of its line is dropped at once, not awaited.
  const size_t before = sent.size();
  const auto overtaken = testing::StartTranslation(*engines_, "Slow.", "en", {"8", false});
  ASSERT_TRUE(RunLoopUntil([&] { return sent.size() > before; }));
  EXPECT_EQ(Translate("Slow. Done.", "en", {"8", true}), "de:Slow. Done.");
  ASSERT_TRUE(RunLoopUntil([&] { return overtaken->has_value(); }));
  EXPECT_EQ(**overtaken, std::string(1, kOvertakenMark));

  // The page's own time limit, shorter here than the relay's.
  auto hasty = testing::ShippedProfile("openai");
  hasty.Url += "?timeout=1";
  Open(hasty);
  ExpectReasons({{"Late.", "de", engine + " did not answer within 1 second"}});

  Keep("openai-compatible", "sk-good");
  EXPECT_EQ(Translate("Hello"), "de:Hello");
  Keep("openai-compatible", "sk-bad");
  ExpectReasons({{"Hello", "de", engine + " refused the key"}});
  Keep("openai-compatible", std::nullopt);
  settings_->SetEngineOptions(
      json{{"openai-compatible", {{"address", server.Url("/v1")}, {"model", "big"}}}}.dump());
  Open(testing::ShippedProfile("openai"));
  ExpectReasons(
      {{"Hello", "de", engine + " has no model “big”: choose one under the engine's settings"}});
}

TEST_F(EngineServices, WithoutASecretServiceKeysAreKeptForTheSessionOnly) {
  auto names = EngineKeyNames();
  names.service = "org.quensary.NoSecretsHere";
  SecretServiceKeys keys(names);
  bool saved = false;
  keys.Save("deepl", "session-key", [&] { saved = true; });
  ASSERT_TRUE(RunLoopUntil([&] { return saved; }));
  EXPECT_EQ(keys.KeepsKeys(), KeyStore::Keeping::kSessionOnly);
  std::optional<std::optional<std::string>> found;
  keys.Lookup("deepl", [&](auto key) { found = key; });
  EXPECT_EQ(found, std::optional<std::optional<std::string>>("session-key"));
  keys.Forget("deepl", [] {});
  keys.Lookup("deepl", [&](auto key) { found = key; });
  ASSERT_TRUE(RunLoopUntil([&] { return found && !*found; }));
}

}  // namespace
}  // namespace quensary
