// The offline engine end to end: Debian's Apertium APy started by scripts/apertium-apy on a
// loopback port of this test's own with every pair scripts/deps installs, the engine page served
// from the program's scheme, and the engine pool's Translate over a real hidden page.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "support/child_process.h"
#include "support/engine_wait.h"
#include "support/loopback_http_server.h"
#include "support/web_page_wait.h"
#include "translate/translate_script.h"

namespace quensary {
namespace {

using testing::RunLoopUntil;

TEST(ApertiumEngine, TranslatesEveryPairTheServerListsSplitsLongTextsAndSaysWhyItFails) {
  const int port = testing::ClosedLoopbackPort();
  const auto apy = testing::StartApertium(port);
  ASSERT_TRUE(apy);
  std::istringstream sockets(testing::ListenersOn(port));
  for (std::string line; std::getline(sockets, line);)
    EXPECT_NE(line.find(" 127.0.0.1:" + std::to_string(port) + " "), std::string::npos) << line;

  auto profile = std::make_shared<TranslatorProfile>(testing::ShippedProfile("apertium"));
  profile->Url += "?port=" + std::to_string(port);
  const auto engines = testing::WebEnginePool();
  engines->RebuildEnginePages(profile);
  ASSERT_TRUE(RunLoopUntil([&] {
    return testing::AwaitScript(*engines->EnginePageList().front(), "typeof trans") == "function";
  }));
  const auto translate = [&](const std::string& text, const std::string& target = "es") {
    return testing::TranslateNow(*engines, text, target).value_or("<no answer>");
  };
  // The languages come from the server's own list, in the program's codes.
  ASSERT_TRUE(RunLoopUntil([&] { return engines->EngineState().answering.has_value(); }));
  const auto pairs = nlohmann::json::parse(engines->EngineState().languages_json)["Pairs"];
  for (const auto& pair : {std::vector<std::string>{"en", "es"}, {"en", "ca"}, {"eu", "en"}})
    EXPECT_NE(std::find(pairs.begin(), pairs.end(), pair), pairs.end()) << pair[1];
  // Checked loosely, so that an update of the language data does not break it.
  EXPECT_NE(translate("Good morning, everyone.").find("Buenos"), std::string::npos);
  EXPECT_NE(translate("Good morning, everyone.", "ca").find("Bon dia"), std::string::npos);
  std::string text;  // about 7,000 characters, beyond what APy takes in one request
  for (int i = 0; i < 500; ++i)
    text += "Good morning. ";
  const std::string translated = translate(text);
  size_t count = 0;
  for (size_t at = translated.find("Buenos"); at != std::string::npos;
       at = translated.find("Buenos", at + 1))
    ++count;
  EXPECT_EQ(count, 500u);
  const auto reason = [&](const std::string& text, const std::string& target = "es") {
    return ReadTranslateAnswer(translate(text, target)).text;
  };
  EXPECT_EQ(reason("Good morning.", "fr"), "Apertium has no English to French pair installed");

  for (int i = 0; i < 5; ++i)
    text += text;  // long enough to be in flight when the engine stops
  auto in_flight = testing::StartTranslation(*engines, text, "es");
  testing::RunLoopFor(std::chrono::milliseconds(200));
  apy->Stop();
  // Well within the 30 s after which the page seam would give up on its own.
  EXPECT_TRUE(RunLoopUntil([&] { return in_flight->has_value(); }, std::chrono::seconds(10)));
  const std::string stopped = "Apertium is not running on 127.0.0.1:" + std::to_string(port);
  EXPECT_EQ(ReadTranslateAnswer(in_flight->value_or("")).text, stopped);
  EXPECT_EQ(reason("Good morning."), stopped);
}

}  // namespace
}  // namespace quensary
