#pragma once

namespace quensary {

// The desktop's accessibility switch, on the session bus (org.a11y.Bus, org.a11y.Status): the
// program can read other applications only while the accessibility bus is up and accessibility
// is enabled for the session, since some toolkits expose nothing otherwise. Both calls wait for
// the bus (bounded); any thread.
namespace AccessibilityStatus {

// Whether the accessibility bus answers and IsEnabled is true: the program is "trusted".
bool Trusted();
// Asks the desktop to enable accessibility for the session (sets IsEnabled).
void Enable();

}  // namespace AccessibilityStatus
}  // namespace quensary
