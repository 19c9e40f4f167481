#include "pipeline/core_graph.h"

namespace quensary {

CoreGraph MakeCoreGraph(const CoreSeams& seams) {
  CoreGraph graph;
  graph.bus = std::make_shared<LnsCenter>();
  graph.settings = std::make_shared<SettingsStore>(seams.preferences);
  graph.history = seams.history_folder ? std::make_shared<SQLiteHelper>(*seams.history_folder)
                                       : std::make_shared<SQLiteHelper>();
  // The line list publishes on the bus and keeps finished lines in the history.
  graph.lines = std::make_shared<CaptionLines>(*graph.bus, graph.history, seams.clock);
  graph.engines =
      std::make_shared<EnginePool>(graph.settings, seams.engine_pages, seams.main_queue);
  graph.requests = std::make_shared<TranslationRequests>(graph.settings, graph.engines, seams.clock,
                                                         graph.lines, graph.history);
  return graph;
}

}  // namespace quensary
