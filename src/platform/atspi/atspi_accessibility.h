#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/accessibility.h"
#include "platform/atspi/atspi_session.h"
#include "platform/x11/x11_desktop.h"

namespace quensary {

// The desktop's accessibility over AT-SPI, with X11 telling the applications' policies. The
// running applications are the children of the AT-SPI desktop, in the registry's order; this
// process itself is left out (a call into it from its own main thread could never be answered).
// A missing accessibility bus or X server is looked for again on every listing.
//
// Change notices: the registry is told that this process listens to the object events of changed
// texts, children and accessible names, and the bus delivers only the watched application's
// events (a match on its bus name). They arrive on the main context.
//
// NOTE: the registry passes each registration on to every accessible application, whatever
// application it names (at-spi2-core 2.46 takes the name and ignores it): while one listener is
// registered, each toolkit bridge hooks its toolkit's signals and sends these events. A toolkit
// reports only the elements someone has read; GTK sends children-changed and name changes then
// even without a listener.
class AtspiAccessibility final : public Accessibility {
 public:
  // The AT-SPI events watched for a change of the caption rows.
  static constexpr std::array<const char*, 3> kChangeEvents = {
      "object:text-changed", "object:children-changed", "object:property-change:accessible-name"};

  // An application is watched once WatchChanges has named it for this long.
  static constexpr std::chrono::milliseconds kSettleTime{2000};

  AtspiAccessibility();
  ~AtspiAccessibility() override;
  AtspiAccessibility(const AtspiAccessibility&) = delete;
  AtspiAccessibility& operator=(const AtspiAccessibility&) = delete;

  std::vector<RunningApplication> RunningApplications() override;
  AccessibleElementPtr ApplicationElement(int32_t pid) override;
  bool KeepsWindowsOnScreen() const override;
  void WatchChanges(const AccessibleElement* element) override;
  void SetOnChange(std::function<void()> changed) override;

  // What the bus callbacks share: the callback to run.
  struct Notices;

  // Whether an accessibility bus answers.
  bool Reachable();

 private:
  struct Listed {
    int32_t pid;
    std::string bus_name;
  };
  std::shared_ptr<AtspiSession> SessionLocked();
  void EndWatchLocked();

  const std::shared_ptr<Notices> notices_;
  std::mutex watch_mutex_;
  // Guarded by watch_mutex_: the application watched, on which session.
  std::shared_ptr<AtspiSession> watched_session_;
  std::string watched_bus_name_;
  unsigned subscription_ = 0;
  // Guarded by watch_mutex_: the application named last, and since when.
  std::string candidate_bus_name_;
  std::chrono::steady_clock::time_point candidate_since_;

  mutable std::mutex mutex_;
  mutable std::shared_ptr<X11Desktop> x11_;
  std::shared_ptr<AtspiSession> session_;
  std::vector<Listed> listed_;
};

}  // namespace quensary
