// The pushed caption source over a real session bus, with the demo provider streaming its
// display the way LiveCaptions does: sentences rebuilt from scrolling, width-broken lines reach
// the line list and the history once each and whole, the source follows the sender quitting and
// coming back, and a hostile sender cannot make the worker spin or the kept text grow.
#include <gtest/gtest.h>

#include "capture/language_source.h"
#include "fakes/core_fixture.h"
#include "fakes/memory_preferences.h"
#include "fakes/temp_dir.h"
#include "pipeline/caption_source_switch.h"
#include "pipeline/caption_worker.h"
#include "platform/atspi/atspi_accessibility.h"
#include "platform/glib/glib_main_queue.h"
#include "platform/glib/glib_ptr.h"
#include "platform/glib/live_captions_stream.h"
#include "support/adapter_names.h"
#include "support/child_process.h"
#include "support/main_loop_wait.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;
using testing::BackgroundProcess;
using testing::RunLoopUntil;

const std::vector<std::string> kSentences = {
    "The weather service expects heavy rain on the coast tonight.",
    "Schools in the northern districts will open two hours late tomorrow.",
    "Is the bridge on the main road still closed to traffic?",
    "Drivers should leave early and take the eastern route instead!",
    "The next report follows at nine o'clock"};

class TextStreamTest : public ::testing::Test {
 protected:
  TextStreamTest() {
    sources = std::make_shared<CaptionSourceSwitch>(
        [this] { return LanguageSource::ReadCaptionWindow(*accessibility); }, stream, settings,
        clock);
    worker = std::make_shared<CaptionWorker>(
        std::make_unique<SentenceTracker>([this] { return sources->ReadText(); }, clock), lines,
        std::make_shared<GlibMainQueue>());
    sources->WakeOnStreamText(worker);
  }

