#include "platform/accessibility.h"

namespace quensary {

bool AccessibleElement::SetMinimized(bool) {
  return false;
}

void Accessibility::WatchChanges(const AccessibleElement*) {}

void Accessibility::SetOnChange(std::function<void()>) {}

AccessibleElementPtr AccessibleElement::FindFirstDescendantWithSubrole(
    std::string_view subrole) const {
  return FindFirstDescendantWithSubroleByWalk(*this, subrole);
}

std::optional<std::vector<ChildValueAndPosition>> AccessibleElement::ChildValuesAndPositions()
    const {
  const auto children = Children();
  if (!children || children->size() > kMaxChildReads)
    return std::nullopt;
  std::vector<ChildValueAndPosition> reads(children->size());
  for (size_t i = 0; i < children->size(); ++i) {
    const AccessibleElementPtr& child = (*children)[i];
    if (!child)
      continue;
    reads[i].value = child->Value();
    if (reads[i].value)
      reads[i].position = child->Position();
  }
  return reads;
}

namespace {

AccessibleElementPtr Walk(const AccessibleElement& root, std::string_view subrole, int depth,
                          size_t& budget) {
  if (depth >= kMaxWalkDepth)
    return nullptr;
  const auto children = root.Children();
  if (!children)
    return nullptr;
  for (const auto& child : *children) {
    if (!child)
      continue;
    if (budget == 0)
      return nullptr;
    --budget;
    if (const auto child_subrole = child->Subrole(); child_subrole && *child_subrole == subrole)
      return child;
    if (auto found = Walk(*child, subrole, depth + 1, budget))
      return found;
  }
  return nullptr;
}

}  // namespace

AccessibleElementPtr FindFirstDescendantWithSubroleByWalk(const AccessibleElement& root,
                                                          std::string_view subrole) {
  size_t budget = kMaxWalkNodes;
  return Walk(root, subrole, 0, budget);
}

}  // namespace quensary
