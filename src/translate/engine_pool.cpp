#include "translate/engine_pool.h"

#include <algorithm>
#include <variant>

#include "platform/diagnostics.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"
#include "translate/translate_script.h"

namespace quensary {

EnginePool::EnginePool(std::shared_ptr<SettingsStore> settings,
                       std::shared_ptr<EnginePageFactory> page_factory,
                       std::shared_ptr<MainQueue> main_queue)
    : settings_(std::move(settings)),
      page_factory_(std::move(page_factory)),
      main_queue_(std::move(main_queue)) {}

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

  const int64_t count = std::clamp<int64_t>(ActiveProfile_->Cot, 0, kMaxEnginePages);
  for (int64_t i = 0; i < count; ++i) {
    // The load step reaches its page through a weak reference: the page holds the step, and a
    // strong one would keep every replaced page alive for ever.
    auto slot = std::make_shared<std::weak_ptr<EnginePage>>();
    EnginePageFactory::PageSetup setup{
        ActiveProfile_->Url, ActiveProfile_->BeforeJs,
        // The profile is the one this page was made for, not whichever is active later.
        [queue = main_queue_, slot, profile = ActiveProfile_] {
          queue->Post([slot, profile] {
            if (auto page = slot->lock())
              page->RunJs(profile->Js);
          });
        }};
    const std::shared_ptr<EnginePage> related =
        EnginePageList_.empty() ? nullptr : EnginePageList_.front();
    auto page = page_factory_->Create(std::move(setup), related);
    if (!page)
      continue;
    *slot = page;
    EnginePageList_.push_back(std::move(page));
  }
  EnginePageCursor_ = 0;
}

std::shared_ptr<EnginePage> EnginePool::NextEnginePage() {
  if (EnginePageList_.empty())
    return nullptr;
  auto page = EnginePageList_[EnginePageCursor_];
  EnginePageCursor_ = (EnginePageCursor_ + 1) % EnginePageList_.size();
  return page;
}

void EnginePool::Translate(std::string_view text, std::string_view source, std::string_view target,
                           ScriptTarget::TextCallback done) {
  const auto page = NextEnginePage();
  if (!page) {
    done({});
    return;
  }
  page->RunJsAsync(TranslateScript(text, source, target), std::move(done));
}

}  // namespace quensary
