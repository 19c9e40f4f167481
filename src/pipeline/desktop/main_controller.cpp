#include "pipeline/desktop/main_controller.h"

#include "capture/language_source.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"
#include "web/web_obj_delegate.h"

namespace quensary {

MainController::MainController(MainPageBridge::Collaborators collaborators,
                               std::shared_ptr<const Clock> clock, const WebObj* share_process_with,
                               std::shared_ptr<CaptionStream> stream) {
  SentenceTracker::CaptionTextSource source;
  if (stream) {
    collaborators.caption_sources = std::make_shared<CaptionSourceSwitch>(
        LanguageSource::CaptionWindowSource(collaborators.accessibility, clock), std::move(stream),
        collaborators.settings, clock);
    source = [sources = collaborators.caption_sources] { return sources->ReadText(); };
  } else {
    source = LanguageSource::CaptionTextSource(collaborators.accessibility, clock);
  }
  // The worker exists from the start; the page's start command starts it.
  GetNewTextThread_ = std::make_shared<CaptionWorker>(
      std::make_unique<SentenceTracker>(std::move(source), std::move(clock)), collaborators.lines,
      collaborators.main_queue);
  if (collaborators.caption_sources) {
    collaborators.caption_sources->WakeOnStreamText(GetNewTextThread_);
    collaborators.caption_sources->WakeOnProviderChanges(*collaborators.accessibility,
                                                         GetNewTextThread_);
  } else {
    collaborators.accessibility->SetOnChange(
        [worker = std::weak_ptr<CaptionWorker>(GetNewTextThread_)] {
          if (auto alive = worker.lock())
            alive->Wake();
        });
  }
  GetNewTextThread_->SetTranslationRequest(
      [requests = collaborators.requests](std::string id, std::string text, bool finish,
                                          bool force) {
        requests->RequestTranslation(std::move(id), std::move(text), finish, force);
      });

  main_page_ = std::make_shared<WebObj>(collaborators.main_queue);
  main_page_->PageUrl = RevealText(Sealed::MainPageAddress);
  main_page_->ProgramPagesOnly = true;
  collaborators.page = main_page_;
  collaborators.worker = GetNewTextThread_;
  bridge_ = std::make_shared<MainPageBridge>(std::move(collaborators));
  bridge_->Subscribe();
  main_page_->Handlers = bridge_->Handlers();
  WebObjDelegate::Options options;
  options.related = share_process_with;
  WebObjDelegate::Create(main_page_, options);
}

}  // namespace quensary
