#include "support/process_end.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "fakes/core_fixture.h"
#include "pipeline/caption_worker.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;

// Quitting while the caption worker, the bus and the history are busy ends the process with
// status 0, and the history file stays whole.
TEST(EndProcess, QuittingDuringABurstOfCaptionsAndTranslationsEndsCleanly) {
  // Forked without a fresh start, so the child writes where the parent looks.
  GTEST_FLAG_SET(death_test_style, "fast");
  testing::TempDir dir;
  EXPECT_EXIT(
      {
        auto clock = std::make_shared<testing::TestClock>();
        auto queue = std::make_shared<testing::ManualMainQueue>(clock.get());
        auto* bus = new LnsCenter;  // process-lifetime, as in the program
        auto history = std::make_shared<SQLiteHelper>(dir.path());
        auto settings =
            std::make_shared<SettingsStore>(std::make_shared<testing::MemoryPreferences>());
        settings->SetTargetLanguage("es");
        auto lines = std::make_shared<CaptionLines>(*bus, history, clock);
        auto factory = std::make_shared<testing::FakeEnginePageFactory>(*queue);
        factory->responder = [](const std::string&) -> std::optional<std::string> { return "t"; };
        auto engines = std::make_shared<EnginePool>(settings, factory, queue);
        engines->LoadProfiles("[" + testing::ProfileJson("e", 2) + "]");
        engines->ActivateEngine("e");
        auto requests =
            std::make_shared<TranslationRequests>(settings, engines, clock, lines, history);
        int n = 0;
        auto* worker = new CaptionWorker(
            std::make_unique<SentenceTracker>(
                [&n] { return "row " + std::to_string(n++) + "\xF0\x9F\x92\x95" + "next"; }, clock),
            lines, queue, 1ms);
        worker->SetTranslationRequest([requests](std::string id, std::string text, bool f, bool g) {
          requests->RequestTranslation(std::move(id), std::move(text), f, g);
        });
        AtProcessEnd([history] { history->Flush(2s); });
        worker->Start();
        for (int i = 0; i < 200; ++i) {
          queue->RunPending();
          std::this_thread::sleep_for(1ms);
        }
        EndProcess(0);
      },
      ::testing::ExitedWithCode(0), "");
  const std::string path = dir.path() + "/" + RevealText(Sealed::HistoryFileName);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::vector<std::string> answers;
  for (const char* sql : {"PRAGMA integrity_check", "SELECT count(*) > 0 FROM LanguageTargetOne"}) {
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    if (sqlite3_step(statement) == SQLITE_ROW)
      answers.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  EXPECT_EQ(answers, (std::vector<std::string>{"ok", "1"}));
}

}  // namespace
}  // namespace quensary
