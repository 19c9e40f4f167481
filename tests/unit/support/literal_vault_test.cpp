#include "support/literal_vault.h"

#include <gtest/gtest.h>

#include "support/sealed_literals.h"

namespace quensary {
namespace {

TEST(LiteralVault, RoundTripsTextsOfEveryBlockBoundary) {
  for (size_t length : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 47u, 48u, 63u, 64u, 200u}) {
    const std::string plain(length, 'x');
    const std::string sealed = SealText(plain);
    ASSERT_FALSE(sealed.empty());
    EXPECT_EQ(RevealText(sealed), plain) << length;
  }
}

TEST(LiteralVault, SealedLengthFollowsPaddedBlocks) {
  EXPECT_EQ(SealText(std::string(15, 'a')).size(), 24u);
  EXPECT_EQ(SealText(std::string(16, 'a')).size(), 44u);  // two blocks: padding adds a whole one
  EXPECT_EQ(SealText(std::string(47, 'a')).size(), 64u);
  EXPECT_EQ(SealText(std::string(48, 'a')).size(), 88u);
}

TEST(LiteralVault, RevealsUnicodeAndSQLTexts) {
  const std::string plain = "UPDATE t SET Tar = ? WHERE Id = ?;\n\xF0\x9F\x92\x95 caf\xC3\xA9";
  EXPECT_EQ(RevealText(SealText(plain)), plain);
}

TEST(LiteralVault, MalformedStoredTextsRevealNothing) {
  const std::string good = SealText("caption-window-shown");
  ASSERT_EQ(RevealText(good), "caption-window-shown");

  EXPECT_EQ(RevealText(""), "");
  EXPECT_EQ(RevealText(good.substr(0, 22) + "\n" + good.substr(22)), "");  // line break
  EXPECT_EQ(RevealText(good + "\n"), "");
  EXPECT_EQ(RevealText(" " + good), "");
  std::string unpadded = good;
  while (!unpadded.empty() && unpadded.back() == '=')
    unpadded.pop_back();
  ASSERT_NE(unpadded, good);
  EXPECT_EQ(RevealText(unpadded), "");                                     // missing padding
  EXPECT_EQ(RevealText(good.substr(0, 20) + "-_" + good.substr(22)), "");  // URL-safe alphabet
  EXPECT_EQ(RevealText("AAAA=AAA"), "");                                   // padding in the middle
  EXPECT_EQ(RevealText("AAAAAAAAAAAAAAAAAAAA"), "");  // 15 bytes: not whole blocks
  EXPECT_EQ(RevealText(good.substr(0, good.size() - 24) + "AAAAAAAAAAAAAAAAAAAAAA=="),
            "");  // a last block that decrypts to bad padding
}

TEST(LiteralVault, WrongKeyPiecesRevealNothing) {
  const std::string sealed = SealText("overlay-text-colour");
  constexpr std::string_view kOtherPieces[] = {"Yb6f", "gd4S", "Ux7M", "Pa3j",
                                               "zc9H", "Lw5K", "Vn2e", "r8Tq"};
  EXPECT_EQ(RevealTextWithKeyPieces(sealed, kOtherPieces), "");
  // A key of no AES length cannot be used at all, in either direction.
  constexpr std::string_view kShortPieces[] = {"r8Tq", "Vn2e", "Lw5K"};
  EXPECT_EQ(RevealTextWithKeyPieces(sealed, kShortPieces), "");
  EXPECT_EQ(SealTextWithKeyPieces("x", kShortPieces), "");
}

TEST(LiteralVault, PlainTextThatIsNotUtf8RevealsNothing) {
  EXPECT_EQ(RevealText(SealText("caf\xC3")), "");
  EXPECT_EQ(RevealText(SealText(std::string("a\0b", 3))), "");
}

TEST(LiteralVault, StrictBase64Decoding) {
  EXPECT_EQ(DecodeBase64Strict("")->size(), 0u);
  EXPECT_EQ(*DecodeBase64Strict("TWFu"), (std::vector<unsigned char>{'M', 'a', 'n'}));
  EXPECT_EQ(*DecodeBase64Strict("TWE="), (std::vector<unsigned char>{'M', 'a'}));
  EXPECT_EQ(*DecodeBase64Strict("TQ=="), (std::vector<unsigned char>{'M'}));
  EXPECT_FALSE(DecodeBase64Strict("TQ"));
  EXPECT_FALSE(DecodeBase64Strict("TQ="));
  EXPECT_FALSE(DecodeBase64Strict("T==="));
  EXPECT_FALSE(DecodeBase64Strict("TW\nFu"));
  EXPECT_FALSE(DecodeBase64Strict("TW u"));
}

TEST(LiteralVault, GeneratedLiteralsRevealToTheirTexts) {
  EXPECT_EQ(RevealText(Sealed::SettingsFileName), "settings.ini");
}

}  // namespace
}  // namespace quensary
