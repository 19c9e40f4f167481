#include "web/web_obj_delegate.h"

#include <array>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/glib/gio_address_opener.h"
#include "platform/glib/glib_ptr.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"
#include "web/page_scheme.h"
#include "web/web_context.h"

namespace quensary {
namespace {

constexpr int kViewWidth = 1920;
constexpr int kViewHeight = 1080;

// Hidden views (engine pages are never put in a window) would have their timers throttled to a
// few per second, which stalls engines that poll or debounce.
constexpr char kHiddenPageThrottling[] = "HiddenPageDOMTimerThrottling";

constexpr char kContextMenuScript[] =
    "document.addEventListener('contextmenu', function(e) {\n    e.preventDefault();\n});";

using DelegatePtr = std::shared_ptr<WebObjDelegate>;

void DropDelegate(gpointer data, GClosure*) {
  std::unique_ptr<DelegatePtr>(static_cast<DelegatePtr*>(data));
}

gpointer KeepDelegate(const DelegatePtr& delegate) {
  return std::make_unique<DelegatePtr>(delegate).release();
}

WebObjDelegate& DelegateOf(gpointer data) {
  return **static_cast<DelegatePtr*>(data);
}

void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
  using Event = NavigationOutcome::Event;
  if (event == WEBKIT_LOAD_STARTED)
    DelegateOf(data).LoadEvent(Event::kStarted);
  else if (event == WEBKIT_LOAD_COMMITTED)
    DelegateOf(data).LoadEvent(Event::kCommitted);
  else if (event == WEBKIT_LOAD_FINISHED)
    DelegateOf(data).LoadEvent(Event::kFinished);
}

gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent event, gchar*, GError*, gpointer data) {
  DelegateOf(data).LoadEvent(event == WEBKIT_LOAD_STARTED
                                 ? NavigationOutcome::Event::kFailedBeforeCommit
                                 : NavigationOutcome::Event::kFailedAfterCommit);
  // Handled: WebKit's own error page would be a navigation of its own.
  return TRUE;
}

void OnWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                            gpointer data) {
  // Only a termination the program asked for itself is left alone.
  if (reason != WEBKIT_WEB_PROCESS_TERMINATED_BY_API)
    DelegateOf(data).WebProcessDied();
}

gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type, gpointer data) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE)
    return FALSE;
  auto* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const char* address = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  if (!DelegateOf(data).KeepsToProgramPages() || IsProgramPageAddress(address))
    return FALSE;
  webkit_policy_decision_ignore(decision);
  // A link the user followed goes to the browser; anything else the page tried just fails.
  if (address && webkit_navigation_action_is_user_gesture(action))
    GioAddressOpener().Open(address);
  return TRUE;
}

void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
  DelegateOf(data).ScriptMessageReceived(webkit_javascript_result_get_js_value(result));
}

std::string TextOf(JSCValue* value) {
  const GCharPtr utf8(jsc_value_to_string(value));
  return utf8 ? utf8.get() : "";
}

// The handler name and its two texts, when the body is an array whose first three elements are
// texts; missing elements are empty texts. Elements after the third are never looked at: a page
// may post an array of any length, and checking each one would hold up the main thread.
std::optional<std::array<std::string, 3>> MessageParts(JSCValue* body) {
  if (!body || !jsc_value_is_array(body))
    return std::nullopt;
  auto length_value = GObjectRef<JSCValue>::Adopt(jsc_value_object_get_property(body, "length"));
  const double length = length_value ? jsc_value_to_double(length_value.get()) : 0;
  std::array<std::string, 3> parts;
  for (guint i = 0; i < parts.size() && i < length; ++i) {
    auto element = GObjectRef<JSCValue>::Adopt(jsc_value_object_get_property_at_index(body, i));
    if (!element || !jsc_value_is_string(element.get()))
      return std::nullopt;
    parts[i] = TextOf(element.get());
  }
  return parts;
}

bool IsAbsoluteAddress(const std::string& address) {
  return !address.empty() && g_uri_is_valid(address.c_str(), G_URI_FLAGS_NONE, nullptr);
}

