// The offline engine end to end: Debian's Apertium APy started by scripts/apertium-apy on a
// loopback port of this test's own, the engine page served from the program's scheme, and the
// engine pool's Translate over a real hidden page.

#include <gtest/gtest.h>

#include <sstream>

#include "fakes/memory_preferences.h"
#include "fakes/temp_dir.h"
#include "platform/glib/glib_main_queue.h"
#include "support/child_process.h"
#include "support/loopback_http_server.h"
#include "support/main_loop_wait.h"
#include "support/web_page_wait.h"
#include "translate/engine_pool.h"
#include "web/web_engine_page_factory.h"

namespace quensary {
namespace {

using testing::RunLoopUntil;

TEST(ApertiumEngine, TranslatesOnLoopbackOnlySplitsLongTextsAndFailsEmptyNeverHanging) {
  const int port = testing::ClosedLoopbackPort();
  auto apy = testing::StartApertium(port);
  ASSERT_TRUE(apy);
  std::istringstream sockets(testing::ListenersOn(port));
  for (std::string line; std::getline(sockets, line);)
    EXPECT_NE(line.find(" 127.0.0.1:" + std::to_string(port) + " "), std::string::npos) << line;

  auto profile = std::make_shared<TranslatorProfile>(*DecodeProfile(
      testing::ReadFile(QUENSARY_SOURCE_DIR "/pages/engines/apertium-english-spanish.json")));
  profile->Url += "?port=" + std::to_string(port);
  EnginePool engines(
      std::make_shared<SettingsStore>(std::make_shared<testing::MemoryPreferences>()),
      std::make_shared<WebEnginePageFactory>(), std::make_shared<GlibMainQueue>());
  engines.RebuildEnginePages(profile);
  ASSERT_TRUE(RunLoopUntil([&] {
    return testing::AwaitScript(*engines.EnginePageList().front(), "typeof trans") == "function";
  }));
  const auto start = [&](const std::string& text, const std::string& target) {
    auto result = std::make_shared<std::optional<std::string>>();
    engines.Translate(text, "en", target, [result](std::string t) { *result = std::move(t); });
    return result;
  };
  const auto translate = [&](const std::string& text, const std::string& target = "es") {
    auto result = start(text, target);
    RunLoopUntil([&] { return result->has_value(); }, std::chrono::seconds(20));
    return result->value_or("<no answer>");
  };
  // Checked loosely, so that an update of the language data does not break it.
  EXPECT_NE(translate("Good morning, everyone.").find("Buenos"), std::string::npos);
  std::string text;  // about 7,000 characters, beyond what APy takes in one request
  for (int i = 0; i < 500; ++i)
    text += "Good morning. ";
  const std::string translated = translate(text);
  size_t count = 0;
  for (size_t at = translated.find("Buenos"); at != std::string::npos;
       at = translated.find("Buenos", at + 1))
    ++count;
  EXPECT_EQ(count, 500u);
  EXPECT_EQ(translate("Good morning.", "xx"), "") << "an engine error";

  for (int i = 0; i < 5; ++i)
    text += text;  // long enough to be in flight when the engine stops
  auto in_flight = start(text, "es");
  testing::RunLoopFor(std::chrono::milliseconds(200));
  apy->Stop();
  // Well within the 30 s after which the page seam would give up on its own.
  EXPECT_TRUE(RunLoopUntil([&] { return in_flight->has_value(); }, std::chrono::seconds(10)));
  EXPECT_EQ(in_flight->value_or("<no answer>"), "");
  EXPECT_EQ(translate("Good morning."), "");
}

}  // namespace
}  // namespace quensary
