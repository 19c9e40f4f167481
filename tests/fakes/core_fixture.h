#pragma once

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fakes/fake_engine_page.h"
#include "fakes/manual_main_queue.h"
#include "fakes/memory_preferences.h"
#include "fakes/temp_dir.h"
#include "fakes/test_clock.h"
#include "pipeline/caption_worker.h"
#include "pipeline/core_graph.h"
#include "platform/diagnostics.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary::testing {

// Collects the diagnostic lines written while it lives, instead of printing them.
class CapturedDiagnostics {
 public:
  CapturedDiagnostics()
      : previous_(SetDiagnosticSink([this](std::string_view line) { lines_.emplace_back(line); })) {
  }
  ~CapturedDiagnostics() { SetDiagnosticSink(std::move(previous_)); }
  // Lines are written under the sink's own lock; read them once the writers are done.
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
  DiagnosticSink previous_;
};

// Records the JSON texts posted under the lines-changed event of one bus. The record is shared
// with the subscription, so a late delivery never reaches a destroyed recorder.
class PublishedLines {
 public:
  explicit PublishedLines(LnsCenter& bus) : bus_(bus) {
    bus_.Subscribe(RevealText(Sealed::EventLinesChanged), false,
                   [record = record_](const LnsMessage& message) {
                     std::lock_guard lock(record->first);
                     record->second.push_back(message.str1);
                   });
  }
  // Every text published so far, once the bus has delivered what was posted before the call.
  std::vector<std::string> Texts() {
    bus_.WaitIdle();
    std::lock_guard lock(record_->first);
    return record_->second;
  }
  std::string Last() { return Texts().empty() ? std::string() : Texts().back(); }

 private:
  LnsCenter& bus_;
  std::shared_ptr<std::pair<std::mutex, std::vector<std::string>>> record_ =
      std::make_shared<std::pair<std::mutex, std::vector<std::string>>>();
};

// An engine profile as the main page sends it.
inline std::string ProfileJson(const std::string& id, int64_t cot, int64_t delay = 0,
                               const std::string& url = "http://127.0.0.1:2737/engine.html") {
  return R"({"Delay":)" + std::to_string(delay) + R"(,"Cot":)" + std::to_string(cot) +
         R"(,"Id":")" + id + R"(","Name":"Engine )" + id + R"(","Url":")" + url +
         R"(","BeforeJs":"window.before=')" + id + R"(';","Js":"window.js=')" + id + R"(';"})";
}

// The three template-literal contents of a trans call built from plain texts.
inline std::vector<std::string> CallArguments(const std::string& script) {
  std::vector<std::string> arguments;
  for (size_t at = script.find('`'); at != std::string::npos;) {
    const size_t end = script.find('`', at + 1);
    arguments.push_back(script.substr(at + 1, end - at - 1));
    at = script.find('`', end + 1);
  }
  return arguments;
}

// What a history read delivers, waited for on the calling thread.
inline std::optional<std::vector<CaptionLinePtr>> LatestLinesNow(SQLiteHelper& history) {
  std::promise<std::optional<std::vector<CaptionLinePtr>>> result;
  history.LatestLines([&](auto lines) { result.set_value(std::move(lines)); });
  return result.get_future().get();
}

// The originals of the latest stored lines, oldest first.
inline std::vector<std::string> StoredOriginals(SQLiteHelper& history) {
  std::vector<std::string> texts;
  for (const auto& line : LatestLinesNow(history).value_or(std::vector<CaptionLinePtr>{}))
    texts.push_back(line->Ori);
  return texts;
}

// The core objects, built by the program's own MakeCoreGraph over fakes of the seams: a manual main
// queue and a test clock, preferences in memory, engine pages that answer "<target>:<text>" at
// once, and a real history in a temporary folder. Diagnostic lines are captured.
class CoreFixture : public ::testing::Test {
 protected:
  CoreFixture() {
    settings->SetTargetLanguage("es");
    factory->responder = [](const std::string& script) -> std::optional<std::string> {
      const auto arguments = CallArguments(script);
      return arguments.at(2) + ":" + arguments.at(0);
    };
  }

  ~CoreFixture() override { queue->Clear(); }

  // A caption worker over the lines whose events go the program's way to the request path.
  std::unique_ptr<CaptionWorker> MakeWorker(SentenceTracker::CaptionTextSource source,
                                            std::chrono::milliseconds interval) {
    auto worker = std::make_unique<CaptionWorker>(
        std::make_unique<SentenceTracker>(std::move(source), clock), lines, queue, interval);
    worker->SetTranslationRequest(
        [r = requests](std::string id, std::string text, bool finish, bool force) {
          r->RequestTranslation(std::move(id), std::move(text), finish, force);
        });
    return worker;
  }

  // Loads a list with one profile "e" and activates it.
  void Activate(int64_t cot, int64_t delay) {
    engines->LoadProfiles("[" + ProfileJson("e", cot, delay) + "]");
    engines->ActivateEngine("e");
  }

  // The listed lines as "text|done" or "text|open", oldest first.
  std::vector<std::string> Listed() {
    auto held = lines->LineLock();
    std::vector<std::string> texts;
    for (const auto& line : lines->LineList(held))
      texts.push_back(line->Ori + (line->Finish ? "|done" : "|open"));
    return texts;
  }
  std::vector<std::string> Stored() { return StoredOriginals(*history); }
  // Every awaited script, over all pages ever made.
  std::vector<std::string> AsyncScripts() {
    std::vector<std::string> scripts;
    for (const auto& page : factory->pages)
      scripts.insert(scripts.end(), page->async_scripts.begin(), page->async_scripts.end());
    return scripts;
  }

  CapturedDiagnostics diagnostics;
  TempDir dir;
  std::shared_ptr<TestClock> clock = std::make_shared<TestClock>();
  std::shared_ptr<ManualMainQueue> queue = std::make_shared<ManualMainQueue>(clock.get());
  std::shared_ptr<MemoryPreferences> preferences = std::make_shared<MemoryPreferences>();
  std::shared_ptr<FakeEnginePageFactory> factory = std::make_shared<FakeEnginePageFactory>(*queue);
  // The program's own wiring over those seams.
  CoreGraph core = MakeCoreGraph({.main_queue = queue,
                                  .clock = clock,
                                  .preferences = preferences,
                                  .engine_pages = factory,
                                  .history_folder = dir.path()});
  LnsCenter& bus = *core.bus;
  PublishedLines published{bus};
  std::shared_ptr<SettingsStore>& settings = core.settings;
  std::shared_ptr<SQLiteHelper>& history = core.history;
  std::shared_ptr<CaptionLines>& lines = core.lines;
  std::shared_ptr<EnginePool>& engines = core.engines;
  std::shared_ptr<TranslationRequests>& requests = core.requests;
};

}  // namespace quensary::testing