GObjectRef<WebKitSettings> PageSettings(const WebObj& page) {
  auto settings = GObjectRef<WebKitSettings>::Adopt(webkit_settings_new());
  if (!page.AppName.empty()) {
    webkit_settings_set_user_agent_with_application_details(settings.get(), page.AppName.c_str(),
                                                            nullptr);
  }
  // The web inspector and console output only when whoever started the program asks for them.
  if (std::getenv(RevealText(Sealed::WebDebugVariable).c_str())) {
    g_object_set(settings.get(), RevealText(Sealed::WebInspectorSetting).c_str(), TRUE, nullptr);
    g_object_set(settings.get(), RevealText(Sealed::WebConsoleSetting).c_str(), TRUE, nullptr);
  }
  WebKitFeatureList* features = webkit_settings_get_all_features();
  for (gsize i = 0; i < webkit_feature_list_get_length(features); ++i) {
    WebKitFeature* feature = webkit_feature_list_get(features, i);
    if (g_strcmp0(webkit_feature_get_identifier(feature), kHiddenPageThrottling) == 0)
      webkit_settings_set_feature_enabled(settings.get(), feature, FALSE);
  }
  webkit_feature_list_unref(features);
  return settings;
}

GObjectRef<WebKitUserContentManager> PageScripts(const WebObj& page) {
  auto scripts = GObjectRef<WebKitUserContentManager>::Adopt(webkit_user_content_manager_new());
  const auto add = [&](const std::string& source, WebKitUserContentInjectedFrames frames,
                       WebKitUserScriptInjectionTime time) {
    WebKitUserScript* script =
        webkit_user_script_new(source.c_str(), frames, time, nullptr, nullptr);
    webkit_user_content_manager_add_script(scripts.get(), script);
    webkit_user_script_unref(script);
  };
  add(RevealText(Sealed::BridgeScript), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
      WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START);
  add(page.PageJs, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
      WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START);
  add(kContextMenuScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
      WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END);
  return scripts;
}

}  // namespace

WebObjDelegate::WebObjDelegate(Key, const std::shared_ptr<WebObj>& page) : WebObj_(page) {}

std::shared_ptr<WebObjDelegate> WebObjDelegate::Create(const std::shared_ptr<WebObj>& page) {
  return Create(page, Options{});
}

std::shared_ptr<WebObjDelegate> WebObjDelegate::Create(const std::shared_ptr<WebObj>& page,
                                                       Options options) {
  auto delegate = std::make_shared<WebObjDelegate>(Key{}, page);
  auto settings = PageSettings(*page);
  auto scripts = PageScripts(*page);

  GtkWidget* related = options.related ? options.related->Widget() : nullptr;
  // A related view takes its web context (and web process) from the view it is related to;
  // WebKit refuses both properties at once.
  auto* made = G_OBJECT(related ? g_object_new(drag_web_view_get_type(), "related-view", related,
                                               "user-content-manager", scripts.get(), "settings",
                                               settings.get(), nullptr)
                                : g_object_new(drag_web_view_get_type(), "web-context",
                                               ProgramWebContext(), "user-content-manager",
                                               scripts.get(), "settings", settings.get(), nullptr));
  g_object_ref_sink(made);
  page->WebView = GObjectRef<DragWebView>::Adopt(QUENSARY_DRAG_WEB_VIEW(made));
  GtkWidget* widget = page->Widget();

  // A page starts at the size of a full-HD screen, also when no window ever shows it; a window
  // that takes the view in gives it its own size.
  gtk_widget_show(widget);
  GtkRequisition ignored;
  gtk_widget_get_preferred_size(widget, &ignored, nullptr);
  GtkAllocation full{0, 0, kViewWidth, kViewHeight};
  gtk_widget_size_allocate(widget, &full);

  g_signal_connect_data(made, "load-changed", G_CALLBACK(OnLoadChanged), KeepDelegate(delegate),
                        DropDelegate, static_cast<GConnectFlags>(0));
  g_signal_connect_data(made, "load-failed", G_CALLBACK(OnLoadFailed), KeepDelegate(delegate),
                        DropDelegate, static_cast<GConnectFlags>(0));
  g_signal_connect_data(made, "web-process-terminated", G_CALLBACK(OnWebProcessTerminated),
                        KeepDelegate(delegate), DropDelegate, static_cast<GConnectFlags>(0));
  g_signal_connect_data(made, "decide-policy", G_CALLBACK(OnDecidePolicy), KeepDelegate(delegate),
                        DropDelegate, static_cast<GConnectFlags>(0));

  if (IsAbsoluteAddress(page->PageUrl)) {
    delegate->first_load_timeout_ = options.load_timeout;
    delegate->outcome_.ExpectFirstLoad();
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(made), page->PageUrl.c_str());
  }

  // The signal first, then the handler: a message may arrive as soon as the name is known.
  const std::string name = RevealText(Sealed::BridgeHandlerName);
  const std::string signal = "script-message-received::" + name;
  g_signal_connect_data(scripts.get(), signal.c_str(), G_CALLBACK(OnScriptMessage),
                        KeepDelegate(delegate), DropDelegate, static_cast<GConnectFlags>(0));
  webkit_user_content_manager_register_script_message_handler(scripts.get(), name.c_str());
  return delegate;
}

