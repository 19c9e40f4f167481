#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/accessibility.h"
#include "platform/clock.h"

namespace quensary {

// Finding the caption provider's caption window and reading its rows, over the accessibility
// seam. Failures are silent and give null or the empty text. Only the caption worker's sources
// keep what they found between reads; every other call starts again from the running
// applications.
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
// The same text, absent when the container's children cannot be read.
std::optional<std::string> ReadRows(const AccessibleElement& container);

// One tick's read: window, then container, then text; empty when any step finds nothing.
std::string ReadCaption(Accessibility& accessibility);
// The same read, absent when no caption window is found: an empty window is not a missing one.
std::optional<std::string> ReadCaptionWindow(Accessibility& accessibility);

// A caption source checks, at its first read after this long, that the window it found is still
// one of its application's windows (a few calls): a provider that hides its caption window, which
// leaves the application's windows but still answers, is then missed within this time, as a
// search would miss it.
inline constexpr std::chrono::seconds kCheckListedAfter{1};
// And it searches again after this long even while everything found still answers, so that
// whatever else would make a search find another container (a caption window that became first
// in the desktop's order, a container added before the one kept) is followed within this time.
inline constexpr std::chrono::seconds kSearchAgainAfter{10};

// The caption worker's text source: each call reads the provider on this desktop, absent when no
// caption window is found. The caption container found is kept, and later calls read only its
// rows; a container whose rows cannot be read, whose window has left its application's windows,
// or one found kSearchAgainAfter ago, is searched for again, window first, as ReadCaptionWindow
// does. The provider found is watched for change notices (Accessibility::WatchChanges). One
// thread at a time.
std::function<std::optional<std::string>()> CaptionWindowSource(
    std::shared_ptr<Accessibility> accessibility,
    std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>());
// As CaptionWindowSource, with no caption window read as the empty text.
std::function<std::string()> CaptionTextSource(
    std::shared_ptr<Accessibility> accessibility,
    std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>());

}  // namespace LanguageSource
}  // namespace quensary
