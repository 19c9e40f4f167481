#include "pipeline/main_page_bridge.h"

#include <nlohmann/json.hpp>

#include "bus/bus_events.h"
#include "capture/language_source.h"
#include "platform/diagnostics.h"
#include "protocol/page_calls.h"
#include "protocol/page_words.h"
#include "protocol/window_command.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {

MainPageBridge::MainPageBridge(Collaborators collaborators)
    : c_(std::move(collaborators)),
      transcript_({.page = c_.page,
                   .main_queue = c_.main_queue,
                   .history = c_.history,
                   .lines = c_.lines,
                   .save_dialog = c_.save_dialog,
                   .in_background = c_.in_background}) {}

std::map<std::string, MainPageBridge::Handler, std::less<>> MainPageBridge::Handlers() {
  // Each handler holds the bridge weakly: the page must not keep it alive.
  const auto bind = [weak = weak_from_this()](auto method) -> Handler {
    return [weak, method](const std::string& first, const std::string& second) {
      if (auto self = weak.lock())
        method(*self, first, second);
    };
  };
  std::map<std::string, Handler, std::less<>> handlers;
  handlers[WordOf(PageHandler::kPageReady)] =
      bind([](MainPageBridge& self, const std::string& first, const std::string&) {
        self.PageReady(first);
      });
  handlers[WordOf(PageHandler::kStartCapture)] =
      bind([](MainPageBridge& self, const std::string&, const std::string&) {
        self.c_.worker->Start();
      });
  handlers[WordOf(PageHandler::kSetSetting)] =
      bind([](MainPageBridge& self, const std::string& first, const std::string& second) {
        self.SetSetting(first, second);
      });
  handlers[WordOf(PageHandler::kLineCommand)] =
      bind([](MainPageBridge& self, const std::string& first, const std::string& second) {
        self.RunLineCommand(first, second);
      });
  handlers[WordOf(PageHandler::kOpenLink)] =
      bind([](MainPageBridge& self, const std::string& first, const std::string& second) {
        if (FromWord<LinkCommand>(first) == LinkCommand::kOpenUrl)
          self.c_.browser->Open(second);
      });
  handlers[WordOf(PageHandler::kWindowButton)] =
      bind([](MainPageBridge& self, const std::string& first, const std::string&) {
        self.PressWindowButton(first);
      });
  handlers[WordOf(PageHandler::kWindowCommand)] =
      bind([](MainPageBridge& self, const std::string& first, const std::string&) {
        self.RunWindowCommand(first);
      });
  return handlers;
}

void MainPageBridge::Subscribe() {
  // The bus delivers on its own thread: each event only becomes a task of the main thread.
  const auto run_on_main = [weak = weak_from_this(), queue = c_.main_queue](auto make_call) {
    queue->Post([weak, make_call = std::move(make_call)] {
      if (auto self = weak.lock())
        self->c_.page->RunJs(make_call(*self));
    });
  };
  // Each list and each status is the whole of it: only the newest of a burst need reach the page.
  paced_calls_ = std::make_shared<PacedPageCall>(
      c_.main_queue, kPageCallInterval,
      [page = c_.page](const std::string& call) { page->RunJs(call); });
  OnEach(*c_.bus,
         [queue = c_.main_queue, lines = std::weak_ptr(paced_calls_)](const LinesChanged& event) {
           queue->Post([lines, json = event.json] {
             if (const auto held = lines.lock())
               held->Offer([json] { return JuziCall(Page::kMain, json); });
           });
         });
  OnEach(*c_.bus, [run_on_main](const UserLineChanged&) {
    run_on_main([](MainPageBridge& self) { return self.UpdateUserAddLineCall(); });
  });
  c_.engines->SetStatusListener([weak = weak_from_this()] {
    if (auto self = weak.lock())
      self->paced_calls_->Offer(
          [weak] {
            const auto alive = weak.lock();
            return alive ? alive->EngineStatusCall() : std::string();
          },
          1);
  });
  if (c_.caption_sources) {
    c_.caption_sources->SetOnChoiceChanged([run_on_main](CaptionSourceChoice) {
      run_on_main([](MainPageBridge& self) { return self.CaptionSourceCall(); });
    });
  }
}

