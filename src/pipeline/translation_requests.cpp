#include "pipeline/translation_requests.h"

#include <chrono>

#include "platform/script_result_deadline.h"
#include "translate/translate_script.h"

namespace quensary {
namespace {

// Why a line has no translation, in words, from what the engine page answered.
std::string FailureReason(const TranslateAnswer& answer, const TranslatorProfile& profile,
                          std::chrono::steady_clock::duration waited) {
  switch (answer.kind) {
    case TranslateAnswer::Kind::kFailed:
      return answer.text.empty() ? profile.Name + " gave no translation" : answer.text;
    case TranslateAnswer::Kind::kNotLoaded:
      return profile.Name + ": its page has not loaded";
    case TranslateAnswer::Kind::kNoAnswer:
      if (waited >= kScriptResultTimeout)
        return profile.Name + " did not answer within " +
               std::to_string(
                   std::chrono::duration_cast<std::chrono::seconds>(kScriptResultTimeout).count()) +
               " seconds";
      return profile.Name + " did not answer: its page went away";
    case TranslateAnswer::Kind::kTranslated:
    case TranslateAnswer::Kind::kOvertaken:
      break;
  }
  return {};
}

// Lines whose answer order is remembered: more than the line list holds.
constexpr size_t kAnswerOrderKept = 2 * CaptionLines::MaxLines;

}  // namespace

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
  // The captions' language may change between requests; the provider's own setting decides.
  settings_->SetSourceLanguage(settings_->ProviderLanguage());
  const std::string source = settings_->SourceLanguage();
  const std::string target = settings_->TargetLanguage();

  if (finish) {
    const auto asked = order_->asked.find(id);
    if (asked != order_->asked.end() && asked->second.answer && asked->second.text == text &&
        asked->second.source == source && asked->second.target == target &&
        asked->second.profile == profile) {
      history_->SetTranslation(id, *asked->second.answer);
      return;
    }
  }

  // Compared in floating point: a Delay near the 64-bit limit must not overflow a duration.
  const double elapsed_ms =
      std::chrono::duration<double, std::milli>(now - *LastRequestTime_).count();
  if (!force && elapsed_ms < static_cast<double>(profile->Delay))
    return;
  LastRequestTime_ = now;

  // The facts view this copy: the callback below takes the id itself.
  const std::string line_id = id;
  const uint64_t number = ++order_->last_request;
  order_->asked[line_id] = Asked{number, text, source, target, profile, std::nullopt};
  if (order_->asked.size() > kAnswerOrderKept)
    order_->asked.erase(order_->asked.begin());
  engines_->Translate(
      text, source, target,
      [lines = lines_, history = history_, engines = engines_, clock = clock_, order = order_,
       profile, started = now, number, id = std::move(id), finish](std::string result) {
        const std::chrono::steady_clock::duration waited = clock->Now() - started;
        const TranslateAnswer answer = ReadTranslateAnswer(result);
        // The newer request for the line answers for it; this one says nothing.
        if (answer.kind == TranslateAnswer::Kind::kOvertaken)
          return;
        const bool ok = answer.kind == TranslateAnswer::Kind::kTranslated;
        const std::string reason = ok ? std::string() : FailureReason(answer, *profile, waited);
        uint64_t& taken = order->taken[id];
        const bool newest = number > taken;
        if (newest) {
          taken = number;
          if (order->taken.size() > kAnswerOrderKept)
            order->taken.erase(order->taken.begin());
          const auto asked = order->asked.find(id);
          if (ok && asked != order->asked.end() && asked->second.number == number)
            asked->second.answer = answer.text;
          auto held = lines->LineLock();
          const auto line = lines->FindLine(held, id);
          // A failure keeps the translation the line has, and says why.
          if (line &&
              (ok ? line->Tar != answer.text || !line->Fail.empty() : line->Fail != reason)) {
            if (ok)
              line->Tar = answer.text;
            line->Fail = reason;
            lines->PublishLines(held);
          }
        }
        // The history keeps finished lines also after they have left the list.
        if (ok && finish && newest)
          history->SetTranslation(id, answer.text);
        engines->NoteTranslation(
            profile, ok, reason,
            std::chrono::duration_cast<std::chrono::milliseconds>(waited).count());
      },
      LineFacts{line_id, finish});
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
  // Asked again on purpose: the answer it has must not stand in for a new one.
  order_->asked.erase(line_id);
  RequestTranslation(std::move(line_id), std::move(ori), finish, true);
}

void TranslationRequests::RetranslateUntranslated() {
  std::vector<std::string> ids;
  {
    auto held = lines_->LineLock();
    const auto& listed = lines_->LineList(held);
    for (auto it = listed.rbegin(); it != listed.rend() && ids.size() < kMaxRetranslated; ++it) {
      if ((*it)->Tar.empty() && !(*it)->Ori.empty())
        ids.push_back((*it)->Id);
    }
  }
  // Oldest first, as they were spoken.
  for (auto it = ids.rbegin(); it != ids.rend(); ++it)
    RetranslateLine(*it);
}

}  // namespace quensary
