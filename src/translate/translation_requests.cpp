// The request path of the translation engines: which caption lines reach an engine page, and
// where their translations go.

#include <chrono>

#include "history/sqlite_helper.h"
#include "translate/caption_lines.h"
#include "translate/translation_engines.h"

namespace quensary {

void TranslationEngines::RequestTranslation(std::string id, std::string text, bool finish,
                                            bool force) {
  if (seams_.settings->TargetLanguage().empty())
    return;

  const Clock::TimePoint now = seams_.clock->Now();
  // The window starts at the first request, so with a Delay the very first unforced one waits.
  if (!LastRequestTime_)
    LastRequestTime_ = now;
  // Without an engine there is no Delay to apply and nothing to ask.
  if (!ActiveProfile_)
    return;
  // Compared in floating point: a Delay near the 64-bit limit must not overflow a duration.
  const double elapsed_ms =
      std::chrono::duration<double, std::milli>(now - *LastRequestTime_).count();
  if (!force && elapsed_ms < static_cast<double>(ActiveProfile_->Delay))
    return;
  LastRequestTime_ = now;

  // The captions' language may change between requests; the provider's own setting decides.
  seams_.settings->SetSourceLanguage(seams_.settings->ProviderLanguage());
  const std::string source = seams_.settings->SourceLanguage();
  const std::string target = seams_.settings->TargetLanguage();

  Translate(text, source, target,
            [lines = seams_.lines, history = seams_.history, id = std::move(id),
             finish](std::string result) {
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

void TranslationEngines::RetranslateLine(const std::string& id) {
  std::string line_id;
  std::string ori;
  bool finish = false;
  {
    // The caption worker may be growing the line: copy what the request needs under the lock,
    // and release it before anything waits for a page.
    auto held = seams_.lines->LineLock();
    const auto line = seams_.lines->FindLine(held, id);
    if (!line)
      return;
    line_id = line->Id;
    ori = line->Ori;
    finish = line->Finish;
  }
  RequestTranslation(std::move(line_id), std::move(ori), finish, true);
}

}  // namespace quensary
