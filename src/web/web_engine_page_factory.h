#pragma once

#include <memory>

#include "translate/engine_page.h"
#include "web/web_obj.h"

namespace quensary {

// An engine page over a real, hidden web page: never put in a window.
class WebEnginePage final : public EnginePage {
 public:
  explicit WebEnginePage(std::shared_ptr<WebObj> page) : page_(std::move(page)) {}

  void RunJs(const std::string& script) override { page_->RunJs(script); }
  void RunJsAsync(const std::string& script, TextCallback done) override {
    page_->RunJsAsync(script, std::move(done));
  }
  void StopLoading() override;

  const std::shared_ptr<WebObj>& Page() const { return page_; }

 private:
  std::shared_ptr<WebObj> page_;
};

// Makes the engine pages of the request path: one WebObj each (no application name, the
// engine's BeforeJs as PageJs, no handlers, the load step as OnLoaded), built by the page
// factory. The pages of one engine share the web process of the first page of their batch,
// which saves most of a web process's memory per extra page. Main thread only.
class WebEnginePageFactory final : public EnginePageFactory {
 public:
  explicit WebEnginePageFactory(std::shared_ptr<MainQueue> main_queue)
      : main_queue_(std::move(main_queue)) {}

  // A page of the program's own. An engine served from the program's own scheme is the
  // program's code too: its pages then share that page's web process instead of starting one
  // more. Engines from anywhere else keep a process apart.
  void ShareProcessWith(std::weak_ptr<const WebObj> program_page) {
    program_page_ = std::move(program_page);
  }

  std::shared_ptr<EnginePage> Create(PageSetup setup,
                                     const std::shared_ptr<EnginePage>& related) override;

 private:
  const std::shared_ptr<MainQueue> main_queue_;
  std::weak_ptr<const WebObj> program_page_;
};

}  // namespace quensary
