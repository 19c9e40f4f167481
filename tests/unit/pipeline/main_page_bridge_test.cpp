#include "pipeline/main_page_bridge.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "fakes/core_fixture.h"
#include "fakes/fake_accessibility.h"
#include "fakes/memory_key_store.h"
#include "fakes/recorders.h"
#include "protocol/page_calls.h"

namespace quensary {
namespace {

using namespace std::chrono_literals;
using testing::ProfileJson;

class MainPageBridgeTest : public testing::CoreFixture {
 protected:
  MainPageBridgeTest() {
    for (const char* event : {Sealed::EventSettingsChanged, Sealed::EventUserLineChanged})
      bus.Subscribe(RevealText(event), false,
                    [record = record_, name = RevealText(event)](const LnsMessage&) {
                      std::lock_guard lock(record->mutex);
                      record->events.push_back(name == RevealText(Sealed::EventSettingsChanged)
                                                   ? "settings"
                                                   : "user line");
                    });
    bridge->SetMainWindow(window);
    bridge->Subscribe();
    handlers = bridge->Handlers();
  }

  void Send(const char* handler, const std::string& first, const std::string& second = "") {
    handlers.at(RevealText(handler))(first, second);
    queue->RunPending();
  }
  // The events posted so far, once the tasks they led to have run.
  std::vector<std::string> Events() {
    queue->RunPending();
    bus.WaitIdle();
    queue->RunPending();
    std::lock_guard lock(record_->mutex);
    return std::exchange(record_->events, {});
  }
  static std::string Key(Setting setting) { return StorageKey(setting); }

