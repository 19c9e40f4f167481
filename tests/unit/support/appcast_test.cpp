#include "support/appcast.h"

#include <gtest/gtest.h>

#include "support/valid_utf8.h"

namespace quensary {
namespace {

std::string Feed(const std::string& items) {
  return R"(<?xml version="1.0"?><rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel><title>Q</title>)" +
         items + "</channel></rss>";
}

TEST(Appcast, TheNewestItemWithItsVersionPlainNotesAndHttpsLink) {
  std::string why;
  const auto offer = Appcast::Read(
      Feed(
          R"(<item><sparkle:version>0.9</sparkle:version><link>https://q/0.9</link></item>)"
          R"(<item><title>New</title><sparkle:version>0.10.1</sparkle:version><link>http://q/plain</link>)"
          R"(<description><![CDATA[<p>Faster <b>captions</b> &amp; <script>x()</script>fixes</p>]]></description>)"
          R"(<enclosure url="https://q/0.10.1.deb" sparkle:version="9"/></item>)"),
      &why);
  ASSERT_TRUE(offer) << why;
  EXPECT_EQ(offer->version, "0.10.1");
  EXPECT_EQ(offer->link, "https://q/0.10.1.deb") << "an http link is never used";
  EXPECT_EQ(offer->notes.find('<'), std::string::npos) << offer->notes;
  EXPECT_NE(offer->notes.find("Faster captions & "), std::string::npos) << offer->notes;
  const auto attribute = Appcast::Read(
      Feed(R"(<item><enclosure url="https://q/x" sparkle:version="2.0"/></item>)"), &why);
  ASSERT_TRUE(attribute);
  EXPECT_EQ(attribute->version, "2.0");
}

TEST(Appcast, BrokenFeedsMissingVersionsAndPlainHttpOfferNothing) {
  for (const std::string& text :
       {std::string("not xml <"), std::string("<html/>"), Feed(""),
        Feed(R"(<item><link>https://q/x</link></item>)"),
        Feed(R"(<item><sparkle:version>1.x</sparkle:version><link>https://q/x</link></item>)"),
        Feed(R"(<item><sparkle:version>2.0</sparkle:version><link>http://q/x</link></item>)"),
        // Entities multiply a small feed into gigabytes: no document type at all.
        std::string(
            R"(<?xml version="1.0"?><!DOCTYPE rss [<!ENTITY a "aaaaaaaa">]><rss><channel><item>)"
            R"(<sparkle:version>2.0</sparkle:version><link>https://q/x</link><description>&a;&a;)"
            R"(</description></item></channel></rss>)"),
        Feed(R"(<item><sparkle:version>2.0</sparkle:version><link>https://q/x</link></item>)" +
             std::string(Appcast::kMaxFeedBytes, ' '))}) {
    std::string why;
    EXPECT_FALSE(Appcast::Read(text, &why)) << text;
    EXPECT_FALSE(why.empty()) << text;
  }
}

TEST(Appcast, OddItemsAreSkippedAndLongNotesCutOnACharacterBoundary) {
  std::string why;
  std::string accents;
  while (accents.size() < 2 * Appcast::kMaxNotesBytes)
    accents += "\xC3\xA9";  // é: a cut at an odd byte would split it
  const auto offer = Appcast::Read(
      Feed(R"(<item><sparkle:version>9.0.0-rc1</sparkle:version><link>https://q/rc</link></item>)"
           R"(<item><sparkle:version>8.0</sparkle:version><link>javascript:x()</link></item>)"
           R"(<item><sparkle:version>2.0</sparkle:version><link>https://q/2</link>)"
           R"(<sparkle:releaseNotesLink>https://q/notes</sparkle:releaseNotesLink>)"
           "<description>x" +
           accents + "</description></item>"),
      &why);
  ASSERT_TRUE(offer) << why;
  EXPECT_EQ(offer->version, "2.0");
  EXPECT_TRUE(offer->notes_cut);
  EXPECT_EQ(offer->notes_link, "https://q/notes");
  EXPECT_LE(offer->notes.size(), Appcast::kMaxNotesBytes + 3);
  EXPECT_EQ(ValidUtf8(offer->notes), offer->notes);
  EXPECT_TRUE(offer->notes.ends_with("\u2026"));
}

TEST(Appcast, VersionsCompareAsDottedNumbers) {
  const std::tuple<const char*, const char*, std::optional<int>> cases[] = {
      {"0.10", "0.9", 1},          {"1.0", "1", 0},
      {"1.0.1", "1.0", 1},         {"2", "10", -1},
      {"1.a", "1", std::nullopt},  {"", "1", std::nullopt},
      {"1..2", "1", std::nullopt}, {"-1", "1", std::nullopt}};
  for (const auto& [a, b, order] : cases)
    EXPECT_EQ(Appcast::CompareVersions(a, b), order) << a << " " << b;
}

}  // namespace
}  // namespace quensary
