#pragma once

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
class AtspiAccessibility final : public Accessibility {
 public:
  AtspiAccessibility();

  std::vector<RunningApplication> RunningApplications() override;
  AccessibleElementPtr ApplicationElement(int32_t pid) override;
  bool KeepsWindowsOnScreen() const override;

  // Whether an accessibility bus answers.
  bool Reachable();

 private:
  struct Listed {
    int32_t pid;
    std::string bus_name;
  };
  std::shared_ptr<AtspiSession> SessionLocked();

  mutable std::mutex mutex_;
  mutable std::shared_ptr<X11Desktop> x11_;
  std::shared_ptr<AtspiSession> session_;
  std::vector<Listed> listed_;
};

}  // namespace quensary
