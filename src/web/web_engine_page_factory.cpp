#include "web/web_engine_page_factory.h"

#include "web/page_scheme.h"
#include "web/web_obj_delegate.h"

namespace quensary {

void WebEnginePage::StopLoading() {
  GtkWidget* widget = page_->Widget();
  if (!widget)
    return;
  webkit_web_view_stop_loading(WEBKIT_WEB_VIEW(widget));
  // Engine pages are never shown; should one ever have been put somewhere, it leaves now.
  if (GtkWidget* parent = gtk_widget_get_parent(widget); parent && GTK_IS_CONTAINER(parent))
    gtk_container_remove(GTK_CONTAINER(parent), widget);
}

std::shared_ptr<EnginePage> WebEnginePageFactory::Create(
    PageSetup setup, const std::shared_ptr<EnginePage>& related) {
  auto page = std::make_shared<WebObj>(main_queue_);
  page->PageUrl = std::move(setup.url);
  page->PageJs = std::move(setup.before_js);
  if (setup.on_loaded)
    page->OnLoaded = std::move(setup.on_loaded);
  page->OnLoadFailed = std::move(setup.on_load_failed);

  WebObjDelegate::Options options;
  if (auto* sibling = dynamic_cast<WebEnginePage*>(related.get()))
    options.related = sibling->Page().get();
  const auto program_page = program_page_.lock();
  if (!options.related && program_page && IsProgramPageAddress(page->PageUrl.c_str()))
    options.related = program_page.get();
  WebObjDelegate::Create(page, options);
  return std::make_shared<WebEnginePage>(std::move(page));
}

}  // namespace quensary
