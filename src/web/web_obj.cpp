#include "web/web_obj.h"

#include <memory>

#include "platform/glib/glib_ptr.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

// What one RunJsAsync call needs when WebKit answers: the delivery, which is reference-counted
// and runs at most once (the deadline or a navigation may have delivered first), and its entry
// among the page's waiting calls, held weakly since the page may be gone by then.
struct ScriptCall {
  ScriptTarget::TextCallback deliver;
  std::weak_ptr<WebObj::PendingScripts> pending;
  uint64_t number;
};

void FinishScriptCall(GObject* source, GAsyncResult* result, gpointer data) {
  const std::unique_ptr<ScriptCall> call(static_cast<ScriptCall*>(data));
  GError* raw_error = nullptr;
  const auto value =
      GObjectRef<JSCValue>::Adopt(webkit_web_view_call_async_javascript_function_finish(
          WEBKIT_WEB_VIEW(source), result, &raw_error));
  const GErrorPtr error(raw_error);
  std::string text;
  if (!error && value && jsc_value_is_string(value.get())) {
    const GCharPtr utf8(jsc_value_to_string(value.get()));
    text = utf8 ? utf8.get() : "";
  }
  if (auto pending = call->pending.lock())
    pending->calls.erase(call->number);
  call->deliver(std::move(text));
}

}  // namespace

WebObj::~WebObj() {
  EndPendingScripts();
  if (!WebView)
    return;
  // Destroying (not just releasing) the view closes its page: a call whose promise never
  // settles would otherwise keep the view, and its web process, alive for ever.
  webkit_web_view_stop_loading(WEBKIT_WEB_VIEW(WebView.get()));
  gtk_widget_destroy(GTK_WIDGET(WebView.get()));
}

void WebObj::EndPendingScripts() {
  // Taken out first: a delivery may start new calls.
  auto calls = std::move(pending_->calls);
  pending_->calls.clear();
  for (auto& [number, deliver] : calls)
    deliver({});
}

GtkWidget* WebObj::Widget() const {
  return WebView ? GTK_WIDGET(WebView.get()) : nullptr;
}

void WebObj::RunJs(const std::string& script) {
  if (!WebView)
    return;
  webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(WebView.get()), script.c_str(),
                                      static_cast<gssize>(script.size()), nullptr, nullptr, nullptr,
                                      nullptr, nullptr);
}

void WebObj::RunJsAsync(const std::string& script, TextCallback done) {
  auto deliver = WithResultDeadline(*main_queue_, ResultTimeout, std::move(done));
  if (!WebView) {
    main_queue_->Post([deliver] { deliver({}); });
    return;
  }
  const std::string body = RevealText(Sealed::RunJsPrefix) + script;
  const uint64_t number = pending_->next++;
  pending_->calls.emplace(number, deliver);
  auto call = std::make_unique<ScriptCall>(ScriptCall{std::move(deliver), pending_, number});
  // No arguments, the main frame, the page's own world. WebKit holds the view until it answers.
  webkit_web_view_call_async_javascript_function(
      WEBKIT_WEB_VIEW(WebView.get()), body.c_str(), static_cast<gssize>(body.size()), nullptr,
      nullptr, nullptr, nullptr, FinishScriptCall, call.release());
}

}  // namespace quensary
