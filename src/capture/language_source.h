#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/accessibility.h"

namespace quensary {

// Finding the caption provider's caption window and reading its rows, over the accessibility
// seam. Nothing is cached: every call starts again from the running applications. Failures are
// silent and give null or the empty text.
namespace LanguageSource {

// The first window, among the accessory applications in the desktop's order, whose identifier
// equals the caption window identifier exactly.
AccessibleElementPtr FindCaptionWindow(Accessibility& accessibility);

// Moves the caption window to y = 100 (show) or y = -10000 (hide) at its current x. Where a window
// manager keeps windows on screen, hiding also iconifies it, and showing brings it back first.
void SetCaptionWindowShown(Accessibility& accessibility, bool show);

// The first descendant of root (never root itself), in pre-order, whose subrole is the caption
// container's.
AccessibleElementPtr FindCaptionElement(const AccessibleElement& root);

// The container's direct children that have a non-blank text and a position, top to bottom (a
// stable sort by y), trimmed, joined by CaptionSeparator. Empty when there are none.
std::string ReadCaptionText(const AccessibleElement& container);

// One tick's read: window, then container, then text; empty when any step finds nothing.
std::string ReadCaption(Accessibility& accessibility);
// The same read, absent when no caption window is found: an empty window is not a missing one.
std::optional<std::string> ReadCaptionWindow(Accessibility& accessibility);

// The caption worker's text source: each call is one whole read of the provider on this desktop,
// absent when no caption window is found. The provider found is watched for change notices
// (Accessibility::WatchChanges).
std::function<std::optional<std::string>()> CaptionWindowSource(
    std::shared_ptr<Accessibility> accessibility);
// As CaptionWindowSource, with no caption window read as the empty text.
std::function<std::string()> CaptionTextSource(std::shared_ptr<Accessibility> accessibility);

}  // namespace LanguageSource
}  // namespace quensary