  std::shared_ptr<testing::RecordingPage> page = std::make_shared<testing::RecordingPage>();
  std::shared_ptr<testing::MemoryKeyStore> keys = std::make_shared<testing::MemoryKeyStore>();
  std::shared_ptr<testing::RecordingWindow> window = std::make_shared<testing::RecordingWindow>();
  std::shared_ptr<testing::RecordingOpener> browser = std::make_shared<testing::RecordingOpener>();
  std::shared_ptr<testing::RecordingClipboard> clipboard =
      std::make_shared<testing::RecordingClipboard>();
  std::shared_ptr<testing::FakeAccessibility> desktop =
      std::make_shared<testing::FakeAccessibility>();
  std::atomic<bool> startup_complete{true};
  int quits = 0;
  std::shared_ptr<MainPageBridge> bridge =
      std::make_shared<MainPageBridge>(MainPageBridge::Collaborators{
          page, queue, &bus, settings, engines, requests, lines, history,
          std::make_shared<CaptionWorker>(std::make_unique<SentenceTracker>(nullptr, clock), lines,
                                          queue),
          desktop, clipboard, browser, [](std::function<void()> work) { work(); },
          [this] { ++quits; }, &startup_complete, "1.2.3", nullptr, keys, nullptr});
  std::map<std::string, MainPageBridge::Handler, std::less<>> handlers;
  // Shared with the subscriptions: the bus outlives this fixture's own members.
  struct EventRecord {
    std::mutex mutex;
    std::vector<std::string> events;
  };
  std::shared_ptr<EventRecord> record_ = std::make_shared<EventRecord>();
};

TEST_F(MainPageBridgeTest, SetSettingStoresConvertedValuesAndPostsTheirEvents) {
  // What the store holds under the key afterwards (raw, as the settings file would), then the
  // events posted.
  const auto stored = [&](const std::string& key) {
    if (const auto number = preferences->ReadInt(key))
      return std::to_string(*number);
    if (const auto flag = preferences->ReadBool(key))
      return std::string(*flag ? "true" : "false");
    return preferences->ReadText(key).value_or("<none>");
  };
  const struct {
    std::string key, value;
    std::vector<std::string> stored_and_events;
  } cases[] = {
      {Key(Setting::kOverlayOpacity), "+30", {"30", "settings"}},
      {Key(Setting::kOverlayFontSize), "40", {"40", "settings"}},
      {Key(Setting::kShowOriginal), "true", {"false", "settings"}},
      {Key(Setting::kShowTranslation), "1", {"true", "settings"}},
      {Key(Setting::kOverlayTextColour), " #ff0 ", {" #ff0 ", "settings"}},  // as received
      {Key(Setting::kTargetLanguage), "", {""}},  // a value, not the default
      {Key(Setting::kCaptionSource), "stream", {"stream"}},
      {Key(Setting::kCaptionSource), "<b>", {"auto"}},
      // Stored by the program itself, never by the page; and unknown words.
      {Key(Setting::kSourceLanguage), "de", {"<none>"}},
      {Key(Setting::kSelectedEngineId), "x", {"<none>"}},
      {"no-such-key", "1", {"<none>"}},
  };
  for (const auto& c : cases) {
    Send(Sealed::HandlerSetSetting, c.key, c.value);
    std::vector<std::string> seen{stored(c.key)};
    for (const auto& event : Events())
      seen.push_back(event);
    EXPECT_EQ(seen, c.stored_and_events) << c.key << " " << c.value;
  }
}

TEST_F(MainPageBridgeTest, SetSettingMovesWindowsOpensTheFixedAddressAndActivatesEngines) {
  auto caption = desktop->AddApp(7, ActivationPolicy::kAccessory);
  auto caption_window = testing::FakeElement::Make();
  caption_window->identifier = RevealText(Sealed::CaptionWindowIdentifier);
  caption->windows->push_back(caption_window);
  Send(Sealed::HandlerSetSetting, Key(Setting::kCaptionWindowShown), "0");
  EXPECT_EQ(caption_window->actions, std::vector<std::string>{"move 0,-10000"});
  Send(Sealed::HandlerSetSetting, Key(Setting::kMainWindowOnTop), "1");
  Send(Sealed::HandlerSetSetting, Key(Setting::kMainWindowOnTop), "0");
  EXPECT_EQ(window->actions, (std::vector<std::string>{"level 3", "level 0"}));
  Send(Sealed::HandlerSetSetting, RevealText(Sealed::WordOpenAddress));
  EXPECT_EQ(browser->opened, std::vector<std::string>{RevealText(Sealed::FixedAddress)});

  engines->LoadProfiles("[" + ProfileJson("a", 1) + "]");
  settings->SetUserEngineJson(ProfileJson("mine", 1, 0, "first"));
  handlers.at(RevealText(Sealed::HandlerSetSetting))(RevealText(Sealed::WordSelectEngine), "mine");
  bus.WaitIdle();
  EXPECT_TRUE(record_->events.empty()) << "the event follows the activation";
  EXPECT_EQ(Events(), std::vector<std::string>{"settings"});
  EXPECT_EQ(engines->ActiveProfile()->Id, "mine");
  // The user's own profile: with the active Id it is rebuilt, with another only stored and echoed.
  for (const auto& [id, url] :
       std::vector<std::pair<std::string, std::string>>{{"mine", "second"}, {"other", "second"}}) {
    Send(Sealed::HandlerSetSetting, Key(Setting::kUserEngineJson), ProfileJson(id, 1, 0, "second"));
    EXPECT_EQ(Events(), std::vector<std::string>{"user line"});
    EXPECT_EQ(engines->ActiveProfile()->Url, url) << id;
    EXPECT_EQ(std::count(page->scripts.begin(), page->scripts.end(),
                         "    UpdateUserAddLine(" + ProfileJson(id, 1, 0, "second") + ")"),
              1);
    page->scripts.clear();
  }
  EXPECT_EQ(factory->pages.size(), 2u);
}

TEST_F(MainPageBridgeTest, UpdateUserAddLineNeverRunsAStoredTextAsScript) {
  for (const auto& [stored, call] : std::vector<std::pair<std::string, std::string>>{
           {"", "    UpdateUserAddLine()"},
           {R"({"Id":"x"})", R"(    UpdateUserAddLine({"Id":"x"}))"},
           {"alert(1)//", R"(    UpdateUserAddLine("alert(1)//"))"},
           // A leading brace alone does not make a text JSON.
           {R"({"Id":"x")", R"(    UpdateUserAddLine("{\"Id\":\"x\""))"},
           {"\"); x(\"\xE2\x80\xA8", R"(    UpdateUserAddLine("\"); x(\"\u2028"))"}}) {
    settings->SetUserEngineJson(stored);
    EXPECT_EQ(bridge->UpdateUserAddLineCall(), call) << stored;
  }
}

TEST_F(MainPageBridgeTest,
       PageReadyWaitsForStartupThenLoadsProfilesEchoesAndSendsInitAndTheHistory) {
  startup_complete = false;
  history->SaveLine(CaptionLine("1", "stored", true, "guardado"));
  Send(Sealed::HandlerPageReady, "[" + ProfileJson("a", 1) + "]");
  clock->Advance(5s);
  queue->RunPending();
  EXPECT_TRUE(page->scripts.empty()) << "nothing before window setup has run";
  startup_complete = true;
  for (const std::string& profiles : {std::string(), "[" + ProfileJson("b", 1) + "]"}) {
    if (!profiles.empty())
      Send(Sealed::HandlerPageReady, profiles);  // a page that is ready again
    Events();
    bridge->StartupCompleted();  // window setup's word; the second time, nothing is held
    Events();
    clock->Advance(MainPageBridge::kInitDelay);
    queue->RunPending();
    ASSERT_TRUE(history->Flush(5s));
    Events();
    EXPECT_EQ(engines->ProfileList().front()->Id, "a") << "the first list is kept";
    ASSERT_EQ(page->scripts.size(), 4u);
    EXPECT_EQ(page->scripts[0], bridge->UpdateUserAddLineCall());
    EXPECT_EQ(page->scripts[1], InitCall(Page::kMain, MainPageInitJson(*settings, "1.2.3")));
    EXPECT_EQ(page->scripts[2], bridge->EngineStatusCall());
    EXPECT_EQ(page->scripts[3], JuziCall(Page::kMain, published.Last()));
    EXPECT_EQ(nlohmann::json::parse(published.Last())[0]["Tar"], "guardado");
    page->scripts.clear();
    clock->Advance(MainPageBridge::kPageCallInterval);  // this Juzi holds back no other
  }
  EXPECT_EQ(diagnostics.lines(), std::vector<std::string>(2, MainPageInitJson(*settings, "1.2.3")));
}

TEST_F(MainPageBridgeTest, WithoutAVersionThereIsNoInitAndNoRestore) {
  MainPageBridge::Collaborators unversioned;
  unversioned.page = page;
  unversioned.main_queue = queue;
  unversioned.bus = &bus;
  unversioned.settings = settings;
  unversioned.engines = engines;
  unversioned.lines = lines;
  auto quiet = std::make_shared<MainPageBridge>(std::move(unversioned));
  quiet->Handlers().at(RevealText(Sealed::HandlerPageReady))("[]", "");
  clock->Advance(1s);
  bus.WaitIdle();
  queue->RunPending();
  for (const auto& script : page->scripts)
    EXPECT_TRUE(script.find("Init(") == std::string::npos &&
                script.find("Juzi(") == std::string::npos)
        << script;
}

TEST_F(MainPageBridgeTest, LineCommandsDeleteRetranslateAndCopyInThreeModesOnly) {
  Activate(1, 0);
  for (const char* text : {"one", "two", "three"}) {
    auto held = lines->LineLock();
    lines->UpsertLine(held, text, true);
  }
  const std::string two = lines->LineList(lines->LineLock())[1]->Id;
  Send(Sealed::HandlerLineCommand, RevealText(Sealed::WordDeleteLine), two);
  EXPECT_EQ(Listed(), (std::vector<std::string>{"one|done", "three|done"}));
  const std::string three = lines->LineList(lines->LineLock())[1]->Id;
  Send(Sealed::HandlerLineCommand, RevealText(Sealed::WordRetranslate), three);
  EXPECT_EQ(lines->LineList(lines->LineLock())[1]->Tar, "es:three");
  for (const char* mode : {"1", "+2", "3", "0", "4", "abc", ""}) {
    Send(Sealed::HandlerLineCommand, RevealText(Sealed::WordCopyLines), mode);
    ASSERT_TRUE(history->Flush(5s));
  }
  queue->RunPending();
  ASSERT_EQ(clipboard->texts.size(), 3u);
  EXPECT_EQ(clipboard->texts[0].find("es:three"), std::string::npos);
  EXPECT_EQ(clipboard->texts[1].find("three"), clipboard->texts[1].find("es:three") + 3);
  Send(Sealed::HandlerLineCommand, "unknown", "");
  Send(Sealed::HandlerLineCommand, RevealText(Sealed::WordDeleteLine), "");
  EXPECT_TRUE(Listed().empty());
  EXPECT_TRUE(Stored().empty());
}

TEST_F(MainPageBridgeTest, ANewTargetOrEngineRetranslatesTheUntranslatedLinesAndTheStatusIsSent) {
  Activate(1, 0);
  queue->RunPending();
  {
    auto held = lines->LineLock();
    for (const char* text : {"one", "two", "three"})
      lines->UpsertLine(held, text, true);
    lines->LineList(held)[1]->Tar = "dos";
  }
  Send(Sealed::HandlerSetSetting, Key(Setting::kTargetLanguage), "ca");
  std::vector<std::string> sent;
  for (const auto& script : AsyncScripts())
    sent.push_back(testing::CallArguments(script).at(0));
  EXPECT_EQ(sent, (std::vector<std::string>{"one", "three"}));
  // The latest status call, which comes at the end of the pacing interval; lines-changed calls
  // come from the bus in their own time.
  clock->Advance(MainPageBridge::kPageCallInterval);
  queue->RunPending();
  const std::string prefix = RevealText(Sealed::EngineStatusCall);
  const std::string call = *std::find_if(page->scripts.rbegin(), page->scripts.rend(),
                                         [&](const auto& s) { return s.rfind(prefix, 0) == 0; });
  const auto status =
      nlohmann::json::parse(call.substr(call.find('(') + 1, call.size() - call.find('(') - 2));
  EXPECT_EQ(status["Engine"], "e");
  EXPECT_EQ(status["Answering"], true);
  EXPECT_TRUE(status["LastMs"].is_number());
  Send(Sealed::HandlerSetSetting, RevealText(Sealed::WordSelectEngine), "e");
  EXPECT_EQ(AsyncScripts().size(), 2u) << "the lines have translations now";
  EXPECT_EQ(Events(), std::vector<std::string>{"settings"});
}

TEST_F(MainPageBridgeTest, WindowWordsReachTheMainWindowAndLinksOnlyThroughTheirWord) {
  for (const char* button : {"1", "2", "4", "", "3"})
    Send(Sealed::HandlerWindowButton, button);
  for (const char* word : {Sealed::WordDragOn, Sealed::WordDragOff, Sealed::WordZoomToggle})
    Send(Sealed::HandlerWindowCommand, RevealText(word));
  Send(Sealed::HandlerWindowCommand, "resize");
  EXPECT_EQ(window->actions,
            (std::vector<std::string>{"minimize", "zoom", "drag on", "drag off", "zoom"}));
  EXPECT_EQ(quits, 1);
  bridge->SetMainWindow(nullptr);
  Send(Sealed::HandlerWindowButton, "1");
  Send(Sealed::HandlerWindowButton, "3");  // quitting needs no window
  EXPECT_EQ(window->actions.size(), 5u);
  EXPECT_EQ(quits, 2);
  Send(Sealed::HandlerOpenLink, RevealText(Sealed::WordOpenUrl), "https://example.org/");
  Send(Sealed::HandlerOpenLink, "other", "https://example.org/other");
  EXPECT_EQ(browser->opened, std::vector<std::string>{"https://example.org/"});
}

}  // namespace
}  // namespace quensary
