#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "pipeline/caption_lines.h"
#include "pipeline/sentence_tracker.h"
#include "platform/main_queue.h"

namespace quensary {

// The caption worker: a thread that sleeps `PollInterval`, polls the caption provider once and
// applies the event, for as long as the program runs. After a poll that finished a row it polls
// again without sleeping, for the new bottom row that pushed it up. It updates the line list under
// `LineLock` and hands translation to the main thread without waiting for it, so a slow engine
// never delays polling.
class CaptionWorker {
 public:
  // Runs on the main thread for every caption event: the line's Id, the event's text, whether
  // the line is finished, and whether the engine's request delay is to be ignored.
  using TranslationRequest =
      std::function<void(std::string id, std::string text, bool finish, bool force)>;

  static constexpr std::chrono::milliseconds PollInterval{500};
  // A woken worker polls at once, but never sooner than this after its previous poll, however
  // often it is woken.
  static constexpr std::chrono::milliseconds kWakeFloor{50};
  // A poll that finished a row is followed by another at once, up to this many in a row.
  static constexpr int kMaxPromptPolls = 8;

  // Nothing runs until Start. Tests may shorten the interval.
  CaptionWorker(std::unique_ptr<SentenceTracker> tracker, std::shared_ptr<CaptionLines> lines,
                std::shared_ptr<MainQueue> main_queue,
                std::chrono::milliseconds poll_interval = PollInterval);
  // The program keeps its worker until it ends; destruction (tests) stops the thread, waking
  // it from its sleep, and waits for the tick in progress.
  ~CaptionWorker();
  CaptionWorker(const CaptionWorker&) = delete;
  CaptionWorker& operator=(const CaptionWorker&) = delete;

  // Starts `GetNewTextThread`, whose first poll comes one interval later. A thread runs only
  // once: later calls do nothing. Main thread.
  void Start();

  // Polls now instead of at the end of the current sleep (within kWakeFloor of the previous
  // poll): a source that pushes its text calls this when text arrives. Any thread; never waits.
  void Wake();

  // Applies one caption event to the line list, then posts the translation request of the line
  // to the main queue. Called on the worker thread.
  void ApplyCaption(const std::string& text, bool finished);

  // What the posted task runs; `TranslateCaptionEvents` sets the engines' request path here.
  // Without one, events only change the line list.
  void SetTranslationRequest(TranslationRequest request);

 private:
  void Run(std::stop_token stop);

  const std::unique_ptr<SentenceTracker> tracker_;
  const std::shared_ptr<CaptionLines> lines_;
  const std::shared_ptr<MainQueue> main_queue_;
  const std::chrono::milliseconds poll_interval_;

  std::mutex request_mutex_;
  TranslationRequest request_;  // guarded by request_mutex_

  std::once_flag started_;
  std::mutex sleep_mutex_;
  std::condition_variable_any sleep_wake_;
  bool woken_ = false;  // guarded by sleep_mutex_
  // Last member: the thread stops and is joined before the others go away.
  std::jthread GetNewTextThread;
};

}  // namespace quensary
