#include "protocol/page_words.h"

#include <array>
#include <utility>

#include "protocol/settings_store.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

template <typename Enum, size_t N>
using WordTable = std::array<std::pair<Enum, const char*>, N>;

constexpr WordTable<PageHandler, 8> kHandlers{{
    {PageHandler::kPageReady, Sealed::HandlerPageReady},
    {PageHandler::kStartCapture, Sealed::HandlerStartCapture},
    {PageHandler::kSetSetting, Sealed::HandlerSetSetting},
    {PageHandler::kLineCommand, Sealed::HandlerLineCommand},
    {PageHandler::kOpenLink, Sealed::HandlerOpenLink},
    {PageHandler::kWindowButton, Sealed::HandlerWindowButton},
    {PageHandler::kWindowCommand, Sealed::HandlerWindowCommand},
    {PageHandler::kContentHeight, Sealed::HandlerContentHeight},
}};
constexpr WordTable<SettingCommand, 5> kSettingCommands{{
    {SettingCommand::kOpenAddress, Sealed::WordOpenAddress},
    {SettingCommand::kSelectEngine, Sealed::WordSelectEngine},
    {SettingCommand::kSaveKey, Sealed::WordSaveKey},
    {SettingCommand::kForgetKey, Sealed::WordForgetKey},
    {SettingCommand::kCheckEngine, Sealed::WordCheckEngine},
}};
constexpr WordTable<LineCommand, 8> kLineCommands{{
    {LineCommand::kDeleteLine, Sealed::WordDeleteLine},
    {LineCommand::kRetranslate, Sealed::WordRetranslate},
    {LineCommand::kCopyLines, Sealed::WordCopyLines},
    {LineCommand::kTranscriptPage, Sealed::WordTranscriptPage},
    {LineCommand::kTranscriptSessions, Sealed::WordTranscriptSessions},
    {LineCommand::kTranscriptSearch, Sealed::WordTranscriptSearch},
    {LineCommand::kSaveTranscript, Sealed::WordSaveTranscript},
    {LineCommand::kDeleteSession, Sealed::WordDeleteSession},
}};
constexpr WordTable<LinkCommand, 1> kLinkCommands{{{LinkCommand::kOpenUrl, Sealed::WordOpenUrl}}};
constexpr WordTable<WindowCommand, 3> kWindowCommands{{
    {WindowCommand::kDragOn, Sealed::WordDragOn},
    {WindowCommand::kDragOff, Sealed::WordDragOff},
    {WindowCommand::kZoomToggle, Sealed::WordZoomToggle},
}};
constexpr WordTable<InitMember, 2> kInitMembers{{
    {InitMember::kAppVersion, Sealed::InitAppVersion},
    {InitMember::kCurrentEngineName, Sealed::CurrentEngineName},
}};

template <typename Enum, size_t N>
std::string SealedWord(const WordTable<Enum, N>& table, Enum value) {
  for (const auto& [entry, sealed] : table) {
    if (entry == value)
      return RevealText(sealed);
  }
  return {};
}

template <typename Enum, size_t N>
std::optional<Enum> SealedFromWord(const WordTable<Enum, N>& table, std::string_view word) {
  for (const auto& [entry, sealed] : table) {
    if (RevealText(sealed) == word)
      return entry;
  }
  return std::nullopt;
}

}  // namespace

std::string WordOf(PageHandler handler) {
  return SealedWord(kHandlers, handler);
}
std::string WordOf(SettingCommand command) {
  return SealedWord(kSettingCommands, command);
}
std::string WordOf(LineCommand command) {
  return SealedWord(kLineCommands, command);
}
std::string WordOf(LinkCommand command) {
  return SealedWord(kLinkCommands, command);
}
std::string WordOf(WindowCommand command) {
  return SealedWord(kWindowCommands, command);
}
std::string WordOf(InitMember member) {
  return SealedWord(kInitMembers, member);
}

template <>
std::optional<PageHandler> FromWord(std::string_view word) {
  return SealedFromWord(kHandlers, word);
}
template <>
std::optional<SettingCommand> FromWord(std::string_view word) {
  return SealedFromWord(kSettingCommands, word);
}
template <>
std::optional<LineCommand> FromWord(std::string_view word) {
  return SealedFromWord(kLineCommands, word);
}
template <>
std::optional<LinkCommand> FromWord(std::string_view word) {
  return SealedFromWord(kLinkCommands, word);
}
template <>
std::optional<WindowCommand> FromWord(std::string_view word) {
  return SealedFromWord(kWindowCommands, word);
}

std::string WordOf(CaptionSourceMode mode) {
  switch (mode) {
    case CaptionSourceMode::kAccessibility:
      return "accessibility";
    case CaptionSourceMode::kStream:
      return "stream";
    case CaptionSourceMode::kAutomatic:
      break;
  }
  return "auto";
}

CaptionSourceMode CaptionSourceModeFromWord(std::string_view word) {
  for (const auto mode : {CaptionSourceMode::kAccessibility, CaptionSourceMode::kStream}) {
    if (word == WordOf(mode))
      return mode;
  }
  return CaptionSourceMode::kAutomatic;
}

std::optional<WindowButton> WindowButtonFromPage(std::string_view text) {
  for (const auto button : {WindowButton::kMinimize, WindowButton::kZoom, WindowButton::kQuit}) {
    if (text == std::to_string(static_cast<int>(button)))
      return button;
  }
  return std::nullopt;
}

std::optional<CopyMode> CopyModeFromPage(std::string_view text) {
  // The number as the pages' integers are read: "+2" is 2, "2.0" is no number.
  const auto number = SettingsStore::PageInteger(text);
  if (!number || *number < static_cast<int64_t>(CopyMode::kOriginal) ||
      *number > static_cast<int64_t>(CopyMode::kBoth))
    return std::nullopt;
  return static_cast<CopyMode>(*number);
}

}  // namespace quensary
