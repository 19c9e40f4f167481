#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "history/sqlite_helper.h"
#include "pipeline/caption_lines.h"
#include "platform/clock.h"
#include "protocol/settings_store.h"
#include "translate/engine_pool.h"

namespace quensary {

// The request path: which caption lines reach an engine page, and where their translations go.
// The program creates one and keeps it for its whole life. Main thread only.
class TranslationRequests {
 public:
  TranslationRequests(std::shared_ptr<SettingsStore> settings, std::shared_ptr<EnginePool> engines,
                      std::shared_ptr<const Clock> clock, std::shared_ptr<CaptionLines> lines,
                      std::shared_ptr<SQLiteHelper> history);
  TranslationRequests(const TranslationRequests&) = delete;
  TranslationRequests& operator=(const TranslationRequests&) = delete;

  // Translates one caption line, unless no target language is set, no engine has been activated
  // yet, or the request is unforced and comes within the active profile's Delay of the last one
  // that passed (then it is dropped, not queued). A translation becomes the listed line's and is
  // published when it changes the line, unless the line already took the answer to a later
  // request; for a finished line it also goes into the history, whether or not the line is
  // still listed. A failure keeps the line's translation and gives it the reason, in words, which
  // is published too. Either outcome goes into the engine's status. A request the engine page
  // dropped for a newer one of the same line changes nothing. A line that finishes with the text
  // whose translation it already took is stored with that translation without asking again.
  void RequestTranslation(std::string id, std::string text, bool finish, bool force);

  // Translates a listed line again, past the Delay; does nothing for an unlisted Id.
  void RetranslateLine(const std::string& id);

  // Translates again, past the Delay, the listed lines that have no translation (the newest
  // kMaxRetranslated of them): after the target language or the engine changed.
  void RetranslateUntranslated();
  static constexpr size_t kMaxRetranslated = 20;

 private:
  const std::shared_ptr<SettingsStore> settings_;
  const std::shared_ptr<EnginePool> engines_;
  const std::shared_ptr<const Clock> clock_;
  const std::shared_ptr<CaptionLines> lines_;
  const std::shared_ptr<SQLiteHelper> history_;
  // When the last request passed the Delay gate; absent until the first request reads it.
  std::optional<Clock::TimePoint> LastRequestTime_;
  // Requests run side by side, so a line's answers may come back out of order: an answer to an
  // older text must not replace the translation of a newer one. Requests are numbered, and each
  // line keeps the number of the newest request whose answer it took (Ids grow with time, so the
  // first entries are the oldest lines, dropped once the list has gone past them).
  // A line usually finishes with the text its last request carried, already answered: it needs
  // no request of its own then, only that answer in the history. Kept per line: the newest
  // request's text and languages, and its translation once that was taken.
  struct Asked {
    uint64_t number = 0;
    std::string text, source, target;
    TranslatorProfilePtr profile;
    std::optional<std::string> answer;
  };
  struct AnswerOrder {
    uint64_t last_request = 0;
    std::map<std::string, uint64_t> taken;
    std::map<std::string, Asked> asked;
  };
  const std::shared_ptr<AnswerOrder> order_ = std::make_shared<AnswerOrder>();
};

}  // namespace quensary