void MainPageBridge::SetPageSeen(bool seen) {
  if (paced_calls_)
    paced_calls_->SetHeld(!seen);
}

std::string MainPageBridge::CaptionSourceCall() const {
  const CaptionSourceChoice choice = c_.caption_sources->Choice();
  const nlohmann::json status = {
      {"Mode", WordOf(c_.caption_sources->Mode())},
      {"Active", CaptionSourceKindWord(choice.kind)},
      {"Reason", CaptionSourceReasonWord(choice.reason)},
  };
  return RevealText(Sealed::CaptionSourceCall) + status.dump() + ")";
}

std::string MainPageBridge::EngineStatusCall() const {
  const EngineStatus& status = c_.engines->EngineState();
  nlohmann::json json = {
      {"Engine", status.engine_id},
      {"Name", status.engine_name},
      {"Answering", nullptr},
      {"Reason", status.reason},
      {"LastMs", nullptr},
      {"Languages", nullptr},
      {"Source", c_.settings->ProviderLanguage()},
      {"KeySaved", nullptr},
      {"KeysKept", "unknown"},
  };
  if (key_saved_)
    json["KeySaved"] = *key_saved_;
  if (c_.keys && c_.keys->KeepsKeys() != KeyStore::Keeping::kUnknown)
    json["KeysKept"] = c_.keys->KeepsKeys() == KeyStore::Keeping::kLasting ? "lasting" : "session";
  if (status.answering)
    json["Answering"] = *status.answering;
  if (status.last_ms)
    json["LastMs"] = *status.last_ms;
  if (!status.languages_json.empty())
    json["Languages"] = nlohmann::json::parse(status.languages_json, nullptr, false);
  return RevealText(Sealed::EngineStatusCall) +
         json.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace) + ")";
}

std::string MainPageBridge::UpdateUserAddLineCall() const {
  const std::string stored = c_.settings->UserEngineJson();
  // The page receives the stored profile as a value: verbatim when it is JSON (every valid
  // profile is), otherwise as a string, so that a stored text can never run as script.
  if (stored.empty() || nlohmann::json::accept(stored))
    return "    UpdateUserAddLine(" + stored + ")";
  return "    UpdateUserAddLine(" +
         nlohmann::json(stored).dump(-1, ' ', true, nlohmann::json::error_handler_t::replace) + ")";
}

void MainPageBridge::PageReady(const std::string& profiles) {
  // Nothing goes on before window setup has run; the main thread never waits for it, and the
  // page is answered as soon as it has (StartupCompleted). A later ready command (the page
  // loaded again) replaces the one kept.
  if (c_.startup_complete && !c_.startup_complete->load()) {
    held_profiles_ = profiles;
    return;
  }
  c_.engines->LoadProfiles(profiles);
  Publish(*c_.bus, UserLineChanged{});
  c_.main_queue->PostAfter(kInitDelay, [weak = weak_from_this()] {
    if (auto self = weak.lock())
      self->SendInit();
  });
}

void MainPageBridge::StartupCompleted() {
  if (!held_profiles_)
    return;
  const std::string profiles = std::move(*held_profiles_);
  held_profiles_.reset();
  PageReady(profiles);
}

void MainPageBridge::SendInit() {
  if (!c_.version)
    return;
  const std::string json = MainPageInitJson(*c_.settings, *c_.version);
  WriteDiagnostic(json);
  c_.page->RunJs(InitCall(Page::kMain, json));
  if (c_.caption_sources)
    c_.page->RunJs(CaptionSourceCall());
  c_.page->RunJs(EngineStatusCall());
  c_.lines->RestoreLatestLines();
}

