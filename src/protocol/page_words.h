#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quensary {

// The words the pages and the program exchange, as types. Each word is written once, in
// page_words.cpp (most of them sealed); the pages receive them through the page protocol script.

// The commands a page sends, by handler name.
enum class PageHandler {
  kPageReady,
  kStartCapture,
  kSetSetting,
  kLineCommand,
  kOpenLink,
  kWindowButton,
  kWindowCommand,
  kContentHeight,  // the overlay page only
};

// Words sent through the set-setting handler that are commands, not settings.
// The key commands carry an engine's key to the program; nothing carries one back.
enum class SettingCommand { kOpenAddress, kSelectEngine, kSaveKey, kForgetKey, kCheckEngine };

// What the line-command handler does with a line or with the history: the first three act on
// the recent lines, the others read, save and delete the transcript.
enum class LineCommand {
  kDeleteLine,
  kRetranslate,
  kCopyLines,
  kTranscriptPage,
  kTranscriptSessions,
  kTranscriptSearch,
  kSaveTranscript,
  kDeleteSession,
};

// The one word the open-link handler knows.
enum class LinkCommand { kOpenUrl };

// What the window-command handler does to the window that shows the page.
enum class WindowCommand { kDragOn, kDragOff, kZoomToggle };

// Members of the start values that are not settings.
enum class InitMember { kAppVersion, kCurrentEngineName };

// The main page's window buttons, sent as their numbers.
enum class WindowButton { kMinimize = 1, kZoom = 2, kQuit = 3 };

// What a copy puts under each line's Id, sent as its number.
enum class CopyMode { kOriginal = 1, kTranslation = 2, kBoth = 3 };

// Where captions are read from: automatic, or one source forced. Stored and sent as a word
// ("auto", "accessibility", "stream").
enum class CaptionSourceMode { kAutomatic, kAccessibility, kStream };

std::string WordOf(PageHandler handler);
std::string WordOf(SettingCommand command);
std::string WordOf(LineCommand command);
std::string WordOf(LinkCommand command);
std::string WordOf(WindowCommand command);
std::string WordOf(InitMember member);
std::string WordOf(CaptionSourceMode mode);

// The value a word names; absent for any other word.
template <typename Enum>
std::optional<Enum> FromWord(std::string_view word);

// A number a page sends, as a window button or a copy mode; absent for any other text.
std::optional<WindowButton> WindowButtonFromPage(std::string_view text);
std::optional<CopyMode> CopyModeFromPage(std::string_view text);

// The stored mode; any word but the mode words is automatic.
CaptionSourceMode CaptionSourceModeFromWord(std::string_view word);

}  // namespace quensary
