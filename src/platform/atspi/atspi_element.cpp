#include "platform/atspi/atspi_element.h"

#include <atspi/atspi-constants.h>

#include <cstring>

namespace quensary {
namespace {

constexpr const char* kAccessible = "org.a11y.atspi.Accessible";
constexpr const char* kCollection = "org.a11y.atspi.Collection";
constexpr const char* kComponent = "org.a11y.atspi.Component";
constexpr const char* kText = "org.a11y.atspi.Text";
constexpr const char* kNullPath = "/org/a11y/atspi/null";
// The object attribute that carries an element's subrole.
constexpr const char* kSubroleAttribute = "subrole";

bool IsWindowRole(guint32 role) {
  return role == ATSPI_ROLE_FRAME || role == ATSPI_ROLE_WINDOW || role == ATSPI_ROLE_DIALOG;
}

// A Collection match rule with one attribute: the states, roles and interfaces parts are empty
// and match everything under MATCH_ALL. The attribute part uses MATCH_ANY, because MATCH_ALL
// compares attributes wrongly in at-spi2 2.46.
GVariant* SubroleRule(std::string_view subrole) {
  GVariantBuilder states;
  g_variant_builder_init(&states, G_VARIANT_TYPE("ai"));
  g_variant_builder_add(&states, "i", 0);
  g_variant_builder_add(&states, "i", 0);
  GVariantBuilder attributes;
  g_variant_builder_init(&attributes, G_VARIANT_TYPE("a{ss}"));
  g_variant_builder_add(&attributes, "{ss}", kSubroleAttribute, std::string(subrole).c_str());
  GVariantBuilder roles;
  g_variant_builder_init(&roles, G_VARIANT_TYPE("ai"));
  for (int i = 0; i < 4; ++i)
    g_variant_builder_add(&roles, "i", 0);
  GVariantBuilder interfaces;
  g_variant_builder_init(&interfaces, G_VARIANT_TYPE("as"));
  return g_variant_new("((aiia{ss}iaiiasib)uib)", &states, ATSPI_Collection_MATCH_ALL, &attributes,
                       ATSPI_Collection_MATCH_ANY, &roles, ATSPI_Collection_MATCH_ALL, &interfaces,
                       ATSPI_Collection_MATCH_ALL, FALSE,
                       static_cast<guint32>(ATSPI_Collection_SORT_ORDER_CANONICAL), 1, TRUE);
}

// The text of a (s) reply; absent when it is empty.
std::optional<std::string> TextOf(GVariant* reply) {
  const gchar* text = nullptr;
  g_variant_get(reply, "(&s)", &text);
  if (!text || !*text)
    return std::nullopt;
  return std::string(text);
}

// The string in a (v) property reply; absent when it is not a string or empty.
std::optional<std::string> PropertyTextOf(GVariant* reply) {
  GVariantPtr boxed(g_variant_get_child_value(reply, 0));
  GVariantPtr value(g_variant_get_variant(boxed.get()));
  if (!g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING))
    return std::nullopt;
  std::string text = g_variant_get_string(value.get(), nullptr);
  if (text.empty())
    return std::nullopt;
  return text;
}

// The top-left corner of a ((iiii)) extents reply.
std::optional<ScreenPoint> CornerOf(GVariant* reply) {
  gint32 x = 0, y = 0, width = 0, height = 0;
  g_variant_get(reply, "((iiii))", &x, &y, &width, &height);
  // Toolkits answer -1 for everything when they cannot tell where the element is.
  if (width < 0 || height < 0)
    return std::nullopt;
  return ScreenPoint{static_cast<double>(x), static_cast<double>(y)};
}

GVariant* ScreenExtentsParameters() {
  return g_variant_new("(u)", static_cast<guint32>(ATSPI_COORD_TYPE_SCREEN));
}

}  // namespace

AtspiElement::AtspiElement(std::shared_ptr<AtspiSession> session, std::string bus_name,
                           std::string path)
    : session_(std::move(session)), bus_name_(std::move(bus_name)), path_(std::move(path)) {}

GVariantPtr AtspiElement::Call(const char* interface, const char* method, GVariant* parameters,
                               const char* reply_type, bool* timed_out) const {
  return session_->Call(bus_name_, path_, interface, method, parameters, reply_type, timed_out);
}

