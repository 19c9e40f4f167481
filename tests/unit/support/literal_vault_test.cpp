#include "support/literal_vault.h"

#include <gtest/gtest.h>

#include "fakes/temp_dir.h"
#include "support/literal_manifest.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

TEST(LiteralVault, RoundTripsAnyTextOnEitherSideOfABlockBoundary) {
  for (const std::string& plain :
       {std::string(), std::string(15, 'x'), std::string(16, 'x'), std::string(17, 'x'),
        std::string(48, 'x'), std::string("UPDATE t SET Tar = ?;\n\xF0\x9F\x92\x95 caf\xC3\xA9")})
    EXPECT_EQ(RevealText(SealText(plain)), plain) << plain.size();
}

TEST(LiteralVault, AnythingButAWellFormedSealedTextRevealsNothing) {
  const std::string good = SealText("caption-window-shown");
  for (const std::string& stored : {
           std::string(), good.substr(0, 22) + "\n" + good.substr(22), " " + good,
           good.substr(0, good.size() - 2),              // padding missing
           good.substr(0, 20) + "-_" + good.substr(22),  // URL-safe alphabet
           std::string(20, 'A'),                         // 15 bytes: no whole block
           good.substr(0, good.size() - 24) + "AAAAAAAAAAAAAAAAAAAAAA==",  // bad padding
           SealText("caf\xC3"),                                            // not UTF-8 text
       }) {
    EXPECT_EQ(RevealText(stored), "") << stored;
  }
  constexpr std::string_view kOther[] = {"Yb6f", "gd4S", "Ux7M", "Pa3j",
                                         "zc9H", "Lw5K", "Vn2e", "r8Tq"};
  EXPECT_EQ(RevealTextWithKeyPieces(good, kOther), "");
  constexpr std::string_view kShort[] = {"r8Tq", "Vn2e", "Lw5K"};  // no AES key length
  EXPECT_EQ(RevealTextWithKeyPieces(good, kShort), "");
  EXPECT_EQ(SealTextWithKeyPieces("x", kShort), "");
}

TEST(LiteralVault, Base64IsDecodedStrictly) {
  EXPECT_EQ(*DecodeBase64Strict("TWFu"), (std::vector<unsigned char>{'M', 'a', 'n'}));
  EXPECT_EQ(*DecodeBase64Strict("TWE="), (std::vector<unsigned char>{'M', 'a'}));
  EXPECT_EQ(*DecodeBase64Strict("TQ=="), (std::vector<unsigned char>{'M'}));
  for (const char* text : {"TQ", "TQ=", "T===", "TW\nFu", "TW u", "AAAA=AAA", "TW=u", "TQ==TWFu"})
    EXPECT_FALSE(DecodeBase64Strict(text)) << text;
}

TEST(LiteralManifest, ParsesStrictlyAndTheProgramHoldsNoTextOfItInPlainForm) {
  const auto parsed = ParseLiteralManifest("# comment\n\nA\tone\\ttwo\\nthree\\\\\nB\t\n");
  ASSERT_TRUE(parsed && parsed->size() == 2);
  EXPECT_EQ((*parsed)[0].plain, "one\ttwo\nthree\\");
  for (const char* text : {"A\tx\nA\ty\n", "A text without tab\n", "1A\tx\n", "A\tbad \\q\n"})
    EXPECT_FALSE(ParseLiteralManifest(text)) << text;
#ifdef QUENSARY_EXECUTABLE
  const auto entries = ParseLiteralManifest(testing::ReadFile(QUENSARY_LITERAL_MANIFEST));
  const std::string program = testing::ReadFile(QUENSARY_EXECUTABLE);
  ASSERT_TRUE(entries && program.size() > 10000);
  for (const auto& entry : *entries) {
    // Very short texts ("en", "es") occur by chance in any binary; they prove nothing.
    if (entry.plain.size() >= 6) {
      EXPECT_EQ(program.find(entry.plain), std::string::npos) << entry.name;
    }
  }
#endif
}

}  // namespace
}  // namespace quensary
