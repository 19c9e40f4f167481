#pragma once

#include <functional>
#include <memory>
#include <string>

#include "history/sqlite_helper.h"
#include "pipeline/caption_lines.h"
#include "platform/main_queue.h"
#include "platform/save_dialog.h"
#include "platform/script_target.h"
#include "protocol/page_words.h"

namespace quensary {

// The main page's transcript: its pages of the history, its sessions, its search, saving it to a
// file and deleting a session or a time range. Every answer reaches the page as one
// `TranscriptAnswer` call whose argument's "Kind" says what it answers. Reads and writes run on the
// history's thread or in the background; the answers are posted to the main thread. Main thread
// only.
class TranscriptBridge {
 public:
  struct Collaborators {
    std::shared_ptr<ScriptTarget> page;
    std::shared_ptr<MainQueue> main_queue;
    std::shared_ptr<SQLiteHelper> history;
    // The recent lines, which lose the lines of a deleted session too.
    std::shared_ptr<CaptionLines> lines;
    // Without one, nothing is saved.
    std::shared_ptr<SaveDialog> save_dialog;
    // Runs work that waits for the disk off the main thread.
    std::function<void(std::function<void()>)> in_background;
  };

  // The most rows one page request reads, and the most Ids a search reports (it counts all).
  static constexpr int kLargestPage = 200;
  static constexpr int kMostFound = 1000;

  explicit TranscriptBridge(Collaborators collaborators) : c_(std::move(collaborators)) {}

  // Runs one of the transcript's line commands with the page's argument; other commands are
  // ignored, as is an argument that does not parse.
  void Run(LineCommand command, const std::string& argument);

 private:
  void ReadPage(const std::string& argument);
  void Search(const std::string& text);
  void Save(const std::string& argument);
  void DeleteSession(const std::string& argument);
  // Sends the sessions among the lines from `first` to `last` (empty: that end open), with `kind`
  // as the answer's kind.
  void SendSessions(const std::string& kind, const std::string& first, const std::string& last);

  Collaborators c_;
};

}  // namespace quensary
