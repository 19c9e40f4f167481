#include "pipeline/caption_worker.h"

#include <pthread.h>

namespace quensary {

CaptionWorker::CaptionWorker(std::unique_ptr<SentenceTracker> tracker,
                             std::shared_ptr<CaptionLines> lines,
                             std::shared_ptr<MainQueue> main_queue,
                             std::chrono::milliseconds poll_interval)
    : tracker_(std::move(tracker)),
      lines_(std::move(lines)),
      main_queue_(std::move(main_queue)),
      poll_interval_(poll_interval) {}

CaptionWorker::~CaptionWorker() {
  if (GetNewTextThread.joinable()) {
    GetNewTextThread.request_stop();  // wakes the sleep through the stop token
    GetNewTextThread.join();
  }
}

void CaptionWorker::Start() {
  std::call_once(started_, [this] {
    GetNewTextThread = std::jthread([this](std::stop_token stop) { Run(std::move(stop)); });
  });
}

void CaptionWorker::Run(std::stop_token stop) {
  pthread_setname_np(pthread_self(), "caption-worker");
  auto last_poll = std::chrono::steady_clock::now();
  int prompt_polls = 0;  // polls in a row that followed a finished row without a sleep
  while (true) {
    if (prompt_polls == 0) {
      // Sleep first: the first poll comes one interval after the start.
      std::unique_lock lock(sleep_mutex_);
      if (sleep_wake_.wait_for(lock, stop, poll_interval_, [this] { return woken_; })) {
        // Woken early: a flood of wake-ups must not become a busy loop.
        const auto floor = last_poll + kWakeFloor;
        sleep_wake_.wait_until(lock, stop, floor, [] { return false; });
      }
      woken_ = false;
    }
    if (stop.stop_requested())
      return;
    last_poll = std::chrono::steady_clock::now();
    const auto event = tracker_->PollCaption();
    if (event)
      ApplyCaption(event->text, event->finished);
    // A finished row was most likely pushed up by a new bottom row, which the tracker reports on
    // its next poll: poll again at once, so that the new row reaches the pages with this tick
    // instead of the next. (After the time rule the extra poll finds nothing.) A run of them is
    // capped, so that a source finishing a row on every read still leaves the sleep its turn.
    prompt_polls =
        event && event->finished && prompt_polls < kMaxPromptPolls ? prompt_polls + 1 : 0;
  }
}

void CaptionWorker::Wake() {
  {
    std::lock_guard lock(sleep_mutex_);
    woken_ = true;
  }
  sleep_wake_.notify_one();
}

void CaptionWorker::ApplyCaption(const std::string& text, bool finished) {
  std::string id;
  {
    auto held = lines_->LineLock();
    id = lines_->UpsertLine(held, text, finished);
  }
  TranslationRequest request;
  {
    std::lock_guard lock(request_mutex_);
    request = request_;
  }
  if (!request)
    return;
  // The task holds its own copy of the request and of the texts, nothing of the worker.
  main_queue_->Post([request = std::move(request), id = std::move(id), text, finished] {
    request(id, text, finished, finished);
  });
}

void CaptionWorker::SetTranslationRequest(TranslationRequest request) {
  std::lock_guard lock(request_mutex_);
  request_ = std::move(request);
}

}  // namespace quensary
