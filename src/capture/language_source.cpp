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

namespace {

struct CaptionWindowOf {
  AccessibleElementPtr application;
  AccessibleElementPtr window;
};

CaptionWindowOf FindCaptionWindowAndApplication(Accessibility& accessibility) {
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
        return {application, window};
    }
  }
  return {};
}

// Whether the window is still one of the application's windows. A toolkit leaves a hidden
// window out of them, while the window itself still answers.
bool StillListed(const AccessibleElement& application, const AccessibleElement& window) {
  const auto windows = application.Windows();
  return windows &&
         std::any_of(windows->begin(), windows->end(), [&](const AccessibleElementPtr& listed) {
           return listed && listed->IsSameElement(window);
         });
}

}  // namespace

AccessibleElementPtr FindCaptionWindow(Accessibility& accessibility) {
  return FindCaptionWindowAndApplication(accessibility).window;
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
  return ReadRows(container).value_or(std::string());
}

std::optional<std::string> ReadRows(const AccessibleElement& container) {
  const auto children = container.ChildValuesAndPositions();
  if (!children)
    return std::nullopt;
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
    std::shared_ptr<Accessibility> accessibility, std::shared_ptr<const Clock> clock) {
  // What the last search found: reading only the container's rows costs a few calls, where the
  // search asks every window of every accessory application again.
  struct Found {
    AccessibleElementPtr application;
    AccessibleElementPtr window;
    AccessibleElementPtr container;
    Clock::TimePoint searched_at;
    Clock::TimePoint listed_at;  // when the window was last seen among its application's
  };
  auto found = std::make_shared<Found>();
  return [accessibility = std::move(accessibility), clock = std::move(clock), found] {
    const Clock::TimePoint now = clock->Now();
    if (found->container && now - found->searched_at < kSearchAgainAfter) {
      bool listed = true;
      if (now - found->listed_at >= kCheckListedAfter) {
        listed = StillListed(*found->application, *found->window);
        found->listed_at = now;
      }
      // Rows that cannot be read (the provider went, the window or the container was destroyed,
      // the provider stalls) send the read to a fresh search, which decides as it always has.
      if (listed) {
        if (auto text = ReadRows(*found->container)) {
          accessibility->WatchChanges(found->window.get());
          return text;
        }
      }
    }
    const CaptionWindowOf searched = FindCaptionWindowAndApplication(*accessibility);
    *found = Found{searched.application, searched.window, nullptr, now, now};
    if (!found->window)
      return std::optional<std::string>();
    // A read that misses the window keeps the watch: a provider that went sends nothing, and
    // one that is only slow to answer need not be asked again.
    accessibility->WatchChanges(found->window.get());
    found->container = FindCaptionElement(*found->window);
    if (!found->container)
      return std::optional<std::string>(std::string());
    return std::optional<std::string>(ReadCaptionText(*found->container));
  };
}

std::function<std::string()> CaptionTextSource(std::shared_ptr<Accessibility> accessibility,
                                               std::shared_ptr<const Clock> clock) {
  return [read = CaptionWindowSource(std::move(accessibility), std::move(clock))] {
    return read().value_or(std::string());
  };
}

}  // namespace LanguageSource
}  // namespace quensary
