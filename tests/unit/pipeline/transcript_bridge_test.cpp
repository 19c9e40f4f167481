#include "pipeline/transcript_bridge.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "fakes/core_fixture.h"
#include "fakes/recorders.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;

std::string IdOf(int n) {
  return "2026-01-05 00:00:0" + std::to_string(n) + ".000000";
}

class TranscriptBridgeTest : public testing::CoreFixture {
 protected:
  TranscriptBridgeTest() {
    for (int n = 0; n < 6; ++n)
      history->SaveLine(CaptionLine(IdOf(n), "line " + std::to_string(n), true, ""));
  }
  // The numbers of the lines each answer to the command held, in the order answered.
  std::vector<std::vector<int>> Answers(LineCommand command, const std::string& argument) {
    transcript.Run(command, argument);
    EXPECT_TRUE(history->Flush(5s));
    queue->RunPending();
    std::vector<std::vector<int>> answers;
    for (const std::string& script : std::exchange(page->scripts, {})) {
      const auto open = script.find('(');
      const auto answer = nlohmann::json::parse(script.substr(open + 1, script.size() - open - 2));
      answers.emplace_back();
      for (const auto& line : answer.value("Lines", nlohmann::json::array()))
        answers.back().push_back(line["Id"].get<std::string>().at(18) - '0');
    }
    return answers;
  }
  std::vector<int> Stored() {
    return Answers(LineCommand::kTranscriptPage, R"({"Side":"after","Count":10})").at(0);
  }

  std::shared_ptr<testing::RecordingPage> page = std::make_shared<testing::RecordingPage>();
  TranscriptBridge transcript{{.page = page,
                               .main_queue = queue,
                               .history = history,
                               .lines = lines,
                               .save_dialog = nullptr,
                               .in_background = {}}};
};

TEST_F(TranscriptBridgeTest, ASessionIsDeletedOnlyBetweenTwoOrderedBounds) {
  const struct {
    std::string first, last;
    std::vector<int> left;
  } cases[] = {
      {"", IdOf(2), {0, 1, 2, 3, 4, 5}},
      {IdOf(2), "", {0, 1, 2, 3, 4, 5}},
      {IdOf(3), IdOf(1), {0, 1, 2, 3, 4, 5}},
      {IdOf(1), IdOf(3), {0, 4, 5}},
  };
  for (const auto& c : cases) {
    Answers(LineCommand::kDeleteSession,
            nlohmann::json{{"First", c.first}, {"Last", c.last}}.dump());
    EXPECT_EQ(Stored(), c.left) << c.first << " to " << c.last;
  }
}

}  // namespace
}  // namespace quensary
