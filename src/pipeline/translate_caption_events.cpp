#include "pipeline/translate_caption_events.h"

#include <string>
#include <utility>

namespace quensary {

void TranslateCaptionEvents(CaptionWorker& worker, std::shared_ptr<TranslationEngines> engines) {
  // Each posted task copies the hook, so the engines outlive every task still on the queue.
  worker.SetTranslationRequest(
      [engines = std::move(engines)](std::string id, std::string text, bool finish, bool force) {
        engines->RequestTranslation(std::move(id), std::move(text), finish, force);
      });
}

}  // namespace quensary
