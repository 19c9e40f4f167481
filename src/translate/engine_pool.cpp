#include "translate/engine_pool.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <variant>

#include "platform/diagnostics.h"
#include "platform/script_result_deadline.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"
#include "translate/translate_script.h"

namespace quensary {

// Whether an engine page has loaded, and the requests that wait for it meanwhile.
struct EnginePool::PageState {
  enum class Load { kLoading, kLoaded, kFailed };
  Load load = Load::kLoading;
  // Each runs once, told whether the page has loaded.
  std::vector<std::function<void(bool loaded)>> waiting;

  void Settle(Load outcome) {
    load = outcome;
    auto held = std::move(waiting);
    waiting.clear();
    for (auto& request : held)
      request(outcome == Load::kLoaded);
  }
};

// The status and who is told of its changes, shared with the pages' callbacks, which may outlive
// a rebuild: what they report for an engine no longer active is dropped.
struct EnginePool::StatusBoard {
  EngineStatus status;
  TranslatorProfilePtr profile;
  std::function<void()> listener;

  void Changed() {
    if (listener)
      listener();
  }
  void NoteLanguages(const TranslatorProfilePtr& from, const std::string& answer) {
    if (from != profile || answer.empty())
      return;
    if (answer.front() == kFailureMark) {
      const TranslateAnswer read = ReadTranslateAnswer(answer);
      status.answering = false;
      status.reason =
          read.text.empty() ? from->Name + " did not say which languages it offers" : read.text;
    } else {
      // Kept as the page's JSON, once it has been read as an object: it goes into a page call.
      const auto parsed = nlohmann::json::parse(answer, nullptr, false);
      if (!parsed.is_object())
        return;
      status.languages_json = parsed.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
      status.answering = true;
      status.reason.clear();
    }
    Changed();
  }
};

EnginePool::EnginePool(std::shared_ptr<SettingsStore> settings,
                       std::shared_ptr<EnginePageFactory> page_factory,
                       std::shared_ptr<MainQueue> main_queue)
    : settings_(std::move(settings)),
      page_factory_(std::move(page_factory)),
      main_queue_(std::move(main_queue)),
      board_(std::make_shared<StatusBoard>()) {}

void EnginePool::LoadProfiles(std::string_view text) {
  if (!ProfileList_.empty())
    return;
  auto decoded = DecodeProfileList(text);
  if (auto* fault = std::get_if<std::string>(&decoded)) {
    WriteDiagnostic(RevealText(Sealed::UnreadableProfileListLabel) + ' ' + *fault);
    return;
  }
  ProfileList_ = std::move(std::get<TranslatorProfileList>(decoded));
}

void EnginePool::ActivateEngine(std::string_view id) {
  TranslatorProfilePtr chosen;
  const auto listed = std::find_if(ProfileList_.begin(), ProfileList_.end(),
                                   [id](const TranslatorProfilePtr& p) { return p->Id == id; });
  if (listed != ProfileList_.end())
    chosen = *listed;
  if (!chosen)
    chosen = DecodeProfile(settings_->UserEngineJson());
  if (!chosen && !ProfileList_.empty())
    chosen = ProfileList_.front();
  // Nothing listed and no readable user profile: keep whatever engine is open.
  if (!chosen)
    return;
  settings_->SetSelectedEngineId(chosen->Id);
  RebuildEnginePages(std::move(chosen));
}

void EnginePool::RebuildEnginePages(TranslatorProfilePtr profile) {
  if (!profile)
    return;
  ActiveProfile_ = std::move(profile);
  for (const auto& page : EnginePageList_)
    page->StopLoading();
  EnginePageList_.clear();
  // Requests that waited for a replaced page end now, not when their time is up.
  auto replaced = std::move(page_states_);
  page_states_.clear();
  for (const auto& state : replaced) {
    if (state->load == PageState::Load::kLoading)
      state->Settle(PageState::Load::kFailed);
  }
  board_->profile = ActiveProfile_;
  board_->status = EngineStatus{ActiveProfile_->Id, ActiveProfile_->Name, {}, {}, {}, {}};

  const int64_t count = std::clamp<int64_t>(ActiveProfile_->Cot, 0, kMaxEnginePages);
  for (int64_t i = 0; i < count; ++i) {
    // The load steps reach their page through a weak reference: the page holds the steps, and a
    // strong one would keep every replaced page alive for ever.
    auto slot = std::make_shared<std::weak_ptr<EnginePage>>();
    auto state = std::make_shared<PageState>();
    const bool first = i == 0;
    EnginePageFactory::PageSetup setup{
        EnginePageAddress(*ActiveProfile_, settings_->EngineOptions(),
                          settings_->EngineContextSentences()),
        ActiveProfile_->BeforeJs,
        // The profile is the one this page was made for, not whichever is active later.
        [queue = main_queue_, slot, state, first, board = board_, profile = ActiveProfile_] {
          queue->Post([slot, state, first, board, profile] {
            auto page = slot->lock();
            if (!page)
              return;
            page->RunJs(profile->Js);
            const bool first_load = state->load != PageState::Load::kLoaded;
            state->Settle(PageState::Load::kLoaded);
            // The first page tells which languages the engine offers, once it can.
            if (first && first_load) {
              page->RunJsAsync(LanguagesScript(), [board, profile](std::string answer) {
                board->NoteLanguages(profile, answer);
              });
            }
          });
        },
        [slot, state, first, board = board_, profile = ActiveProfile_] {
          if (state->load != PageState::Load::kLoading)
            return;
          state->Settle(PageState::Load::kFailed);
          if (first && board->profile == profile) {
            board->status.answering = false;
            board->status.reason = profile->Name + ": its page could not be loaded";
            board->Changed();
          }
        }};
    const std::shared_ptr<EnginePage> related =
        EnginePageList_.empty() ? nullptr : EnginePageList_.front();
    auto page = page_factory_->Create(std::move(setup), related);
    if (!page)
      continue;
    *slot = page;
    EnginePageList_.push_back(std::move(page));
    page_states_.push_back(std::move(state));
  }
  EnginePageCursor_ = 0;
  board_->Changed();
}

std::shared_ptr<EnginePage> EnginePool::NextEnginePage() {
  if (EnginePageList_.empty())
    return nullptr;
  auto page = EnginePageList_[EnginePageCursor_];
  EnginePageCursor_ = (EnginePageCursor_ + 1) % EnginePageList_.size();
  return page;
}

void EnginePool::RunWhenLoaded(size_t index, const std::string& script,
                               ScriptTarget::TextCallback done) {
  const auto& page = EnginePageList_[index];
  const auto& state = page_states_[index];
  switch (state->load) {
    case PageState::Load::kLoaded:
      page->RunJsAsync(script, std::move(done));
      return;
    case PageState::Load::kFailed:
      main_queue_->Post([done = std::move(done)] { done(std::string(1, kNotLoadedMark)); });
      return;
    case PageState::Load::kLoading:
      break;
  }
  // The wait for the load counts against the same limit as the call itself.
  auto deliver = WithResultDeadline(*main_queue_, kScriptResultTimeout, std::move(done));
  state->waiting.push_back([weak = std::weak_ptr<EnginePage>(page), script, deliver](bool loaded) {
    auto held = weak.lock();
    if (loaded && held)
      held->RunJsAsync(script, deliver);
    else
      deliver(std::string(1, kNotLoadedMark));
  });
}

void EnginePool::Translate(std::string_view text, std::string_view source, std::string_view target,
                           ScriptTarget::TextCallback done, LineFacts line) {
  if (EnginePageList_.empty()) {
    done({});
    return;
  }
  const size_t index = EnginePageCursor_;
  NextEnginePage();
  RunWhenLoaded(index, TranslateScript(text, source, target, line), std::move(done));
}

void EnginePool::ProbeLanguages() {
  if (EnginePageList_.empty())
    return;
  RunWhenLoaded(0, LanguagesScript(), [board = board_, profile = ActiveProfile_](std::string a) {
    board->NoteLanguages(profile, a);
  });
}

void EnginePool::NoteTranslation(const TranslatorProfilePtr& profile, bool ok, std::string reason,
                                 std::optional<int64_t> ms) {
  if (!profile || profile != board_->profile)
    return;
  EngineStatus& status = board_->status;
  const bool came_back = ok && status.answering == false;
  status.answering = ok;
  status.reason = ok ? std::string() : std::move(reason);
  if (ok)
    status.last_ms = ms;
  board_->Changed();
  // An engine that answers again may offer more now (a server started with other pairs).
  if (came_back)
    ProbeLanguages();
}

const EngineStatus& EnginePool::EngineState() const {
  return board_->status;
}

void EnginePool::SetStatusListener(std::function<void()> listener) {
  board_->listener = std::move(listener);
}

}  // namespace quensary
