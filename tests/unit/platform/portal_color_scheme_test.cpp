#include "platform/glib/portal_color_scheme.h"

#include <gtest/gtest.h>

#include "platform/glib/glib_ptr.h"

namespace quensary {
namespace {

// The desktop's appearance setting as the settings portal sends it (GVariant text; null when no
// portal answers), the toolkit's own dark-theme preference, and whether the program paints dark.
TEST(PortalColorScheme, TheDesktopDecidesAndTheToolkitOnlyWhereItAsksForNothing) {
  struct Row {
    const char* portal_value;
    bool toolkit_prefers_dark;
    bool dark;
  };
  for (const Row& row : std::initializer_list<Row>{
           {"uint32 1", false, true},
           {"uint32 2", true, false},
           {"uint32 0", true, true},
           {"uint32 0", false, false},
           {"<uint32 1>", false, true},  // Read wraps its answer once more
           {"<<uint32 2>>", true, false},
           {nullptr, true, true},
           {"uint32 7", true, true},  // a value it does not know asks for nothing
           {"int32 1", false, false},
       }) {
    const GVariantPtr value(
        row.portal_value ? g_variant_parse(nullptr, row.portal_value, nullptr, nullptr, nullptr)
                         : nullptr);
    ASSERT_TRUE(value || !row.portal_value) << row.portal_value;
    EXPECT_EQ(PaintDark(SchemePreferenceFromPortal(value.get()), row.toolkit_prefers_dark),
              row.dark)
        << (row.portal_value ? row.portal_value : "no portal") << ", toolkit "
        << row.toolkit_prefers_dark;
  }
}

}  // namespace
}  // namespace quensary
