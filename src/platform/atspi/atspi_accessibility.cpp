#include "platform/atspi/atspi_accessibility.h"

#include <unistd.h>

#include "platform/atspi/atspi_element.h"

namespace quensary {
namespace {

constexpr const char* kRegistry = "org.a11y.atspi.Registry";
constexpr const char* kRootPath = "/org/a11y/atspi/accessible/root";

}  // namespace

AtspiAccessibility::AtspiAccessibility() = default;

std::shared_ptr<AtspiSession> AtspiAccessibility::SessionLocked() {
  if (!x11_ || !x11_->Usable())
    x11_ = X11Desktop::Connect();
  if (!session_ || session_->IsClosed())
    session_ = AtspiSession::Open(x11_);
  return session_;
}

bool AtspiAccessibility::Reachable() {
  std::lock_guard lock(mutex_);
  const auto session = SessionLocked();
  return session && session->Call(kRegistry, kRootPath, "org.a11y.atspi.Accessible", "GetRole",
                                  nullptr, "(u)") != nullptr;
}

std::vector<RunningApplication> AtspiAccessibility::RunningApplications() {
  std::shared_ptr<AtspiSession> session;
  std::shared_ptr<X11Desktop> x11;
  {
    std::lock_guard lock(mutex_);
    session = SessionLocked();
    x11 = x11_;
  }
  if (!session)
    return {};
  const GVariantPtr reply = session->Call(kRegistry, kRootPath, "org.a11y.atspi.Accessible",
                                          "GetChildren", nullptr, "(a(so))");
  if (!reply)
    return {};
  const auto policies =
      x11 ? x11->PoliciesByPid() : std::unordered_map<int32_t, ActivationPolicy>{};
  const int32_t own_pid = static_cast<int32_t>(getpid());
  std::vector<Listed> listed;
  std::vector<RunningApplication> applications;
  GVariantPtr references(g_variant_get_child_value(reply.get(), 0));
  GVariantIter iter;
  g_variant_iter_init(&iter, references.get());
  const gchar* bus_name = nullptr;
  const gchar* path = nullptr;
  while (g_variant_iter_next(&iter, "(&s&o)", &bus_name, &path)) {
    const auto pid = session->PidOf(bus_name);
    if (!pid || *pid == own_pid)
      continue;
    // With an X server to ask, a process without any top-level window has no taskbar entry and
    // no window to show captions in: it counts as prohibited and is never examined. Without one
    // the policy cannot be told, and the caption window identifier alone decides.
    ActivationPolicy policy = ActivationPolicy::kUnknown;
    if (x11) {
      const auto known = policies.find(*pid);
      policy = known == policies.end() ? ActivationPolicy::kProhibited : known->second;
    }
    applications.push_back({*pid, policy});
    listed.push_back({*pid, bus_name});
  }
  std::lock_guard lock(mutex_);
  listed_ = std::move(listed);
  return applications;
}

AccessibleElementPtr AtspiAccessibility::ApplicationElement(int32_t pid) {
  std::lock_guard lock(mutex_);
  if (!session_)
    return nullptr;
  for (const Listed& app : listed_) {
    if (app.pid == pid)
      return std::make_shared<AtspiElement>(session_, app.bus_name, kRootPath);
  }
  return nullptr;
}

bool AtspiAccessibility::KeepsWindowsOnScreen() const {
  std::lock_guard lock(mutex_);
  if (!x11_ || !x11_->Usable())
    x11_ = X11Desktop::Connect();
  return x11_ && x11_->HasWindowManager();
}

}  // namespace quensary
