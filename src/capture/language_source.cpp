#include "capture/language_source.h"

#include <glib.h>

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "capture/caption_separator.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

constexpr double kShownY = 100.0;
constexpr double kHiddenY = -10000.0;

// White space and line breaks in the Unicode sense: the separators of categories Zs, Zl and Zp,
// the control characters tab to carriage return, and NEL.
bool IsWhitespaceOrNewline(gunichar c) {
  if ((c >= 0x09 && c <= 0x0D) || c == 0x85)
    return true;
  switch (g_unichar_type(c)) {
    case G_UNICODE_SPACE_SEPARATOR:
    case G_UNICODE_LINE_SEPARATOR:
    case G_UNICODE_PARAGRAPH_SEPARATOR:
      return true;
    default:
      return false;
  }
}

// Trims white space and line breaks from both ends. Bytes that are not valid UTF-8 count as
// text, so a damaged value is kept rather than cut in the middle of a character.
std::string_view Trim(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size()) {
    const gunichar c =
        g_utf8_get_char_validated(text.data() + begin, static_cast<gssize>(text.size() - begin));
    if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2) ||
        !IsWhitespaceOrNewline(c))
      break;
    begin = static_cast<size_t>(g_utf8_next_char(text.data() + begin) - text.data());
  }
  size_t end = text.size();
  while (end > begin) {
    // Step back to the start of the last character: skip continuation bytes.
    size_t start = end - 1;
    while (start > begin && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
      --start;
    const gunichar c =
        g_utf8_get_char_validated(text.data() + start, static_cast<gssize>(end - start));
    if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2) ||
        !IsWhitespaceOrNewline(c))
      break;
    end = start;
  }
  return text.substr(begin, end - begin);
}

}  // namespace

namespace LanguageSource {

AccessibleElementPtr FindCaptionWindow(Accessibility& accessibility) {
  for (const RunningApplication& app : accessibility.RunningApplications()) {
    // Only accessory applications are examined. Where the desktop cannot tell an application's
    // policy (no X11 window to look at), it is examined too: the identifier still decides.
    if (app.policy != ActivationPolicy::kAccessory && app.policy != ActivationPolicy::kUnknown)
      continue;
    const AccessibleElementPtr application = accessibility.ApplicationElement(app.pid);
    if (!application)
      continue;
    const auto windows = application->Windows();
    if (!windows || windows->empty())
      continue;
    for (const AccessibleElementPtr& window : *windows) {
      if (!window)
        continue;
      const auto identifier = window->Identifier();
      if (identifier && *identifier == RevealText(Sealed::CaptionWindowIdentifier))
        return window;
    }
  }
  return nullptr;
}

void SetCaptionWindowShown(Accessibility& accessibility, bool show) {
  const AccessibleElementPtr window = FindCaptionWindow(accessibility);
  if (!window)
    return;
  const ScreenPoint current = window->Position().value_or(ScreenPoint{});
  const ScreenPoint target{current.x, show ? kShownY : kHiddenY};
  // A window manager clamps a move far off screen, so there the window is iconified instead;
  // its rows stay readable either way. Showing maps it again before moving it back.
  const bool iconify = accessibility.KeepsWindowsOnScreen();
  if (show && iconify)
    window->SetMinimized(false);
  window->SetPosition(target);
  if (!show && iconify)
    window->SetMinimized(true);
}

AccessibleElementPtr FindCaptionElement(const AccessibleElement& root) {
  return root.FindFirstDescendantWithSubrole(RevealText(Sealed::CaptionSubrole));
}

std::string ReadCaptionText(const AccessibleElement& container) {
  const auto children = container.ChildValuesAndPositions();
  if (!children || children->empty())
    return {};
  std::vector<std::pair<double, std::string>> rows;
  for (const ChildValueAndPosition& child : *children) {
    if (!child.value || !child.position)
      continue;
    rows.emplace_back(child.position->y, *child.value);
  }
  std::stable_sort(rows.begin(), rows.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string text;
  for (const auto& [y, value] : rows) {
    const std::string_view trimmed = Trim(value);
    if (trimmed.empty())
      continue;
    if (!text.empty())
      text += CaptionSeparator;
    text += trimmed;
  }
  return text;
}

std::string ReadCaption(Accessibility& accessibility) {
  const AccessibleElementPtr window = FindCaptionWindow(accessibility);
  if (!window)
    return {};
  const AccessibleElementPtr container = FindCaptionElement(*window);
  if (!container)
    return {};
  return ReadCaptionText(*container);
}

std::function<std::string()> CaptionTextSource(std::shared_ptr<Accessibility> accessibility) {
  return [accessibility = std::move(accessibility)] { return ReadCaption(*accessibility); };
}

}  // namespace LanguageSource
}  // namespace quensary