void MainPageBridge::SetSetting(const std::string& key, const std::string& value) {
  if (const auto command = FromWord<SettingCommand>(key)) {
    RunSettingCommand(*command, value);
    return;
  }
  // The source language comes from the provider and the engine from its own command: a page
  // sets neither by its key.
  const auto setting = SettingFromStorageKey(key);
  if (!setting || setting == Setting::kSourceLanguage || setting == Setting::kSelectedEngineId ||
      setting == Setting::kOverlayPlaces)
    return;
  c_.settings->SetFromPage(key, value);
  switch (*setting) {
    case Setting::kCaptionWindowShown:
      // Moving the provider's window waits for another application: not on the main thread.
      c_.in_background(
          [accessibility = c_.accessibility, shown = c_.settings->CaptionWindowShown()] {
            LanguageSource::SetCaptionWindowShown(*accessibility, shown);
          });
      break;
    case Setting::kShowOriginal:
    case Setting::kShowTranslation:
    case Setting::kOverlayFontSize:
    case Setting::kOverlayOpacity:
    case Setting::kOverlayTextColour:
    case Setting::kOverlayLinesShown:
      Publish(*c_.bus, SettingsChanged{});
      break;
    case Setting::kMainWindowOnTop:
      if (main_window_)
        main_window_->SetLevel(c_.settings->MainWindowOnTop() ? WindowControl::kFloatingLevel
                                                              : WindowControl::kNormalLevel);
      break;
    case Setting::kCaptionSource:
      // Stored as one of the mode's words, whatever the page sent; the page learns the outcome.
      c_.settings->SetCaptionSource(WordOf(CaptionSourceModeFromWord(value)));
      if (c_.caption_sources)
        c_.page->RunJs(CaptionSourceCall());
      break;
    case Setting::kUserEngineJson:
      Publish(*c_.bus, UserLineChanged{});
      // A changed user profile that is the active one takes effect at once.
      c_.main_queue->Post([engines = c_.engines, value] {
        const auto profile = DecodeProfile(value);
        const auto active = engines->ActiveProfile();
        if (profile && active && profile->Id == active->Id)
          engines->ActivateEngine(profile->Id);
      });
      break;
    case Setting::kEngineOptions:
    case Setting::kContextSentences:
      // New options (an address, a model, the context) of the active engine take effect at once:
      // its page learns them when it is opened again.
      c_.main_queue->Post(
          [weak = weak_from_this(), context = *setting == Setting::kContextSentences] {
            auto self = weak.lock();
            const auto active = self ? self->c_.engines->ActiveProfile() : nullptr;
            if (!active || active->Options.empty() || (context && !active->TakesOption("context")))
              return;
            self->c_.engines->ActivateEngine(active->Id);
            self->EngineChanged();
          });
      break;
    case Setting::kTargetLanguage:
      // Lines left untranslated (say, in a language the engine did not offer) get another try.
      c_.main_queue->Post([requests = c_.requests] { requests->RetranslateUntranslated(); });
      break;
    case Setting::kSourceLanguage:
    case Setting::kOverlayPlaces:
    case Setting::kSelectedEngineId:
    case Setting::kTranscriptSideBySide:  // the page's own layout: stored, nothing else
      break;
  }
}

void MainPageBridge::RunSettingCommand(SettingCommand command, const std::string& value) {
  switch (command) {
    case SettingCommand::kOpenAddress:
      c_.browser->Open(RevealText(Sealed::FixedAddress));
      break;
    case SettingCommand::kSelectEngine:
      // The overlay's next start values name the new engine: the event follows the activation.
      c_.main_queue->Post([weak = weak_from_this(), value] {
        if (auto self = weak.lock()) {
          self->c_.engines->ActivateEngine(value);
          Publish(*self->c_.bus, SettingsChanged{});
          self->EngineChanged();
        }
      });
      break;
    case SettingCommand::kSaveKey:
      SaveKey(value);
      break;
    case SettingCommand::kForgetKey:
      ForgetKey(value);
      break;
    case SettingCommand::kCheckEngine:
      c_.engines->ProbeLanguages();
      break;
  }
}

void MainPageBridge::EngineChanged() {
  // The new engine's pages take the requests once they have loaded.
  c_.requests->RetranslateUntranslated();
  RefreshKey();
}

