#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "fakes/memory_preferences.h"
#include "fakes/temp_dir.h"
#include "platform/glib/glib_main_queue.h"
#include "support/main_loop_wait.h"
#include "translate/engine_pool.h"
#include "web/web_engine_page_factory.h"

namespace quensary::testing {

// An engine pool over real hidden pages on the default main loop, with settings in memory unless
// the test brings its own.
inline std::shared_ptr<EnginePool> WebEnginePool(
    std::shared_ptr<SettingsStore> settings =
        std::make_shared<SettingsStore>(std::make_shared<MemoryPreferences>())) {
  const auto queue = std::make_shared<GlibMainQueue>();
  return std::make_shared<EnginePool>(std::move(settings),
                                      std::make_shared<WebEnginePageFactory>(queue), queue);
}

// A profile as the program ships it.
inline TranslatorProfile ShippedProfile(const std::string& name) {
  return *DecodeProfile(ReadFile(QUENSARY_SOURCE_DIR "/pages/engines/" + name + ".json"));
}

// Starts a translation from English; the result is filled in when the pool delivers it.
inline std::shared_ptr<std::optional<std::string>> StartTranslation(EnginePool& engines,
                                                                    const std::string& text,
                                                                    const std::string& target,
                                                                    LineFacts line = {}) {
  auto result = std::make_shared<std::optional<std::string>>();
  engines.Translate(
      text, "en", target, [result](std::string t) { *result = std::move(t); }, line);
  return result;
}

// A translation waited for (bounded); absent when none came.
inline std::optional<std::string> TranslateNow(EnginePool& engines, const std::string& text,
                                               const std::string& target = "es",
                                               LineFacts line = {}) {
  const auto result = StartTranslation(engines, text, target, line);
  RunLoopUntil([&] { return result->has_value(); }, std::chrono::seconds(20));
  return *result;
}

}  // namespace quensary::testing