  std::unique_ptr<BackgroundProcess> StartDemo(const std::vector<std::string>& extra) {
    std::vector<std::string> argv = {
        QUENSARY_CAPTION_DEMO, "--transcript", transcript, "--word-ms", "40", "--pause-ms", "200"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return std::make_unique<BackgroundProcess>(argv);
  }

  std::vector<std::string> Finished() {
    auto held = lines->LineLock();
    std::vector<std::string> texts;
    for (const auto& line : lines->LineList(held))
      if (line->Finish)
        texts.push_back(line->Ori);
    return texts;
  }

  testing::CapturedDiagnostics diagnostics;
  testing::TempDir dir;
  std::string transcript = [this] {
    std::string text;
    for (const auto& sentence : kSentences)
      text += sentence + "\n";
    testing::WriteFile(dir.path() + "/transcript.txt", text);
    return dir.path() + "/transcript.txt";
  }();
  std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>();
  // The program's core, on the real main loop, engines aside.
  CoreGraph core = MakeCoreGraph({.main_queue = std::make_shared<GlibMainQueue>(),
                                  .clock = clock,
                                  .preferences = std::make_shared<testing::MemoryPreferences>(),
                                  .engine_pages = nullptr,
                                  .history_folder = dir.path()});
  std::shared_ptr<SettingsStore> settings = core.settings;
  std::shared_ptr<SQLiteHelper> history = core.history;
  std::shared_ptr<CaptionLines> lines = core.lines;
  std::shared_ptr<AtspiAccessibility> accessibility = std::make_shared<AtspiAccessibility>();
  std::shared_ptr<LiveCaptionsStream> stream =
      std::make_shared<LiveCaptionsStream>(nullptr, LiveCaptionsBusNames(), clock);
  std::shared_ptr<CaptionSourceSwitch> sources;
  std::shared_ptr<CaptionWorker> worker;
};

// The demo sends what a LiveCaptions display shows: the last lines of the speech broken by
// width, scrolling word by word, every seventh word misheard first and rewritten on the next
// tick. Whatever the display's shape, each sentence is finished once and whole.
TEST_F(TextStreamTest, AScrollingDisplayGivesEachSentenceOnceAndWhole) {
  const struct {
    const char* width;
    const char* lines;
  } displays[] = {{"30", "1"}, {"42", "2"}, {"60", "3"}};
  for (const auto& display : displays) {
    SCOPED_TRACE(std::string(display.lines) + " lines of " + display.width);
    lines->DeleteLines(std::nullopt);  // the list and the history
    auto demo = StartDemo({"--dbus-stream", "--stream-width", display.width, "--stream-lines",
                           display.lines, "--rewrite-every", "7"});
    worker->Start();
    ASSERT_TRUE(RunLoopUntil([&] { return Finished().size() >= kSentences.size(); }, 30s))
        << ::testing::PrintToString(Finished());
    EXPECT_EQ(Finished(), kSentences);
    EXPECT_EQ(sources->Choice().reason, CaptionSourceReason::kStreamActive);
    // The history is written on its own thread: wait for the last line to be stored.
    ASSERT_TRUE(RunLoopUntil(
        [&] { return testing::StoredOriginals(*history).size() >= kSentences.size(); }));
    EXPECT_EQ(testing::StoredOriginals(*history), kSentences);
    demo.reset();
    ASSERT_TRUE(RunLoopUntil([&] { return !stream->State().owned; }));
  }
}

TEST_F(TextStreamTest, TheSourceFollowsTheSenderQuittingAndComingBack) {
  auto window_only = StartDemo({"--loop"});
  auto sender = StartDemo({"--dbus-stream", "--loop"});
  worker->Start();
  const auto reads_kind = [&](CaptionSourceKind kind) {
    return RunLoopUntil([&] { return sources->Choice().kind == kind; });
  };
  ASSERT_TRUE(reads_kind(CaptionSourceKind::kStream));
  ASSERT_TRUE(RunLoopUntil([&] { return !stream->Text().empty(); }));
  sender->Kill();  // gone mid-sentence, as in a crash
  ASSERT_TRUE(reads_kind(CaptionSourceKind::kAccessibility));
  EXPECT_EQ(sources->Choice().reason, CaptionSourceReason::kNoStream);
  EXPECT_TRUE(stream->Text().empty()) << "nothing of a sender that went is read on";
  // The caption window is read meanwhile.
  const size_t before = Finished().size();
  EXPECT_TRUE(RunLoopUntil([&] { return Finished().size() > before; }, 20s));
  sender = StartDemo({"--dbus-stream", "--loop"});
  EXPECT_TRUE(reads_kind(CaptionSourceKind::kStream));
}

// A sender of our own on a second connection: megabyte texts and a signal of the wrong type.
TEST_F(TextStreamTest, AHostileSenderCannotMakeTheKeptTextGrow) {
  GError* raw_error = nullptr;
  const GCharPtr address(g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
  const auto sender = GObjectRef<GDBusConnection>::Adopt(g_dbus_connection_new_for_address_sync(
      address.get(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &raw_error));
  const GErrorPtr error(raw_error);
  ASSERT_TRUE(sender) << (error ? error->message : "");
  const GVariantPtr owned(g_dbus_connection_call_sync(
      sender.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
      "RequestName", g_variant_new("(su)", "net.sapples.LiveCaptions", 4u), nullptr,
      G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr));
  ASSERT_TRUE(owned);
  ASSERT_TRUE(RunLoopUntil([&] { return stream->State().owned; }));
  // Nothing answers the property: the stream counts as off, and the window is read.
  EXPECT_TRUE(
      RunLoopUntil([&] { return sources->Choice().reason == CaptionSourceReason::kStreamOff; }));

  worker->Start();
  const auto emit = [&](GVariant* body) {
    g_dbus_connection_emit_signal(sender.get(), nullptr, "/net/sapples/LiveCaptions/External",
                                  "net.sapples.LiveCaptions.External", "TextStream", body, nullptr);
  };
  const std::string megabyte(1 << 20, 'a');
  for (int i = 0; i < 8; ++i)
    emit(g_variant_new("(s)", (megabyte + " end " + std::to_string(i)).c_str()));
  emit(g_variant_new("(i)", 7));  // a signal of another type is ignored
  ASSERT_TRUE(RunLoopUntil([&] { return stream->Text().ends_with(" end 7"); }));
  EXPECT_LE(stream->Text().size(), kMaxStreamTextBytes);
  EXPECT_EQ(sources->Choice().reason, CaptionSourceReason::kStreamRecent);
}

}  // namespace
}  // namespace quensary
