// The offline engine end to end: Debian's Apertium APy started by scripts/apertium-apy on a
// loopback port, the engine page served from the program's scheme, and the request path's
// Translate over a real hidden page.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

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

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The sockets listening on the port, as `ss` shows them (one line each).
std::string Listening(int port) {
  std::string output;
  testing::RunToEnd({"ss", "-Hltn", "sport = :" + std::to_string(port)}, std::chrono::seconds(5),
                    &output);
  return output;
}

class ApertiumEngine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!g_file_test("/usr/bin/apertium-apy", G_FILE_TEST_IS_EXECUTABLE))
      return;
    port_ = testing::ClosedLoopbackPort();
    apy_ = std::make_unique<testing::BackgroundProcess>(std::vector<std::string>{
        std::string(QUENSARY_SOURCE_DIR) + "/scripts/apertium-apy", std::to_string(port_)});
    // APy loads its language pairs before it listens: a few seconds on a slow machine.
    RunLoopUntil([] { return !Listening(port_).empty() || !apy_->Running(); },
                 std::chrono::seconds(60));
  }
  static void TearDownTestSuite() { apy_.reset(); }

  void SetUp() override {
    if (!apy_)
      GTEST_SKIP() << "apertium-apy is not installed (scripts/deps installs it)";
    ASSERT_TRUE(apy_->Running()) << "scripts/apertium-apy ended early";
    ASSERT_FALSE(Listening(port_).empty()) << "APy did not start listening in time";

    // The profile the program offers, pointed at this test's port.
    const auto shipped =
        DecodeProfile(ReadFile(std::string(QUENSARY_SOURCE_DIR) + "/pages/engines/"
                                                                  "apertium-eng-spa.json"));
    ASSERT_TRUE(shipped);
    auto profile = std::make_shared<TranslatorProfile>(*shipped);
    profile->Url += "?port=" + std::to_string(port_);

    TranslationEngines::Seams seams;
    seams.page_factory = std::make_shared<WebEnginePageFactory>();
    seams.main_queue = std::make_shared<GlibMainQueue>();
    seams.clock = std::make_shared<SystemClock>();
    engines_ = TranslationEngines::Create(std::move(seams));
    engines_->RebuildEnginePages(profile);
    ASSERT_EQ(engines_->EnginePageList().size(), 1u);
    auto& page = *engines_->EnginePageList().front();
    ASSERT_TRUE(
        RunLoopUntil([&] { return testing::AwaitScript(page, "typeof trans") == "function"; },
                     std::chrono::seconds(20)));
  }

  // Translate, waiting at most `bound` for the delivery; absent when none came.
  std::optional<std::string> Translate(const std::string& text, const std::string& target = "es",
                                       std::chrono::milliseconds bound = std::chrono::seconds(20)) {
    auto result = std::make_shared<std::optional<std::string>>();
    engines_->Translate(text, "en", target, [result](std::string t) { *result = std::move(t); });
    RunLoopUntil([&] { return result->has_value(); }, bound);
    return *result;
  }

  static int port_;
  static std::unique_ptr<testing::BackgroundProcess> apy_;
  std::shared_ptr<TranslationEngines> engines_;
};

int ApertiumEngine::port_ = 0;
std::unique_ptr<testing::BackgroundProcess> ApertiumEngine::apy_;

TEST_F(ApertiumEngine, ListensOnTheLoopbackAddressOnly) {
  std::istringstream lines(Listening(port_));
  std::string line;
  int sockets = 0;
  while (std::getline(lines, line)) {
    ++sockets;
    EXPECT_NE(line.find(" 127.0.0.1:" + std::to_string(port_) + " "), std::string::npos) << line;
  }
  EXPECT_GE(sockets, 1);
}

TEST_F(ApertiumEngine, TranslatesASentenceToSpanish) {
  EXPECT_EQ(Translate("Good morning, everyone."), "Buenos días, todo el mundo.");
}

TEST_F(ApertiumEngine, SplitsLongTextsAndKeepsEveryPiece) {
  // About 7,000 characters, beyond what APy takes in one request.
  std::string text;
  for (int i = 0; i < 500; ++i)
    text += "Good morning. ";
  const auto translated = Translate(text);
  ASSERT_TRUE(translated.has_value());
  size_t count = 0;
  for (size_t at = translated->find("Buenos d"); at != std::string::npos;
       at = translated->find("Buenos d", at + 1))
    ++count;
  EXPECT_EQ(count, 500u);
}

TEST_F(ApertiumEngine, AnEngineErrorGivesTheEmptyText) {
  EXPECT_EQ(Translate("Good morning.", "xx"), "");
  EXPECT_EQ(Translate("Good morning."), "Buenos días.");
}

// Last: it ends the engine for the rest of this program.
TEST_F(ApertiumEngine, ZStoppingTheEngineMidwayGivesTheEmptyTextNotAHang) {
  std::string text;
  for (int i = 0; i < 3000; ++i)
    text += "The quick brown fox jumps over the lazy dog. ";
  auto result = std::make_shared<std::optional<std::string>>();
  engines_->Translate(text, "en", "es", [result](std::string t) { *result = std::move(t); });
  testing::RunLoopFor(std::chrono::milliseconds(200));
  apy_->Stop();
  // Well within the 30 s after which the page seam would give up on its own.
  EXPECT_TRUE(RunLoopUntil([&] { return result->has_value(); }, std::chrono::seconds(10)));
  EXPECT_EQ(result->value_or("no answer"), "");
  // And with the engine gone, a request fails at once.
  EXPECT_EQ(Translate("Good morning.", "es", std::chrono::seconds(10)), "");
}

}  // namespace
}  // namespace quensary
