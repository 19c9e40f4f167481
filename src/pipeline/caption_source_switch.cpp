#include "pipeline/caption_source_switch.h"

#include "pipeline/sentence_tracker.h"

namespace quensary {

CaptionSourceSwitch::CaptionSourceSwitch(WindowText accessibility_text,
                                         std::shared_ptr<CaptionStream> stream,
                                         std::shared_ptr<SettingsStore> settings,
                                         std::shared_ptr<const Clock> clock)
    : accessibility_text_(std::move(accessibility_text)),
      stream_(std::move(stream)),
      settings_(std::move(settings)),
      clock_(std::move(clock)),
      transcript_(SentenceTracker::StableTimeout) {}

namespace {

// The source read, which the caption window's presence never changes.
CaptionSourceKind KindNow(const SettingsStore& settings, const CaptionStream& stream,
                          const Clock& clock) {
  return ChooseCaptionSource(CaptionSourceModeFromWord(settings.CaptionSource()), stream.State(),
                             true, clock.Now())
      .kind;
}

}  // namespace

bool CaptionSourceSwitch::WindowFound(Clock::TimePoint now) const {
  std::lock_guard lock(mutex_);
  return !window_read_ || (window_seen_ && now - *window_seen_ <= kMissingWindowGrace);
}

CaptionSourceMode CaptionSourceSwitch::Mode() const {
  return CaptionSourceModeFromWord(settings_->CaptionSource());
}

CaptionSourceChoice CaptionSourceSwitch::Choice() const {
  const Clock::TimePoint now = clock_->Now();
  return ChooseCaptionSource(Mode(), stream_->State(), WindowFound(now), now);
}

std::string CaptionSourceSwitch::ReadText() {
  const CaptionSourceKind kind = KindNow(*settings_, *stream_, *clock_);
  // The tracker read the caption window meanwhile: what the stream handed it before would look
  // new to it.
  if (last_ && last_->kind != kind && kind == CaptionSourceKind::kStream)
    transcript_.ForgetHandedOver();
  std::string text;
  if (kind == CaptionSourceKind::kStream) {
    const Clock::TimePoint now = clock_->Now();
    for (const std::string& pushed : stream_->TakeTexts())
      transcript_.Merge(pushed, now);
    text = transcript_.TakeRows(now);
  } else {
    std::optional<std::string> read = accessibility_text_();
    std::lock_guard lock(mutex_);
    window_read_ = true;
    if (read)
      window_seen_ = clock_->Now();
    text = std::move(read).value_or(std::string());
  }
  // Told after the read, which is what finds the caption window or misses it.
  const CaptionSourceChoice choice = Choice();
  if (choice != last_) {
    last_ = choice;
    ChoiceChanged changed;
    {
      std::lock_guard lock(mutex_);
      changed = changed_;
    }
    if (changed)
      changed(choice);
  }
  return text;
}

void CaptionSourceSwitch::WakeOnStreamText(std::weak_ptr<CaptionWorker> worker) {
  // The stream owns the callback, so it may hold the stream itself only by its address.
  stream_->SetOnText(
      [settings = settings_, clock = clock_, stream = stream_.get(), worker = std::move(worker)] {
        if (KindNow(*settings, *stream, *clock) != CaptionSourceKind::kStream)
          return;
        if (auto alive = worker.lock())
          alive->Wake();
      });
}

void CaptionSourceSwitch::WakeOnProviderChanges(Accessibility& accessibility,
                                                std::weak_ptr<CaptionWorker> worker) {
  accessibility.SetOnChange(
      [settings = settings_, clock = clock_, stream = stream_, worker = std::move(worker)] {
        if (KindNow(*settings, *stream, *clock) != CaptionSourceKind::kAccessibility)
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
