// The built program must carry its fixed texts only in sealed form.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "support/literal_manifest.h"

namespace quensary {
namespace {

[[maybe_unused]] std::string ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST(SealedLiterals, ManifestParsesStrictly) {
  const auto entries = ParseLiteralManifest("# comment\n\nA\tone\\ttwo\\nthree\\\\\nB\t\n");
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 2u);
  EXPECT_EQ((*entries)[0].plain, "one\ttwo\nthree\\");
  EXPECT_EQ((*entries)[1].plain, "");
  EXPECT_FALSE(ParseLiteralManifest("A\tx\nA\ty\n"));  // repeated name
  EXPECT_FALSE(ParseLiteralManifest("A text without tab\n"));
  EXPECT_FALSE(ParseLiteralManifest("1A\tx\n"));  // not an identifier
  EXPECT_FALSE(ParseLiteralManifest("A\tbad \\q escape\n"));
}

TEST(SealedLiterals, ExecutableHoldsNoPlainManifestText) {
#ifndef QUENSARY_EXECUTABLE
  GTEST_SKIP() << "built without the desktop program";
#else
  const std::string manifest = ReadAll(QUENSARY_LITERAL_MANIFEST);
  const auto entries = ParseLiteralManifest(manifest);
  ASSERT_TRUE(entries);
  const std::string program = ReadAll(QUENSARY_EXECUTABLE);
  ASSERT_GT(program.size(), 10000u);
  size_t checked = 0;
  for (const auto& entry : *entries) {
    // Very short texts ("en", "es") occur by chance in any binary; they prove nothing.
    if (entry.plain.size() < 6)
      continue;
    ++checked;
    EXPECT_EQ(program.find(entry.plain), std::string::npos)
        << entry.name << " appears in plain form in the executable";
  }
  EXPECT_GT(checked, 10u);
#endif
}

}  // namespace
}  // namespace quensary