std::optional<AccessibleElements> AtspiElement::ElementsFrom(GVariant* references) const {
  AccessibleElements elements;
  GVariantIter iter;
  g_variant_iter_init(&iter, references);
  const gchar* bus_name = nullptr;
  const gchar* path = nullptr;
  while (g_variant_iter_next(&iter, "(&s&o)", &bus_name, &path)) {
    if (std::strcmp(path, kNullPath) == 0)
      continue;
    // An empty bus name stands for the sender itself.
    elements.push_back(
        std::make_shared<AtspiElement>(session_, *bus_name ? bus_name : bus_name_, path));
  }
  return elements;
}

std::optional<AccessibleElements> AtspiElement::Children() const {
  const GVariantPtr reply = Call(kAccessible, "GetChildren", nullptr, "(a(so))");
  if (!reply)
    return std::nullopt;
  GVariantPtr references(g_variant_get_child_value(reply.get(), 0));
  if (g_variant_n_children(references.get()) > 0)
    return ElementsFrom(references.get());
  // NOTE: a socket that embeds another process's tree (a WebKitGTK view, whose page lives in its
  // web process) lists no children; its one child, the embedded root, comes from GetChildAtIndex.
  const GVariantPtr embedded =
      Call(kAccessible, "GetChildAtIndex", g_variant_new("(i)", 0), "((so))");
  if (!embedded)
    return AccessibleElements{};
  GVariant* reference = g_variant_get_child_value(embedded.get(), 0);
  const GVariantPtr owned(reference);
  const GVariantPtr one(g_variant_ref_sink(g_variant_new_array(nullptr, &reference, 1)));
  return ElementsFrom(one.get());
}

std::optional<AccessibleElements> AtspiElement::Windows() const {
  auto children = Children();
  if (!children)
    return std::nullopt;
  AccessibleElements windows;
  for (auto& child : *children) {
    const auto& element = static_cast<const AtspiElement&>(*child);
    bool timed_out = false;
    const GVariantPtr role = element.Call(kAccessible, "GetRole", nullptr, "(u)", &timed_out);
    // An application that stops answering half-way is skipped as a whole.
    if (timed_out)
      return std::nullopt;
    if (!role)
      continue;
    guint32 value = 0;
    g_variant_get(role.get(), "(u)", &value);
    if (IsWindowRole(value))
      windows.push_back(std::move(child));
  }
  return windows;
}

std::optional<std::string> AtspiElement::TextProperty(const char* name, bool* timed_out) const {
  const GVariantPtr reply = Call("org.freedesktop.DBus.Properties", "Get",
                                 g_variant_new("(ss)", kAccessible, name), "(v)", timed_out);
  if (!reply)
    return std::nullopt;
  return PropertyTextOf(reply.get());
}

std::optional<std::string> AtspiElement::Identifier() const {
  return TextProperty("AccessibleId");
}

std::optional<std::string> AtspiElement::Subrole() const {
  const GVariantPtr reply = Call(kAccessible, "GetAttributes", nullptr, "(a{ss})");
  if (!reply)
    return std::nullopt;
  GVariantPtr attributes(g_variant_get_child_value(reply.get(), 0));
  const gchar* value = nullptr;
  if (!g_variant_lookup(attributes.get(), kSubroleAttribute, "&s", &value) || !*value)
    return std::nullopt;
  return std::string(value);
}

std::optional<std::string> AtspiElement::Value() const {
  bool timed_out = false;
  const GVariantPtr reply = Call(kText, "GetText", g_variant_new("(ii)", 0, -1), "(s)", &timed_out);
  if (reply) {
    if (auto text = TextOf(reply.get()))
      return text;
  }
  // An application that did not answer in time is not asked again for the name.
  if (timed_out)
    return std::nullopt;
  return TextProperty("Name");
}

std::optional<ScreenPoint> AtspiElement::Position() const {
  const GVariantPtr reply = Call(kComponent, "GetExtents", ScreenExtentsParameters(), "((iiii))");
  if (!reply)
    return std::nullopt;
  return CornerOf(reply.get());
}

