#include "pipeline/transcript_bridge.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "history/line_time.h"
#include "history/transcript_export.h"
#include "platform/glib/atomic_file.h"

namespace quensary {
namespace {

using json = nlohmann::json;

std::string Dump(const json& value) {
  return value.dump(-1, ' ', true, json::error_handler_t::replace);
}

// The page's argument as an object; empty for anything else.
json ParseObject(const std::string& argument) {
  json parsed = json::parse(argument, nullptr, false);
  return parsed.is_object() ? parsed : json::object();
}

std::string Text(const json& object, const char* member) {
  const auto found = object.find(member);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

int Number(const json& object, const char* member, int fallback) {
  const auto found = object.find(member);
  return found != object.end() && found->is_number_integer() ? found->get<int>() : fallback;
}

// The answer call: `head` (an object's members, as JSON) with the lines spliced in as "Lines".
std::string AnswerCall(const json& head, const std::vector<CaptionLinePtr>* lines) {
  std::string call = "    TranscriptAnswer(" + Dump(head);
  if (lines) {
    call.pop_back();  // the closing brace
    call += std::string(head.empty() ? "" : ",") + "\"Lines\":" + CaptionLinesJson(*lines) + "}";
  }
  return call + ")";
}

struct FileKind {
  const char* word;
  TranscriptFormat format;
  const char* extension;
};
constexpr FileKind kFileKinds[] = {
    {"text", TranscriptFormat::kText, "txt"},
    {"srt", TranscriptFormat::kSrt, "srt"},
    {"vtt", TranscriptFormat::kWebVtt, "vtt"},
    {"csv", TranscriptFormat::kCsv, "csv"},
};

// Owner-only, as the history itself is kept.
constexpr int kSavedFileMode = 0600;

}  // namespace

void TranscriptBridge::Run(LineCommand command, const std::string& argument) {
  switch (command) {
    case LineCommand::kTranscriptPage:
      ReadPage(argument);
      break;
    case LineCommand::kTranscriptSessions: {
      // Empty, or {"First": Id, "Last": Id}: the sessions among the lines between the bounds,
      // which the answer repeats (a live session as it grows, the lines of a range).
      const json request = ParseObject(argument);
      SendSessions("sessions", Text(request, "First"), Text(request, "Last"));
      break;
    }
    case LineCommand::kTranscriptSearch:
      Search(argument);
      break;
    case LineCommand::kSaveTranscript:
      Save(argument);
      break;
    case LineCommand::kDeleteSession:
      DeleteSession(argument);
      break;
    case LineCommand::kDeleteLine:
    case LineCommand::kRetranslate:
    case LineCommand::kCopyLines:
      break;
  }
}

void TranscriptBridge::ReadPage(const std::string& argument) {
  // {"Anchor": Id, "Side": "before" | "after" | "around", "Count": rows, "Ask": number}.
  // Around an Id is the page that holds it: half before it, the Id itself and the rest after.
  const json request = ParseObject(argument);
  const std::string side = Text(request, "Side");
  const std::string anchor = Text(request, "Anchor");
  const int count = std::clamp(Number(request, "Count", 100), 1, kLargestPage);
  json head = {
      {"Kind", "page"}, {"Side", side}, {"Anchor", anchor}, {"Ask", request.value("Ask", 0)}};
  const auto deliver = [page = c_.page, queue = c_.main_queue,
                        head](std::optional<std::vector<CaptionLinePtr>> lines) {
    if (!lines)
      return;
    queue->Post([page, call = AnswerCall(head, &*lines)] { page->RunJs(call); });
  };
  if (side == "before" || side == "after") {
    c_.history->LinesPage(
        anchor, side == "before" ? SQLiteHelper::PageSide::kBefore : SQLiteHelper::PageSide::kAfter,
        count, deliver);
  } else if (side == "around" && !anchor.empty()) {
    c_.history->LinesPage(
        anchor, SQLiteHelper::PageSide::kBefore, count / 2,
        [history = c_.history, deliver, count](std::optional<std::vector<CaptionLinePtr>> before) {
          if (!before)
            return deliver(std::nullopt);
          // After the last line before the anchor comes the anchor itself.
          const std::string from = before->empty() ? std::string() : before->back()->Id;
          history->LinesPage(from, SQLiteHelper::PageSide::kAfter, count - count / 2,
                             [before = std::move(*before), deliver](auto after) mutable {
                               if (after)
                                 before.insert(before.end(), after->begin(), after->end());
                               deliver(std::move(before));
                             });
        });
  }
}

void TranscriptBridge::SendSessions(const std::string& kind, const std::string& first,
                                    const std::string& last) {
  c_.history->SessionsBetween(
      first, last, [page = c_.page, queue = c_.main_queue, kind, first, last](auto sessions) {
        if (!sessions)
          return;
        json list = json::array();
        for (const auto& session : *sessions)
          list.push_back({{"First", session.first_id},
                          {"Last", session.last_id},
                          {"Count", session.line_count}});
        const json head = {
            {"Kind", kind}, {"First", first}, {"Last", last}, {"Sessions", std::move(list)}};
        queue->Post([page, call = AnswerCall(head, nullptr)] { page->RunJs(call); });
      });
}

void TranscriptBridge::Search(const std::string& text) {
  // The count is true however many match; the Ids, which the page steps through, are the first.
  c_.history->SearchLinesCounted(
      text, SQLiteHelper::SearchOrder::kOldestFirst, kMostFound,
      [page = c_.page, queue = c_.main_queue, text](auto found) {
        const json head = {{"Kind", "found"},
                           {"Text", text},
                           {"Ids", found ? found->ids : std::vector<std::string>()},
                           {"Count", found ? found->total : 0}};
        queue->Post([page, call = AnswerCall(head, nullptr)] { page->RunJs(call); });
      });
}

void TranscriptBridge::Save(const std::string& argument) {
  // {"First": Id, "Last": Id, "Format": "text" | "srt" | "vtt" | "csv", "Sides": copy mode};
  // empty bounds leave that end open.
  const json request = ParseObject(argument);
  const std::string word = Text(request, "Format");
  const auto kind = std::find_if(std::begin(kFileKinds), std::end(kFileKinds),
                                 [&](const FileKind& k) { return word == k.word; });
  const auto sides = CopyModeFromPage(std::to_string(Number(request, "Sides", 0)));
  if (!c_.save_dialog || kind == std::end(kFileKinds) || !sides)
    return;
  const std::string first = Text(request, "First");
  const std::string last = Text(request, "Last");
  // Named for the day the saved lines begin, when that is known.
  const std::string day = LineIdTime(first) ? std::string(LineIdClock(first).substr(0, 10)) : "";
  const std::string name =
      "Quensary transcript" + (day.empty() ? "" : " " + day) + "." + kind->extension;
  const auto answer = [page = c_.page, queue = c_.main_queue](json head) {
    queue->Post([page, call = AnswerCall(head, nullptr)] { page->RunJs(call); });
  };
  c_.save_dialog->AskPath(
      "Save the transcript", name,
      [history = c_.history, in_background = c_.in_background, format = kind->format,
       sides = *sides, first, last, answer](std::optional<std::string> path) {
        if (!path)
          return answer({{"Kind", "saved"}, {"Path", ""}, {"Error", ""}});
        history->LinesBetween(
            first, last, [in_background, format, sides, path = *path, answer](auto lines) {
              if (!lines)
                return answer({{"Kind", "saved"},
                               {"Path", path},
                               {"Error", "The history could not be read."}});
              in_background([format, sides, path, answer, lines = std::move(*lines)] {
                const auto failed =
                    ReplaceFileContents(path, TranscriptFile(format, sides, lines), kSavedFileMode);
                answer({{"Kind", "saved"}, {"Path", path}, {"Error", failed.value_or("")}});
              });
            });
      });
}

void TranscriptBridge::DeleteSession(const std::string& argument) {
  // {"First": Id, "Last": Id}, a session or a time range: both bounds, so that a request never
  // deletes everything.
  const json request = ParseObject(argument);
  const std::string first = Text(request, "First");
  const std::string last = Text(request, "Last");
  if (first.empty() || last.empty() || last < first)
    return;
  c_.lines->DeleteBetween(first, last);
  // Read after the deletion, so the page learns the sessions left.
  SendSessions("deleted", {}, {});
}

}  // namespace quensary
