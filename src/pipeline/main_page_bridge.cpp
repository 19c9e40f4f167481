#include "pipeline/main_page_bridge.h"

#include <nlohmann/json.hpp>

#include "capture/language_source.h"
#include "platform/diagnostics.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"
#include "support/window_command.h"

namespace quensary {
namespace {

using Setting = SettingsStore::Setting;

}  // namespace

MainPageBridge::MainPageBridge(Collaborators collaborators) : c_(std::move(collaborators)) {}

std::map<std::string, MainPageBridge::Handler, std::less<>> MainPageBridge::Handlers() {
  // Each handler holds the bridge weakly: the page must not keep it alive.
  const auto bind = [weak = weak_from_this()](auto method) -> Handler {
    return [weak, method](const std::string& first, const std::string& second) {
      if (auto self = weak.lock())
        method(*self, first, second);
    };
  };
  std::map<std::string, Handler, std::less<>> handlers;
  handlers[RevealText(Sealed::HandlerPageReady)] =
      bind([](MainPageBridge& self, const std::string& first, const std::string&) {
        self.PageReady(first);
      });
  handlers[RevealText(Sealed::HandlerStartCapture)] =
      bind([](MainPageBridge& self, const std::string&, const std::string&) {
        self.c_.worker->Start();
      });
  handlers[RevealText(Sealed::HandlerSetSetting)] =
      bind([](MainPageBridge& self, const std::string& first, const std::string& second) {
        self.SetSetting(first, second);
      });
  handlers[RevealText(Sealed::HandlerLineCommand)] =
      bind([](MainPageBridge& self, const std::string& first, const std::string& second) {
        self.LineCommand(first, second);
      });
  handlers[RevealText(Sealed::HandlerOpenLink)] =
      bind([](MainPageBridge& self, const std::string& first, const std::string& second) {
        if (first == RevealText(Sealed::WordOpenUrl))
          self.c_.browser->Open(second);
      });
  handlers[RevealText(Sealed::HandlerWindowButton)] =
      bind([](MainPageBridge& self, const std::string& first, const std::string&) {
        self.WindowButton(first);
      });
  handlers[RevealText(Sealed::HandlerWindowCommand)] =
      bind([](MainPageBridge& self, const std::string& first, const std::string&) {
        self.WindowCommand(first);
      });
  return handlers;
}

void MainPageBridge::Subscribe() {
  // The bus delivers on its own thread: each event only becomes a task of the main thread.
  const auto on_main = [weak = weak_from_this(), queue = c_.main_queue](auto call) {
    return [weak, queue, call](const LnsMessage& message) {
      queue->Post([weak, call, text = message.str1] {
        if (auto self = weak.lock())
          self->c_.page->RunJs(call(*self, text));
      });
    };
  };
  c_.bus->Subscribe(
      RevealText(Sealed::EventLinesChanged), false,
      on_main([](MainPageBridge&, const std::string& text) { return JuziCall(text); }));
  c_.bus->Subscribe(RevealText(Sealed::EventUserLineChanged), false,
                    on_main([](MainPageBridge& self, const std::string&) {
                      return self.UpdateUserAddLineCall();
                    }));
  if (c_.caption_sources) {
    c_.caption_sources->SetOnChoiceChanged(
        [weak = weak_from_this(), queue = c_.main_queue](CaptionSourceChoice) {
          queue->Post([weak] {
            if (auto self = weak.lock())
              self->c_.page->RunJs(self->CaptionSourceCall());
          });
        });
  }
}

std::string MainPageBridge::CaptionSourceCall() const {
  const CaptionSourceChoice choice = c_.caption_sources->Choice();
  const nlohmann::json status = {
      {"Mode", CaptionSourceModeWord(c_.caption_sources->Mode())},
      {"Active", CaptionSourceKindWord(choice.kind)},
      {"Reason", CaptionSourceReasonWord(choice.reason)},
  };
  return RevealText(Sealed::CaptionSourceCall) + status.dump() + ")";
}

std::string MainPageBridge::JuziCall(const std::string& lines_json) {
  return "    Juzi(" + lines_json + ")";
}

std::string MainPageBridge::UpdateUserAddLineCall() const {
  const std::string stored = c_.settings->UserAddLine();
  // The page receives the stored profile as a value: verbatim when it is JSON (every valid
  // profile is), otherwise as a string, so that a stored text can never run as script.
  if (stored.empty() || nlohmann::json::accept(stored))
    return "    UpdateUserAddLine(" + stored + ")";
  return "    UpdateUserAddLine(" +
         nlohmann::json(stored).dump(-1, ' ', true, nlohmann::json::error_handler_t::replace) + ")";
}

std::string MainPageBridge::InitJson() const {
  const SettingsStore& s = *c_.settings;
  const nlohmann::json init = {
      {SettingsStore::StorageKey(Setting::kOverlayShowA), s.OverlayShowA()},
      {SettingsStore::StorageKey(Setting::kOverlayShowB), s.OverlayShowB()},
      {SettingsStore::StorageKey(Setting::kTargetLanguage), s.TargetLanguage()},
      {SettingsStore::StorageKey(Setting::kOverlayNumberB), s.OverlayNumberB()},
      {SettingsStore::StorageKey(Setting::kOverlayNumberA), s.OverlayNumberA()},
      {SettingsStore::StorageKey(Setting::kOverlayString), s.OverlayString()},
      {RevealText(Sealed::WordSelectEngine), s.SelectedLineId()},
      {SettingsStore::StorageKey(Setting::kMainWindowOnTop), s.MainWindowOnTop()},
      {RevealText(Sealed::InitAppVersion), c_.version.value_or("")},
  };
  // Only ASCII in the script text; damaged bytes become U+FFFD instead of failing.
  return init.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

void MainPageBridge::PageReady(const std::string& profiles) {
  // Nothing goes on before window setup has run; the main thread never waits for it.
  if (c_.startup_complete && !c_.startup_complete->load()) {
    c_.main_queue->PostAfter(kStartupPoll, [weak = weak_from_this(), profiles] {
      if (auto self = weak.lock())
        self->PageReady(profiles);
    });
    return;
  }
  c_.engines->LoadProfiles(profiles);
  PostEvent(Sealed::EventUserLineChanged);
  c_.main_queue->PostAfter(kInitDelay, [weak = weak_from_this()] {
    if (auto self = weak.lock())
      self->SendInit();
  });
}

void MainPageBridge::SendInit() {
  if (!c_.version)
    return;
  const std::string json = InitJson();
  WriteDiagnostic(json);
  c_.page->RunJs("    Init(" + json + ")");
  if (c_.caption_sources)
    c_.page->RunJs(CaptionSourceCall());
  c_.lines->RestoreLatestLines();
}

void MainPageBridge::PostEvent(const char* sealed_name) {
  c_.bus->Post(RevealText(sealed_name), EmptyLnsMessage());
}

void MainPageBridge::SetSetting(const std::string& key, const std::string& value) {
  const auto is = [&key](Setting setting) { return key == SettingsStore::StorageKey(setting); };
  if (key == RevealText(Sealed::WordOpenAddress)) {
    c_.browser->Open(RevealText(Sealed::FixedAddress));
  } else if (is(Setting::kCaptionWindowShown)) {
    c_.settings->SetFromPage(key, value);
    // Moving the provider's window waits for another application: not on the main thread.
    c_.in_background([accessibility = c_.accessibility, shown = c_.settings->CaptionWindowShown()] {
      LanguageSource::SetCaptionWindowShown(*accessibility, shown);
    });
  } else if (is(Setting::kOverlayShowA) || is(Setting::kOverlayShowB) ||
             is(Setting::kOverlayNumberB) || is(Setting::kOverlayNumberA) ||
             is(Setting::kOverlayString)) {
    c_.settings->SetFromPage(key, value);
    PostEvent(Sealed::EventSettingsChanged);
  } else if (is(Setting::kTargetLanguage)) {
    c_.settings->SetFromPage(key, value);
  } else if (key == RevealText(Sealed::WordSelectEngine)) {
    // The overlay's next start values name the new engine: the event follows the activation.
    c_.main_queue->Post([weak = weak_from_this(), value] {
      if (auto self = weak.lock()) {
        self->c_.engines->ActivateEngine(value);
        self->PostEvent(Sealed::EventSettingsChanged);
      }
    });
  } else if (is(Setting::kMainWindowOnTop)) {
    c_.settings->SetFromPage(key, value);
    if (main_window_)
      main_window_->SetLevel(c_.settings->MainWindowOnTop() ? WindowControl::kFloatingLevel
                                                            : WindowControl::kNormalLevel);
  } else if (is(Setting::kCaptionSource)) {
    // Stored as one of the mode's words, whatever the page sent; the page learns the outcome.
    c_.settings->SetCaptionSource(CaptionSourceModeWord(CaptionSourceModeFromWord(value)));
    if (c_.caption_sources)
      c_.page->RunJs(CaptionSourceCall());
  } else if (is(Setting::kUserAddLine)) {
    c_.settings->SetFromPage(key, value);
    PostEvent(Sealed::EventUserLineChanged);
    // A changed user profile that is the active one takes effect at once.
    c_.main_queue->Post([engines = c_.engines, value] {
      const auto profile = DecodeProfile(value);
      const auto active = engines->ActiveProfile();
      if (profile && active && profile->Id == active->Id)
        engines->ActivateEngine(profile->Id);
    });
  }
}

void MainPageBridge::LineCommand(const std::string& word, const std::string& argument) {
  if (word == RevealText(Sealed::WordDeleteLine)) {
    c_.lines->DeleteLines(argument);
  } else if (word == RevealText(Sealed::WordRetranslate)) {
    c_.main_queue->Post(
        [requests = c_.requests, argument] { requests->RetranslateLine(argument); });
  } else if (word == RevealText(Sealed::WordCopyLines)) {
    // Only the three modes: any other number, or no number, copies nothing.
    const auto mode = SQLiteHelper::CopyModeFromNumber(SettingsStore::PageInteger(argument));
    if (!mode)
      return;
    c_.history->ExportText(*mode, [queue = c_.main_queue, clipboard = c_.clipboard](auto text) {
      if (text)
        queue->Post([clipboard, text = std::move(*text)] { clipboard->SetText(text); });
    });
  }
}

void MainPageBridge::WindowButton(const std::string& button) {
  if (button == "3") {
    c_.quit();
  } else if (main_window_ && button == "1") {
    main_window_->Minimize();
  } else if (main_window_ && button == "2") {
    main_window_->ToggleZoom();
  }
}

void MainPageBridge::WindowCommand(const std::string& word) {
  if (main_window_)
    ApplyWindowCommand(*main_window_, word);
}

}  // namespace quensary
