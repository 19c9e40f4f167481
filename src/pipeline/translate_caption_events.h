#pragma once

#include <memory>

#include "pipeline/caption_worker.h"
#include "translate/translation_engines.h"

namespace quensary {

// Makes every caption event of the worker a translation request: the main-queue task that
// `ApplyCaption` posts runs `RequestTranslation` with the touched line's Id and the event's text,
// forced when the line is finished. The worker and the engines must share one line list, so
// that the result finds its line. Called once by the program while it assembles itself.
void TranslateCaptionEvents(CaptionWorker& worker, std::shared_ptr<TranslationEngines> engines);

}  // namespace quensary
