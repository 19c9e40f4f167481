#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "capture/caption_source_choice.h"
#include "capture/stream_transcript.h"
#include "pipeline/caption_worker.h"
#include "platform/accessibility.h"
#include "platform/caption_stream.h"
#include "platform/clock.h"
#include "protocol/settings_store.h"

namespace quensary {

// The sentence tracker's text source when there are two: the caption window read through the
// accessibility interface, and a pushed text stream. Every read chooses again (the user's mode,
// what the stream's sender does now, whether the caption window is there), so a sender or a
// caption provider that starts, stops or comes back is followed within one tick.
class CaptionSourceSwitch {
 public:
  using ChoiceChanged = std::function<void(CaptionSourceChoice)>;
  // One read of the caption window; absent when no caption window is found.
  using WindowText = std::function<std::optional<std::string>()>;

  CaptionSourceSwitch(WindowText accessibility_text, std::shared_ptr<CaptionStream> stream,
                      std::shared_ptr<SettingsStore> settings, std::shared_ptr<const Clock> clock);

  // One read of the chosen source, as rows joined by the caption separator: the stream's texts
  // are merged into its transcript, whose sentences are the rows. Worker thread.
  std::string ReadText();

  // The choice as it stands now. Any thread. Until the caption window is first read, it counts
  // as found: a warning that the first poll, moments later, takes back would only alarm.
  CaptionSourceChoice Choice() const;
  CaptionSourceMode Mode() const;

  // Each text the stream pushes wakes the worker, while the stream is the source read; so does
  // each change notice of the caption provider, while its window is read. Either keeps its
  // fixed poll for what sends no notice.
  void WakeOnStreamText(std::weak_ptr<CaptionWorker> worker);
  void WakeOnProviderChanges(Accessibility& accessibility, std::weak_ptr<CaptionWorker> worker);

  // Runs on the reading thread whenever a read's choice differs from the previous read's.
  void SetOnChoiceChanged(ChoiceChanged changed);

 private:
  bool WindowFound(Clock::TimePoint now) const;

  const WindowText accessibility_text_;
  const std::shared_ptr<CaptionStream> stream_;
  const std::shared_ptr<SettingsStore> settings_;
  const std::shared_ptr<const Clock> clock_;

  mutable std::mutex mutex_;
  ChoiceChanged changed_;                        // guarded by mutex_
  bool window_read_ = false;                     // guarded by mutex_
  std::optional<Clock::TimePoint> window_seen_;  // the last read that found it; mutex_
  std::optional<CaptionSourceChoice> last_;      // the reading thread's alone
  StreamTranscript transcript_;                  // the reading thread's alone
};

}  // namespace quensary
