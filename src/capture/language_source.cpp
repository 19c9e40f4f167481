#include "capture/language_source.h"

#include <glib.h>

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "capture/caption_separator.h"
#include "capture/row_text.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

constexpr double kShownY = 100.0;
constexpr double kHiddenY = -10000.0;

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
    const std::string_view trimmed = CaptionRow(value);
    if (trimmed.empty())
      continue;
    if (!text.empty())
      text += CaptionSeparator;
    text += trimmed;
  }
  return text;
}

namespace {

std::optional<std::string> ReadWindow(const AccessibleElementPtr& window) {
  if (!window)
    return std::nullopt;
  const AccessibleElementPtr container = FindCaptionElement(*window);
  if (!container)
    return std::string();
  return ReadCaptionText(*container);
}

}  // namespace

std::string ReadCaption(Accessibility& accessibility) {
  return ReadCaptionWindow(accessibility).value_or(std::string());
}

std::optional<std::string> ReadCaptionWindow(Accessibility& accessibility) {
  return ReadWindow(FindCaptionWindow(accessibility));
}

std::function<std::optional<std::string>()> CaptionWindowSource(
    std::shared_ptr<Accessibility> accessibility) {
  return [accessibility = std::move(accessibility)] {
    const AccessibleElementPtr window = FindCaptionWindow(*accessibility);
    // A read that misses the window keeps the watch: a provider that went sends nothing, and
    // one that is only slow to answer need not be asked again.
    if (window)
      accessibility->WatchChanges(window.get());
    return ReadWindow(window);
  };
}

std::function<std::string()> CaptionTextSource(std::shared_ptr<Accessibility> accessibility) {
  return [read = CaptionWindowSource(std::move(accessibility))] {
    return read().value_or(std::string());
  };
}

}  // namespace LanguageSource
}  // namespace quensary