void WebObjDelegate::LoadEvent(NavigationOutcome::Event event) {
  bool arm_time_out = false;
  const bool loaded = outcome_.OnEvent(event, &arm_time_out);
  // The document that was to answer the waiting calls is gone, and WebKit may never complete
  // such a call.
  if (event == NavigationOutcome::Event::kCommitted) {
    if (auto page = WebObj_.lock())
      page->EndPendingScripts();
  }
  if (auto page = arm_time_out ? WebObj_.lock() : nullptr) {
    page->main_queue()->PostAfter(first_load_timeout_, [weak = weak_from_this()] {
      auto delegate = weak.lock();
      if (!delegate || !delegate->outcome_.FirstLoadTimedOut())
        return;
      if (auto page = delegate->WebObj_.lock(); page && page->WebView)
        webkit_web_view_stop_loading(WEBKIT_WEB_VIEW(page->WebView.get()));
    });
  }
  if (loaded)
    RunOnLoaded();
  if (event == NavigationOutcome::Event::kFailedBeforeCommit) {
    auto page = WebObj_.lock();
    // A copy: the callback may drop the page.
    if (auto on_failed = page ? page->OnLoadFailed : nullptr)
      on_failed();
  }
}

void WebObjDelegate::WebProcessDied() {
  auto page = WebObj_.lock();
  if (!page)
    return;
  // The calls still waiting will never be answered by the dead document.
  page->EndPendingScripts();
  if (!IsAbsoluteAddress(page->PageUrl))
    return;
  const auto delay = restarts_.NextDelay(std::chrono::steady_clock::now());
  page->main_queue()->PostAfter(delay, [weak = weak_from_this()] {
    auto delegate = weak.lock();
    auto page = delegate ? delegate->WebObj_.lock() : nullptr;
    if (page && page->WebView)
      webkit_web_view_load_uri(WEBKIT_WEB_VIEW(page->WebView.get()), page->PageUrl.c_str());
  });
}

void WebObjDelegate::RunOnLoaded() {
  auto page = WebObj_.lock();
  if (!page || !page->OnLoaded)
    return;
  // A copy: the callback may replace OnLoaded, or drop the page.
  auto on_loaded = page->OnLoaded;
  on_loaded();
}

bool WebObjDelegate::KeepsToProgramPages() const {
  auto page = WebObj_.lock();
  return page && page->ProgramPagesOnly;
}

void WebObjDelegate::ScriptMessageReceived(JSCValue* body) {
  const auto parts = MessageParts(body);
  if (!parts)
    return;
  auto page = WebObj_.lock();
  if (!page || !page->WebView)
    return;
  if (page->ProgramPagesOnly &&
      !IsProgramPageAddress(webkit_web_view_get_uri(WEBKIT_WEB_VIEW(page->WebView.get()))))
    return;
  const auto handler = page->Handlers.find((*parts)[0]);
  if (handler == page->Handlers.end())
    return;
  // A copy: the handler may change Handlers, or drop the page.
  auto callback = handler->second;
  if (callback)
    callback((*parts)[1], (*parts)[2]);
}

}  // namespace quensary
