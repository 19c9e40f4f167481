// The offline engine end to end: Debian's Apertium APy started by scripts/apertium-apy on a
// loopback port, the engine page served from the program's scheme, and the engine pool's
// Translate over a real hidden page.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "fakes/memory_preferences.h"
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

// The sockets listening on the port, as `ss` shows them (one line each).
std::string Listening(int port) {
  std::string output;
  testing::RunToEnd({"ss", "-Hltn", "sport = :" + std::to_string(port)}, std::chrono::seconds(5), &output);
  return output;
}

// One APy of the test's own, and the program's engine profile pointed at it.
class ApertiumEngine {
 public:
  ApertiumEngine() : port_(testing::ClosedLoopbackPort()) {
    apy_ = std::make_unique<testing::BackgroundProcess>(
        std::vector<std::string>{QUENSARY_SOURCE_DIR "/scripts/apertium-apy", std::to_string(port_)});
    // APy loads its language pairs before it listens: a few seconds on a slow machine.
    RunLoopUntil([&] { return !Listening(port_).empty() || !apy_->Running(); }, std::chrono::seconds(60));
    std::ifstream in(QUENSARY_SOURCE_DIR "/pages/engines/apertium-eng-spa.json");
    std::stringstream text;
    text << in.rdbuf();
    auto profile = std::make_shared<TranslatorProfile>(*DecodeProfile(text.str()));
    profile->Url += "?port=" + std::to_string(port_);
    engines_->RebuildEnginePages(profile);
    RunLoopUntil([&] { return testing::AwaitScript(*engines_->EnginePageList().front(), "typeof trans") == "function"; },
                 std::chrono::seconds(20));
  }

  bool Listens() const { return !Listening(port_).empty(); }
  int port() const { return port_; }
  testing::BackgroundProcess& apy() { return *apy_; }

  // Starts a translation; the result appears when it is delivered.
  std::shared_ptr<std::optional<std::string>> Start(const std::string& text, const std::string& target) {
    auto result = std::make_shared<std::optional<std::string>>();
    engines_->Translate(text, "en", target, [result](std::string t) { *result = std::move(t); });
    return result;
  }
  // Translate, waiting at most `bound` for the delivery; absent when none came.
  std::optional<std::string> Translate(const std::string& text, const std::string& target = "es",
                                       std::chrono::milliseconds bound = std::chrono::seconds(20)) {
    auto result = Start(text, target);
    RunLoopUntil([&] { return result->has_value(); }, bound);
    return *result;
  }

 private:
  int port_;
  std::unique_ptr<testing::BackgroundProcess> apy_;
  std::shared_ptr<EnginePool> engines_ = std::make_shared<EnginePool>(
      std::make_shared<SettingsStore>(std::make_shared<testing::MemoryPreferences>()),
      std::make_shared<WebEnginePageFactory>(), std::make_shared<GlibMainQueue>());
};

TEST(ApertiumEngineTest, TranslatesOnLoopbackOnlySplittingLongTextsAndFailingEmpty) {
  ApertiumEngine engine;
  ASSERT_TRUE(engine.Listens()) << "APy did not start listening in time";
  std::istringstream sockets(Listening(engine.port()));
  for (std::string line; std::getline(sockets, line);)
    EXPECT_NE(line.find(" 127.0.0.1:" + std::to_string(engine.port()) + " "), std::string::npos) << line;
  // Checked loosely, so that an update of the language data does not break it.
  EXPECT_NE(engine.Translate("Good morning, everyone.").value_or("").find("Buenos"), std::string::npos);
  // About 7,000 characters, beyond what APy takes in one request.
  std::string text;
  for (int i = 0; i < 500; ++i)
    text += "Good morning. ";
  const std::string translated = engine.Translate(text).value_or("");
  size_t count = 0;
  for (size_t at = translated.find("Buenos"); at != std::string::npos; at = translated.find("Buenos", at + 1))
    ++count;
  EXPECT_EQ(count, 500u);
  EXPECT_EQ(engine.Translate("Good morning.", "xx"), "") << "an engine error";
}

TEST(ApertiumEngineTest, StoppingTheEngineMidwayGivesTheEmptyTextNotAHang) {
  ApertiumEngine engine;
  ASSERT_TRUE(engine.Listens());
  std::string text;
  for (int i = 0; i < 3000; ++i)
    text += "The quick brown fox jumps over the lazy dog. ";
  auto in_flight = engine.Start(text, "es");
  testing::RunLoopFor(std::chrono::milliseconds(200));
  engine.apy().Stop();
  // Well within the 30 s after which the page seam would give up on its own.
  EXPECT_TRUE(RunLoopUntil([&] { return in_flight->has_value(); }, std::chrono::seconds(10)));
  EXPECT_EQ(in_flight->value_or("no answer"), "");
  EXPECT_EQ(engine.Translate("Good morning.", "es", std::chrono::seconds(10)), "");
}

}  // namespace
}  // namespace quensary
