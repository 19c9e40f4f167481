#include "history/transcript_export.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "history/line_time.h"
#include "support/valid_utf8.h"

namespace quensary {
namespace {

using std::chrono::microseconds;

bool ShowsOriginal(CopyMode sides) {
  return sides != CopyMode::kTranslation;
}
bool ShowsTranslation(CopyMode sides) {
  return sides != CopyMode::kOriginal;
}

// What a cue or block shows of a line: the chosen sides that have text, one per line.
std::string ShownText(const CaptionLine& line, CopyMode sides) {
  std::string text;
  if (ShowsOriginal(sides) && !line.Ori.empty())
    text = line.Ori;
  if (ShowsTranslation(sides) && !line.Tar.empty())
    text += (text.empty() ? "" : "\n") + line.Tar;
  return ValidUtf8(text);
}

// A blank line ends a cue in both subtitle formats, so line breaks inside a cue are folded into
// single ones and none is left at either end.
std::string CueText(std::string_view text) {
  if (text.find_first_of("\r\n") == std::string_view::npos)
    return std::string(text);
  std::string out;
  bool pending_break = false;
  for (const char c : text) {
    if (c == '\n' || c == '\r') {
      pending_break = !out.empty();
      continue;
    }
    if (pending_break)
      out += '\n';
    pending_break = false;
    out += c;
  }
  return out;
}

// WebVTT cue text is markup: "&" and "<" start entities and tags, and "-->" may not occur.
std::string VttEscaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else
      out += c;
  }
  return out;
}

// "HH:MM:SS,mmm" for SubRip, "HH:MM:SS.mmm" for WebVTT; hours grow past two digits after 99.
std::string CueTime(microseconds offset, char decimal_mark) {
  const int64_t millis = offset.count() / 1000;
  char text[40];
  std::snprintf(
      text, sizeof text, "%02lld:%02lld:%02lld%c%03lld", static_cast<long long>(millis / 3600000),
      static_cast<long long>(millis / 60000 % 60), static_cast<long long>(millis / 1000 % 60),
      decimal_mark, static_cast<long long>(millis % 1000));
  return text;
}

// Room for the texts and what each line adds around them.
size_t EstimatedSize(std::span<const CaptionLinePtr> lines) {
  size_t size = 16;
  for (const auto& line : lines)
    size += line->Id.size() + line->Ori.size() + line->Tar.size() + 48;
  return size;
}

// The subtitle cues of the lines: SubRip numbers them, WebVTT heads the file.
std::string Subtitles(bool vtt, CopyMode sides, std::span<const CaptionLinePtr> lines) {
  // Each line starts at its Id's time, never before the line ahead of it (a clock set back, an
  // Id of another shape), counted from the first line.
  std::vector<microseconds> starts;
  starts.reserve(lines.size());
  std::optional<microseconds> origin;
  microseconds latest{0};
  for (const auto& line : lines) {
    const auto time = LineIdTime(line->Id);
    if (time && !origin)
      origin = *time;
    if (time)
      latest = std::max(latest, *time - *origin);
    starts.push_back(latest);
  }
  std::string out = vtt ? "WEBVTT\n\n" : "";
  out.reserve(EstimatedSize(lines));
  int number = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string text = CueText(ShownText(*lines[i], sides));
    if (text.empty())
      continue;
    const microseconds start = starts[i];
    const microseconds next = i + 1 < lines.size() ? starts[i + 1] : start + kLongestCue;
    const microseconds end =
        std::clamp(next, start + microseconds(kShortestCue), start + microseconds(kLongestCue));
    if (!vtt)
      out.append(std::to_string(++number)).append("\n");
    const char mark = vtt ? '.' : ',';
    out.append(CueTime(start, mark)).append(" --> ").append(CueTime(end, mark)).append("\n");
    out.append(vtt ? VttEscaped(text) : text).append("\n\n");
  }
  return out;
}

void AppendCsvField(std::string& out, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += field;
    return;
  }
  out += '"';
  for (const char c : field) {
    if (c == '"')
      out += '"';
    out += c;
  }
  out += '"';
}

std::string Csv(CopyMode sides, std::span<const CaptionLinePtr> lines) {
  std::string out = "time";
  out.reserve(EstimatedSize(lines));
  out += ShowsOriginal(sides) ? ",original" : "";
  out += ShowsTranslation(sides) ? ",translation" : "";
  out += "\r\n";
  for (const auto& line : lines) {
    AppendCsvField(out, ValidUtf8(LineIdClock(line->Id)));
    if (ShowsOriginal(sides)) {
      out += ',';
      AppendCsvField(out, ValidUtf8(line->Ori));
    }
    if (ShowsTranslation(sides)) {
      out += ',';
      AppendCsvField(out, ValidUtf8(line->Tar));
    }
    out += "\r\n";
  }
  return out;
}

std::string Text(CopyMode sides, std::span<const CaptionLinePtr> lines) {
  std::string out;
  out.reserve(EstimatedSize(lines));
  for (const auto& line : lines) {
    const std::string text = ShownText(*line, sides);
    if (text.empty())
      continue;
    out += ValidUtf8(LineIdClock(line->Id)) + "\n" + text + "\n\n";
  }
  return out;
}

}  // namespace

std::string TranscriptFile(TranscriptFormat format, CopyMode sides,
                           std::span<const CaptionLinePtr> lines) {
  switch (format) {
    case TranscriptFormat::kText:
      return Text(sides, lines);
    case TranscriptFormat::kSrt:
      return Subtitles(false, sides, lines);
    case TranscriptFormat::kWebVtt:
      return Subtitles(true, sides, lines);
    case TranscriptFormat::kCsv:
      return Csv(sides, lines);
  }
  return {};
}

}  // namespace quensary
