#include "overlay/desktop/overlay_page_feed.h"

#include "overlay/overlay_page_protocol.h"
#include "protocol/page_calls.h"

namespace quensary {

OverlayPageFeed::OverlayPageFeed(std::shared_ptr<WebObj> page, std::shared_ptr<OverlayView> view,
                                 std::shared_ptr<SettingsStore> settings,
                                 std::shared_ptr<EnginePool> engines)
    : page_(std::move(page)),
      view_(std::move(view)),
      settings_(std::move(settings)),
      engines_(std::move(engines)) {}

void OverlayPageFeed::SendInit() {
  const auto active = engines_->ActiveProfile();
  page_->RunJs(
      InitCall(Page::kOverlay, OverlayPageInitJson(*settings_, active ? active->Name : "")));
  view_->Repaint();
  view_->SetShown(OverlayPageProtocol::Visible(*settings_));
  // The settings may show other texts now.
  SendLines();
}

void OverlayPageFeed::PageLoaded() {
  grip_shown_ = false;
  sent_lines_.clear();
  if (view_->Zoomed())
    ShowZoomed(true);
  SendInit();
}

void OverlayPageFeed::ShowLines(const std::string& lines_json) {
  lines_json_ = lines_json;
  SendLines();
}

void OverlayPageFeed::SendLines() {
  // A hidden overlay is sent its lines when it is shown again (SendInit).
  if (!OverlayPageProtocol::Visible(*settings_))
    return;
  std::string shown = OverlayPageProtocol::ShownLinesJson(lines_json_, *settings_);
  if (shown == sent_lines_)
    return;
  // A see-through panel shows every earlier frame through it, also while a new line fades in.
  // A solid one only where it drew before and does not now: where text went or the panel shrank.
  const bool solid = settings_->OverlayOpacity() >= 100;
  const bool adds = OverlayPageProtocol::OnlyAddsText(sent_lines_, shown);
  sent_lines_ = std::move(shown);
  page_->RunJs(JuziCall(Page::kOverlay, sent_lines_));
  if (!solid)
    view_->Repaint();
  else if (!adds)
    view_->RepaintOnce();
}

void OverlayPageFeed::ShowGrip(bool shown) {
  if (shown == grip_shown_)
    return;
  grip_shown_ = shown;
  MarkPage("pointer-inside", shown);
}

void OverlayPageFeed::ShowZoomed(bool zoomed) {
  MarkPage("zoomed", zoomed);
}

void OverlayPageFeed::MarkPage(const char* state_class, bool on) {
  page_->RunJs(std::string("document.documentElement.classList.toggle('") + state_class + "', " +
               (on ? "true" : "false") + ")");
  view_->Repaint();
}

}  // namespace quensary