std::optional<std::vector<ChildValueAndPosition>> AtspiElement::ChildValuesAndPositions() const {
  const auto children = Children();
  if (!children || children->size() > kMaxChildReads)
    return std::nullopt;
  std::vector<AtspiSession::Request> requests;
  for (const auto& child : *children) {
    const auto& element = static_cast<const AtspiElement&>(*child);
    requests.push_back({&element.bus_name_, &element.path_, kText, "GetText",
                        g_variant_new("(ii)", 0, -1), "(s)"});
    requests.push_back({&element.bus_name_, &element.path_, kComponent, "GetExtents",
                        ScreenExtentsParameters(), "((iiii))"});
  }
  const auto replies = session_->CallAll(requests);
  // A provider that stalls half-way answers the first rows only: those alone are not its text.
  for (const auto& reply : replies) {
    if (reply.Unanswered())
      return std::nullopt;
  }
  std::vector<ChildValueAndPosition> reads(children->size());
  // Children without a text are asked for their name, as Value does.
  std::vector<size_t> unnamed;
  std::vector<AtspiSession::Request> name_requests;
  for (size_t i = 0; i < children->size(); ++i) {
    const auto& text = replies[2 * i];
    const auto& extents = replies[2 * i + 1];
    if (text.value)
      reads[i].value = TextOf(text.value.get());
    if (extents.value)
      reads[i].position = CornerOf(extents.value.get());
    if (!reads[i].value) {
      const auto& element = static_cast<const AtspiElement&>(*(*children)[i]);
      unnamed.push_back(i);
      name_requests.push_back({&element.bus_name_, &element.path_,
                               "org.freedesktop.DBus.Properties", "Get",
                               g_variant_new("(ss)", kAccessible, "Name"), "(v)"});
    }
  }
  if (!name_requests.empty()) {
    const auto names = session_->CallAll(name_requests);
    for (const auto& reply : names) {
      if (reply.Unanswered())
        return std::nullopt;
    }
    for (size_t k = 0; k < unnamed.size(); ++k) {
      if (names[k].value)
        reads[unnamed[k]].value = PropertyTextOf(names[k].value.get());
    }
  }
  return reads;
}

bool AtspiElement::SetPosition(ScreenPoint position) {
  const GVariantPtr reply =
      Call(kComponent, "SetPosition",
           g_variant_new("(iiu)", static_cast<gint32>(position.x), static_cast<gint32>(position.y),
                         static_cast<guint32>(ATSPI_COORD_TYPE_SCREEN)),
           "(b)");
  if (!reply)
    return false;
  gboolean done = FALSE;
  g_variant_get(reply.get(), "(b)", &done);
  return done;
}

bool AtspiElement::SetMinimized(bool minimized) {
  const auto& x11 = session_->x11();
  if (!x11)
    return false;
  const auto pid = session_->PidOf(bus_name_);
  if (!pid)
    return false;
  const std::string title = TextProperty("Name").value_or("");
  return minimized ? x11->Iconify(*pid, title) : x11->Restore(*pid, title);
}

AccessibleElementPtr AtspiElement::FindFirstDescendantWithSubrole(std::string_view subrole) const {
  bool timed_out = false;
  const GVariantPtr reply =
      Call(kCollection, "GetMatches", SubroleRule(subrole), "(a(so))", &timed_out);
  if (!reply) {
    // Without the Collection interface, walk; a frozen application is left alone.
    if (timed_out)
      return nullptr;
    return FindFirstDescendantWithSubroleByWalk(*this, subrole);
  }
  GVariantPtr references(g_variant_get_child_value(reply.get(), 0));
  const auto found = ElementsFrom(references.get());
  if (!found || found->empty())
    return nullptr;
  // The toolkit compares attribute values without regard to case; the search is exact. A
  // first hit that differs in case is rare enough to settle by walking.
  if (found->front()->Subrole() == std::optional<std::string>(subrole))
    return found->front();
  return FindFirstDescendantWithSubroleByWalk(*this, subrole);
}

bool AtspiElement::IsSameElement(const AccessibleElement& other) const {
  const auto* element = dynamic_cast<const AtspiElement*>(&other);
  return element && element->bus_name_ == bus_name_ && element->path_ == path_;
}

}  // namespace quensary
