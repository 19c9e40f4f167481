#include "pipeline/caption_source_switch.h"

#include "pipeline/sentence_tracker.h"

namespace quensary {

CaptionSourceSwitch::CaptionSourceSwitch(std::function<std::string()> accessibility_text,
                                         std::shared_ptr<CaptionStream> stream,
                                         std::shared_ptr<SettingsStore> settings,
                                         std::shared_ptr<const Clock> clock)
    : accessibility_text_(std::move(accessibility_text)),
      stream_(std::move(stream)),
      settings_(std::move(settings)),
      clock_(std::move(clock)),
      transcript_(SentenceTracker::StableTimeout) {}

namespace {

CaptionSourceChoice ChoiceNow(const SettingsStore& settings, const CaptionStream& stream,
                              const Clock& clock) {
  return ChooseCaptionSource(CaptionSourceModeFromWord(settings.CaptionSource()), stream.State(),
                             clock.Now());
}

}  // namespace

CaptionSourceMode CaptionSourceSwitch::Mode() const {
  return CaptionSourceModeFromWord(settings_->CaptionSource());
}

CaptionSourceChoice CaptionSourceSwitch::Choice() const {
  return ChoiceNow(*settings_, *stream_, *clock_);
}

std::string CaptionSourceSwitch::ReadText() {
  const CaptionSourceChoice choice = Choice();
  if (choice != last_) {
    // The tracker read the caption window meanwhile: what the stream handed it before would
    // look new to it.
    if (last_ && last_->kind != choice.kind && choice.kind == CaptionSourceKind::kStream)
      transcript_.ForgetHandedOver();
    last_ = choice;
    ChoiceChanged changed;
    {
      std::lock_guard lock(mutex_);
      changed = changed_;
    }
    if (changed)
      changed(choice);
  }
  if (choice.kind != CaptionSourceKind::kStream)
    return accessibility_text_();
  const Clock::TimePoint now = clock_->Now();
  for (const std::string& text : stream_->TakeTexts())
    transcript_.Merge(text, now);
  return transcript_.TakeRows(now);
}

void CaptionSourceSwitch::WakeOnStreamText(std::weak_ptr<CaptionWorker> worker) {
  // The stream owns the callback, so it may hold the stream itself only by its address.
  stream_->SetOnText(
      [settings = settings_, clock = clock_, stream = stream_.get(), worker = std::move(worker)] {
        if (ChoiceNow(*settings, *stream, *clock).kind != CaptionSourceKind::kStream)
          return;
        if (auto alive = worker.lock())
          alive->Wake();
      });
}

void CaptionSourceSwitch::WakeOnProviderChanges(Accessibility& accessibility,
                                                std::weak_ptr<CaptionWorker> worker) {
  accessibility.SetOnChange(
      [settings = settings_, clock = clock_, stream = stream_, worker = std::move(worker)] {
        if (ChoiceNow(*settings, *stream, *clock).kind != CaptionSourceKind::kAccessibility)
          return;
        if (auto alive = worker.lock())
          alive->Wake();
      });
}

void CaptionSourceSwitch::SetOnChoiceChanged(ChoiceChanged changed) {
  std::lock_guard lock(mutex_);
  changed_ = std::move(changed);
}

}  // namespace quensary
