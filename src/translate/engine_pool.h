#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/main_queue.h"
#include "platform/script_target.h"
#include "protocol/settings_store.h"
#include "translate/engine_page.h"
#include "translate/translator_profile.h"

namespace quensary {

// The translation engines of the running program: the profile list delivered by the main page,
// the active profile and its open engine pages, served in turn. The program creates one and
// keeps it for its whole life. Main thread only.
class EnginePool {
 public:
  // More pages than this are never opened for one profile, whatever its `Cot` says: each page is
  // a web view, and a mistyped count would otherwise exhaust the machine.
  static constexpr int64_t kMaxEnginePages = 32;

  EnginePool(std::shared_ptr<SettingsStore> settings,
             std::shared_ptr<EnginePageFactory> page_factory,
             std::shared_ptr<MainQueue> main_queue);
  EnginePool(const EnginePool&) = delete;
  EnginePool& operator=(const EnginePool&) = delete;

  // Takes the profile list from the first delivery that yields profiles; later ones are ignored.
  // An empty array leaves the list open. An unreadable text leaves it as it is and writes one
  // diagnostic line.
  void LoadProfiles(std::string_view text);

  // Chooses the listed profile with this id, else the user's own profile (whatever its id), else
  // the first listed one; stores the chosen profile's id as the selected engine and opens its
  // pages. The pages exist when it returns. With nothing to choose nothing changes.
  void ActivateEngine(std::string_view id);

  // Makes the profile active and replaces every engine page by `Cot` new ones (none when `Cot`
  // is 0 or negative); the old pages are told to stop. The next request goes to the first page.
  void RebuildEnginePages(TranslatorProfilePtr profile);

  // The engine page for the next request, in turn; null when there is none.
  std::shared_ptr<EnginePage> NextEnginePage();

  // Awaits the next engine page's `trans` and delivers its text, or the empty text when there
  // is no page or no text came back (the page seam ends a call that never settles).
  void Translate(std::string_view text, std::string_view source, std::string_view target,
                 ScriptTarget::TextCallback done);

  const TranslatorProfileList& ProfileList() const { return ProfileList_; }
  TranslatorProfilePtr ActiveProfile() const { return ActiveProfile_; }
  const std::vector<std::shared_ptr<EnginePage>>& EnginePageList() const { return EnginePageList_; }

 private:
  const std::shared_ptr<SettingsStore> settings_;
  const std::shared_ptr<EnginePageFactory> page_factory_;
  const std::shared_ptr<MainQueue> main_queue_;
  TranslatorProfileList ProfileList_;
  TranslatorProfilePtr ActiveProfile_;
  std::vector<std::shared_ptr<EnginePage>> EnginePageList_;
  size_t EnginePageCursor_ = 0;  // the page that serves the next request
};

}  // namespace quensary
