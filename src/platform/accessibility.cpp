#include "platform/accessibility.h"

namespace quensary {

bool AccessibleElement::SetMinimized(bool) {
  return false;
}

AccessibleElementPtr AccessibleElement::FindFirstDescendantWithSubrole(
    std::string_view subrole) const {
  return FindFirstDescendantWithSubroleByWalk(*this, subrole);
}

AccessibleElementPtr FindFirstDescendantWithSubroleByWalk(const AccessibleElement& root,
                                                          std::string_view subrole) {
  const auto children = root.Children();
  if (!children)
    return nullptr;
  for (const auto& child : *children) {
    if (!child)
      continue;
    if (const auto child_subrole = child->Subrole(); child_subrole && *child_subrole == subrole)
      return child;
    if (auto found = FindFirstDescendantWithSubroleByWalk(*child, subrole))
      return found;
  }
  return nullptr;
}

}  // namespace quensary
