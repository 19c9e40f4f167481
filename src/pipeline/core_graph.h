#pragma once

#include <memory>
#include <optional>
#include <string>

#include "bus/lns_center.h"
#include "history/sqlite_helper.h"
#include "pipeline/caption_lines.h"
#include "pipeline/translation_requests.h"
#include "platform/clock.h"
#include "platform/main_queue.h"
#include "platform/preferences_store.h"
#include "protocol/settings_store.h"
#include "translate/engine_page.h"
#include "translate/engine_pool.h"

namespace quensary {

// What the core is built on: the seams, real in the program and fakes in tests.
struct CoreSeams {
  std::shared_ptr<MainQueue> main_queue;
  std::shared_ptr<const Clock> clock;
  std::shared_ptr<PreferencesStore> preferences;
  std::shared_ptr<EnginePageFactory> engine_pages;
  // Where the history file lives; absent for the user's data folder.
  std::optional<std::string> history_folder;
};

// The core's objects, wired to each other. Every holder shares them; none is ever replaced.
struct CoreGraph {
  std::shared_ptr<LnsCenter> bus;
  std::shared_ptr<SettingsStore> settings;
  std::shared_ptr<SQLiteHelper> history;
  std::shared_ptr<CaptionLines> lines;
  std::shared_ptr<EnginePool> engines;
  std::shared_ptr<TranslationRequests> requests;
};

// Builds the core over its seams, in the order each part needs the others. The program and the
// tests build it with this one function.
CoreGraph MakeCoreGraph(const CoreSeams& seams);

}  // namespace quensary
