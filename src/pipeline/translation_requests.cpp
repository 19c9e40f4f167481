#include "pipeline/translation_requests.h"

#include <chrono>

namespace quensary {

TranslationRequests::TranslationRequests(std::shared_ptr<SettingsStore> settings,
                                         std::shared_ptr<EnginePool> engines,
                                         std::shared_ptr<const Clock> clock,
                                         std::shared_ptr<CaptionLines> lines,
                                         std::shared_ptr<SQLiteHelper> history)
    : settings_(std::move(settings)),
      engines_(std::move(engines)),
      clock_(std::move(clock)),
      lines_(std::move(lines)),
      history_(std::move(history)) {}

void TranslationRequests::RequestTranslation(std::string id, std::string text, bool finish,
                                             bool force) {
  if (settings_->TargetLanguage().empty())
    return;

  const Clock::TimePoint now = clock_->Now();
  // The window starts at the first request, so with a Delay the very first unforced one waits.
  if (!LastRequestTime_)
    LastRequestTime_ = now;
  // Without an engine there is no Delay to apply and nothing to ask.
  const TranslatorProfilePtr profile = engines_->ActiveProfile();
  if (!profile)
    return;
  // Compared in floating point: a Delay near the 64-bit limit must not overflow a duration.
  const double elapsed_ms =
      std::chrono::duration<double, std::milli>(now - *LastRequestTime_).count();
  if (!force && elapsed_ms < static_cast<double>(profile->Delay))
    return;
  LastRequestTime_ = now;

  // The captions' language may change between requests; the provider's own setting decides.
  settings_->SetSourceLanguage(settings_->ProviderLanguage());
  const std::string source = settings_->SourceLanguage();
  const std::string target = settings_->TargetLanguage();

  engines_->Translate(
      text, source, target,
      [lines = lines_, history = history_, id = std::move(id), finish](std::string result) {
        // Nothing came back: the line keeps the translation it has.
        if (result.empty())
          return;
        {
          auto held = lines->LineLock();
          if (const auto line = lines->FindLine(held, id)) {
            line->Tar = result;
            lines->PublishLines(held);
          }
        }
        // The history keeps finished lines also after they have left the list.
        if (finish)
          history->SetTranslation(id, result);
      });
}

void TranslationRequests::RetranslateLine(const std::string& id) {
  std::string line_id;
  std::string ori;
  bool finish = false;
  {
    // The caption worker may be growing the line: copy what the request needs under the lock,
    // and release it before anything waits for a page.
    auto held = lines_->LineLock();
    const auto line = lines_->FindLine(held, id);
    if (!line)
      return;
    line_id = line->Id;
    ori = line->Ori;
    finish = line->Finish;
  }
  RequestTranslation(std::move(line_id), std::move(ori), finish, true);
}

}  // namespace quensary