void MainPageBridge::RefreshKey() {
  const auto active = c_.engines->ActiveProfile();
  key_saved_.reset();
  if (!c_.keys || !active || !active->TakesOption("key")) {
    c_.page->RunJs(EngineStatusCall());
    return;
  }
  key_saved_ = false;
  c_.keys->Lookup(active->Id, [weak = weak_from_this(), id = active->Id](auto key) {
    auto self = weak.lock();
    const auto now_active = self ? self->c_.engines->ActiveProfile() : nullptr;
    if (!now_active || now_active->Id != id)
      return;
    self->key_saved_ = key.has_value();
    self->c_.page->RunJs(self->EngineStatusCall());
  });
}

void MainPageBridge::SaveKey(const std::string& request) {
  // {"Engine": id, "Key": key}. The key is never written anywhere but to the key store, and
  // never sent back to a page.
  const auto parsed = nlohmann::json::parse(request, nullptr, false);
  if (!c_.keys || !parsed.is_object() || !parsed.contains("Engine") || !parsed.contains("Key") ||
      !parsed["Engine"].is_string() || !parsed["Key"].is_string())
    return;
  const std::string id = parsed["Engine"].get<std::string>();
  std::string key = parsed["Key"].get<std::string>();
  // Pasted keys come with white space around them more often than not.
  const size_t first = key.find_first_not_of(" \t\r\n");
  const size_t last = key.find_last_not_of(" \t\r\n");
  key = first == std::string::npos ? std::string() : key.substr(first, last - first + 1);
  if (id.empty() || key.empty())
    return;
  c_.keys->Save(id, key, [weak = weak_from_this(), id] {
    auto self = weak.lock();
    const auto active = self ? self->c_.engines->ActiveProfile() : nullptr;
    if (!active || active->Id != id)
      return;
    self->key_saved_ = true;
    self->c_.page->RunJs(self->EngineStatusCall());
    // With its key the engine may answer now: ask it, and give the lines another try.
    self->c_.engines->ProbeLanguages();
    self->c_.requests->RetranslateUntranslated();
  });
}

void MainPageBridge::ForgetKey(const std::string& engine_id) {
  if (!c_.keys || engine_id.empty())
    return;
  c_.keys->Forget(engine_id, [weak = weak_from_this(), engine_id] {
    auto self = weak.lock();
    const auto active = self ? self->c_.engines->ActiveProfile() : nullptr;
    if (!active || active->Id != engine_id)
      return;
    self->key_saved_ = false;
    self->c_.page->RunJs(self->EngineStatusCall());
  });
}

void MainPageBridge::RunLineCommand(const std::string& word, const std::string& argument) {
  const auto command = FromWord<LineCommand>(word);
  if (!command)
    return;
  switch (*command) {
    case LineCommand::kDeleteLine:
      c_.lines->DeleteLines(argument);
      break;
    case LineCommand::kRetranslate:
      c_.main_queue->Post(
          [requests = c_.requests, argument] { requests->RetranslateLine(argument); });
      break;
    case LineCommand::kCopyLines:
      // Only the three modes: any other number, or no number, copies nothing.
      if (const auto mode = CopyModeFromPage(argument)) {
        c_.history->ExportText(*mode, [queue = c_.main_queue, clipboard = c_.clipboard](auto text) {
          if (text)
            queue->Post([clipboard, text = std::move(*text)] { clipboard->SetText(text); });
        });
      }
      break;
    case LineCommand::kTranscriptPage:
    case LineCommand::kTranscriptSessions:
    case LineCommand::kTranscriptSearch:
    case LineCommand::kSaveTranscript:
    case LineCommand::kDeleteSession:
      transcript_.Run(*command, argument);
      break;
  }
}

void MainPageBridge::PressWindowButton(const std::string& text) {
  const auto button = WindowButtonFromPage(text);
  if (button == WindowButton::kQuit)
    c_.quit();
  else if (main_window_ && button == WindowButton::kMinimize)
    main_window_->Minimize();
  else if (main_window_ && button == WindowButton::kZoom)
    main_window_->ToggleZoom();
}

void MainPageBridge::RunWindowCommand(const std::string& word) {
  if (main_window_)
    ApplyWindowCommand(*main_window_, word);
}

}  // namespace quensary
