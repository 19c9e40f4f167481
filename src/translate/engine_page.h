#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/script_target.h"

namespace quensary {

// One hidden page of a translation engine. Main thread only.
class EnginePage : public ScriptTarget {
 public:
  // Stops any load in progress; called when the page is replaced by a rebuild.
  virtual void StopLoading() = 0;
};

// Creates engine pages. The desktop implementation makes hidden WebKitGTK pages; unit tests use
// fakes. Main thread only.
class EnginePageFactory {
 public:
  struct PageSetup {
    std::string url;        // the page to load
    std::string before_js;  // injected at document start in the main frame
    // Run on the main thread after every navigation that finishes, or fails after it was
    // committed; never for a failure before commit.
    std::function<void()> on_loaded;
    // Run on the main thread when a navigation fails before it was committed (also a first load
    // that was given up): the page then has no document of the engine.
    std::function<void()> on_load_failed;
  };

  virtual ~EnginePageFactory() = default;

  // Creates a page and starts loading it at once. `related` is another page of the same engine
  // (the first of its batch), whose resources the new page may share; null for the first one.
  virtual std::shared_ptr<EnginePage> Create(PageSetup setup,
                                             const std::shared_ptr<EnginePage>& related) = 0;
};

}  // namespace quensary
