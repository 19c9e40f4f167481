#pragma once

#include <memory>
#include <string>

#include "platform/accessibility.h"
#include "platform/atspi/atspi_session.h"

namespace quensary {

// One accessible object of another application, named by its bus name and object path.
class AtspiElement final : public AccessibleElement {
 public:
  AtspiElement(std::shared_ptr<AtspiSession> session, std::string bus_name, std::string path);

  std::optional<AccessibleElements> Windows() const override;
  std::optional<AccessibleElements> Children() const override;
  std::optional<std::string> Identifier() const override;
  std::optional<std::string> Subrole() const override;
  // The Text interface's whole text, or the accessible name for an element without text.
  std::optional<std::string> Value() const override;
  // The top-left corner of the element's screen extents.
  std::optional<ScreenPoint> Position() const override;
  bool SetPosition(ScreenPoint position) override;
  // Iconifies or maps the X11 window of this window element's process.
  bool SetMinimized(bool minimized) override;
  // One Collection query instead of a walk: the application searches its own tree, in
  // pre-order, without testing this element itself.
  AccessibleElementPtr FindFirstDescendantWithSubrole(std::string_view subrole) const override;
  // Every child's text and extents in one batch of calls, then the names of children without
  // a text in a second one: two or three round trips however many rows there are.
  std::optional<std::vector<ChildValueAndPosition>> ChildValuesAndPositions() const override;
  bool IsSameElement(const AccessibleElement& other) const override;

  const std::shared_ptr<AtspiSession>& session() const { return session_; }
  const std::string& bus_name() const { return bus_name_; }
  const std::string& path() const { return path_; }

 private:
  GVariantPtr Call(const char* interface, const char* method, GVariant* parameters,
                   const char* reply_type, bool* timed_out = nullptr) const;
  std::optional<std::string> TextProperty(const char* name, bool* timed_out = nullptr) const;
  std::optional<AccessibleElements> ElementsFrom(GVariant* references) const;

  std::shared_ptr<AtspiSession> session_;
  std::string bus_name_;
  std::string path_;
};

}  // namespace quensary
