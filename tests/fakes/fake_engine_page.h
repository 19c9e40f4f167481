#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/main_queue.h"
#include "platform/script_result_deadline.h"
#include "translate/engine_page.h"
#include "translate/translate_script.h"

namespace quensary::testing {

// An engine page that records every script and answers async calls the way a page does: on
// the main queue, never inside the call. Like the real page seam it ends a call with the empty
// text when no answer came within kScriptResultTimeout (against the queue's clock).
class FakeEnginePage final : public EnginePage {
 public:
  // How the page answers an awaited script: a text at once (posted to the main queue), or
  // nothing until the test calls Answer (absent from the responder).
  using Responder = std::function<std::optional<std::string>(const std::string& script)>;

  FakeEnginePage(MainQueue& queue, EnginePageFactory::PageSetup setup,
                 std::shared_ptr<EnginePage> related)
      : setup(std::move(setup)), related(std::move(related)), queue_(queue) {}

  void RunJs(const std::string& script) override { scripts.push_back(script); }

  void RunJsAsync(const std::string& script, TextCallback done) override {
    auto deliver = WithResultDeadline(queue_, kScriptResultTimeout, std::move(done));
    // The question for the engine's languages is answered apart from translations.
    if (script == LanguagesScript()) {
      ++language_questions;
      queue_.Post([deliver, text = languages_answer] { deliver(text); });
      return;
    }
    async_scripts.push_back(script);
    const auto answer = responder ? responder(script) : std::nullopt;
    if (answer) {
      queue_.Post([deliver, text = *answer] { deliver(text); });
    } else {
      held_.push_back(std::move(deliver));
    }
  }

  void StopLoading() override { ++stop_count; }

  // Settles the oldest held call with `text`, as a late answer of the page would.
  void Answer(const std::string& text) {
    if (held_.empty())
      return;
    auto deliver = std::move(held_.front());
    held_.erase(held_.begin());
    deliver(text);
  }

  // The page finished a navigation: runs its load step.
  void FinishLoad() {
    if (setup.on_loaded)
      setup.on_loaded();
  }
  // The page's first navigation failed before commit.
  void FailLoad() {
    if (setup.on_load_failed)
      setup.on_load_failed();
  }

  EnginePageFactory::PageSetup setup;
  std::shared_ptr<EnginePage> related;
  Responder responder;
  std::vector<std::string> scripts;        // fire-and-forget scripts, in order
  std::vector<std::string> async_scripts;  // awaited scripts but the languages question, in order
  std::string languages_answer;            // what the page's languages question answers
  int language_questions = 0;
  int stop_count = 0;

 private:
  MainQueue& queue_;
  std::vector<TextCallback> held_;
};

// Makes FakeEnginePages and keeps every one it made, in creation order. New pages get the
// factory's responder (none: calls are held until answered) and, unless told otherwise, finish
// their first load in a task of the queue.
class FakeEnginePageFactory final : public EnginePageFactory {
 public:
  explicit FakeEnginePageFactory(MainQueue& queue) : queue_(queue) {}

  std::shared_ptr<EnginePage> Create(PageSetup setup,
                                     const std::shared_ptr<EnginePage>& related) override {
    auto page = std::make_shared<FakeEnginePage>(queue_, std::move(setup), related);
    page->responder = responder;
    if (load_at_once) {
      queue_.Post([weak = std::weak_ptr<FakeEnginePage>(page)] {
        if (auto held = weak.lock())
          held->FinishLoad();
      });
    }
    pages.push_back(page);
    made.push_back(page);
    return page;
  }

  FakeEnginePage::Responder responder;
  bool load_at_once = true;
  std::vector<std::shared_ptr<FakeEnginePage>> pages;
  // The same pages, watched without keeping them: a test that clears `pages` sees which ones
  // are still held elsewhere.
  std::vector<std::weak_ptr<FakeEnginePage>> made;

 private:
  MainQueue& queue_;
};

}  // namespace quensary::testing
