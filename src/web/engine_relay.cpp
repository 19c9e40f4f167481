#include "web/engine_relay.h"

#include <libsoup/soup.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>

#include "platform/glib/glib_ptr.h"
#include "platform/glib/gobject_ref.h"
#include "translate/relay_plan.h"
#include "web/page_scheme.h"

namespace quensary {

struct EngineRelay::Exchange {
  GObjectRef<WebKitURISchemeRequest> request;
  TranslatorProfilePtr profile;
  RelayRequest asked;
  GObjectRef<GCancellable> cancellable;  // cancelled when the time limit is reached
  std::string time_limit;                // in words
  bool timed_out = false;
  bool answered = false;
  GObjectRef<SoupMessage> message;
};

namespace {

using Exchange = EngineRelay::Exchange;
using ExchangePtr = std::shared_ptr<Exchange>;

constexpr char kRelayHeader[] = "X-Quensary-Relay";
constexpr gsize kReadChunkBytes = 64 * 1024;

void Answer(Exchange& x, unsigned status, const std::string& type,
            const std::map<std::string, std::string>& headers, std::string body) {
  if (std::exchange(x.answered, true))
    return;
  g_cancellable_cancel(x.cancellable.get());
  RespondToPage(x.request.get(), status, type, headers, std::move(body));
}

// The relay's own failures: a word the page reads, and a text that says why.
void Fail(Exchange& x, unsigned status, const char* word, std::string why) {
  Answer(x, status, "text/plain; charset=utf-8", {{kRelayHeader, word}}, std::move(why));
}

// What a page that may not use the relay gets: nothing.
void Nothing(WebKitURISchemeRequest* request) {
  RespondToPage(request, 403, "text/plain", {}, {});
}

// Reads a stream to its end, a chunk at a time, up to kMaxRelayBytes.
struct Reading {
  ExchangePtr x;
  GObjectRef<GInputStream> stream;
  std::string bytes;
  // The bytes, or absent when they could not be read (`too_large` says whether for their size).
  std::function<void(std::optional<std::string>, bool too_large)> done;
};

void ReadOn(std::unique_ptr<Reading> reading);

void ChunkRead(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Reading> reading(static_cast<Reading*>(data));
  GError* raw_error = nullptr;
  const GBytesPtr chunk(
      g_input_stream_read_bytes_finish(G_INPUT_STREAM(source), result, &raw_error));
  const GErrorPtr error(raw_error);
  if (!chunk) {
    reading->done(std::nullopt, false);
    return;
  }
  gsize size = 0;
  const auto* bytes = static_cast<const char*>(g_bytes_get_data(chunk.get(), &size));
  if (size == 0) {
    reading->done(std::move(reading->bytes), false);
    return;
  }
  if (reading->bytes.size() + size > kMaxRelayBytes) {
    reading->done(std::nullopt, true);
    return;
  }
  reading->bytes.append(bytes, size);
  ReadOn(std::move(reading));
}

void ReadOn(std::unique_ptr<Reading> reading) {
  GInputStream* stream = reading->stream.get();
  GCancellable* cancellable = reading->x->cancellable.get();
  g_input_stream_read_bytes_async(stream, kReadChunkBytes, G_PRIORITY_DEFAULT, cancellable,
                                  ChunkRead, reading.release());
}

void ReadAll(const ExchangePtr& x, GObjectRef<GInputStream> stream,
             std::function<void(std::optional<std::string>, bool)> done) {
  if (!stream) {
    done(std::string(), false);
    return;
  }
  ReadOn(std::make_unique<Reading>(Reading{x, std::move(stream), {}, std::move(done)}));
}

// The part of an address that names a page: scheme, host and path, without the query.
std::string PagePart(const char* address) {
  const GUriPtr uri(address ? g_uri_parse(address, G_URI_FLAGS_NONE, nullptr) : nullptr);
  if (!uri)
    return {};
  return std::string(g_uri_get_scheme(uri.get())) + "://" +
         (g_uri_get_host(uri.get()) ? g_uri_get_host(uri.get()) : "") + g_uri_get_path(uri.get());
}

GObjectRef<SoupSession> RelaySession() {
  static const GObjectRef<SoupSession> session = [] {
    auto made = GObjectRef<SoupSession>::Adopt(soup_session_new());
    soup_session_set_timeout(made.get(), EngineRelay::kTimeLimit.count());
    soup_session_set_user_agent(made.get(), "Quensary");
    return made;
  }();
  return session;
}

void Sent(GObject* source, GAsyncResult* result, gpointer data) {
  const std::unique_ptr<ExchangePtr> held(static_cast<ExchangePtr*>(data));
  const ExchangePtr x = *held;
  GError* raw_error = nullptr;
  auto stream = GObjectRef<GInputStream>::Adopt(
      soup_session_send_finish(SOUP_SESSION(source), result, &raw_error));
  const GErrorPtr error(raw_error);
  if (!stream) {
    if (x->timed_out)
      Fail(*x, 504, "time-out", x->time_limit);
    else
      Fail(*x, 502, "unreachable", error ? error->message : "the service could not be reached");
    return;
  }
  SoupMessage* message = x->message.get();
  SoupMessageHeaders* headers = soup_message_get_response_headers(message);
  if (soup_message_headers_get_content_length(headers) > static_cast<goffset>(kMaxRelayBytes)) {
    Fail(*x, 502, "too-large", "the answer is larger than 1 MiB");
    return;
  }
  const char* type = soup_message_headers_get_one(headers, "Content-Type");
  ReadAll(x, std::move(stream),
          [x, status = soup_message_get_status(message),
           type = std::string(type ? type : "application/octet-stream")](
              std::optional<std::string> body, bool too_large) {
            if (body)
              Answer(*x, status, type, {}, std::move(*body));
            else if (too_large)
              Fail(*x, 502, "too-large", "the answer is larger than 1 MiB");
            else if (x->timed_out)
              Fail(*x, 504, "time-out", x->time_limit);
            else
              Fail(*x, 502, "unreachable", "the answer broke off");
          });
}

}  // namespace

EngineRelay::EngineRelay(std::shared_ptr<EnginePool> engines,
                         std::shared_ptr<SettingsStore> settings, std::shared_ptr<KeyStore> keys,
                         std::chrono::seconds time_limit)
    : engines_(std::move(engines)),
      settings_(std::move(settings)),
      keys_(std::move(keys)),
      time_limit_(time_limit) {}

void EngineRelay::Serve(WebKitURISchemeRequest* request) {
  // Only the active engine's own page, and only for an engine whose profile names a relay.
  const auto profile = engines_->ActiveProfile();
  WebKitWebView* view = webkit_uri_scheme_request_get_web_view(request);
  const char* asking = view ? webkit_web_view_get_uri(view) : nullptr;
  if (!profile || !profile->Relay || !IsProgramPageAddress(asking) ||
      PagePart(asking) != PagePart(profile->Url.c_str())) {
    Nothing(request);
    return;
  }

  auto x = std::make_shared<Exchange>();
  x->request = GObjectRef<WebKitURISchemeRequest>::Share(request);
  x->profile = profile;
  x->cancellable = GObjectRef<GCancellable>::Adopt(g_cancellable_new());
  x->time_limit =
      std::to_string(time_limit_.count()) + (time_limit_.count() == 1 ? " second" : " seconds");
  const char* method = webkit_uri_scheme_request_get_http_method(request);
  x->asked.method = method ? method : "GET";
  const GUriPtr uri(
      g_uri_parse(webkit_uri_scheme_request_get_uri(request), G_URI_FLAGS_ENCODED, nullptr));
  const char* path = uri ? g_uri_get_path(uri.get()) : "";
  // What follows /relay, the slash kept; the query as it came.
  x->asked.path = std::string(path).substr(sizeof kRelayPath - 2);
  if (const char* query = uri ? g_uri_get_query(uri.get()) : nullptr)
    x->asked.path += std::string("?") + query;
  if (SoupMessageHeaders* headers = webkit_uri_scheme_request_get_http_headers(request)) {
    const char* type = soup_message_headers_get_one(headers, "Content-Type");
    x->asked.content_type = type ? type : "";
  }

  // The time limit holds the exchange weakly: an answered one goes at once.
  g_timeout_add_seconds_full(
      G_PRIORITY_DEFAULT, static_cast<guint>(time_limit_.count()),
      [](gpointer data) {
        if (auto held = static_cast<std::weak_ptr<Exchange>*>(data)->lock()) {
          held->timed_out = true;
          g_cancellable_cancel(held->cancellable.get());
        }
        return G_SOURCE_REMOVE;
      },
      std::make_unique<std::weak_ptr<Exchange>>(x).release(),
      [](gpointer data) {
        std::unique_ptr<std::weak_ptr<Exchange>>(static_cast<std::weak_ptr<Exchange>*>(data));
      });

  ReadAll(x, GObjectRef<GInputStream>::Adopt(webkit_uri_scheme_request_get_http_body(request)),
          [self = shared_from_this(), x](std::optional<std::string> body, bool) {
            if (!body) {
              Fail(*x, 413, "request", "the request could not be read, or is larger than 1 MiB");
              return;
            }
            x->asked.body = std::move(*body);
            self->Send(x);
          });
}

void EngineRelay::Send(std::shared_ptr<Exchange> x) {
  keys_->Lookup(x->profile->Id, [self = shared_from_this(), x](std::optional<std::string> key) {
    const std::string user_address =
        x->profile->TakesOption("address")
            ? EngineOption(self->settings_->EngineOptions(), x->profile->Id, "address")
            : std::string();
    auto planned = PlanRelay(*x->profile->Relay, user_address, key, x->asked);
    if (const auto* refusal = std::get_if<RelayRefusal>(&planned)) {
      switch (*refusal) {
        case RelayRefusal::kNoKey:
          Fail(*x, 401, "no-key", "the engine has no key");
          break;
        case RelayRefusal::kAddress:
          Fail(*x, 403, "address", "the address must use https, or be on this computer");
          break;
        case RelayRefusal::kRequest:
          // Anything else: the page asked for another place, and gets nothing.
          Answer(*x, 403, "text/plain", {}, {});
          break;
      }
      return;
    }
    const RelayPlan& plan = std::get<RelayPlan>(planned);
    x->message =
        GObjectRef<SoupMessage>::Adopt(soup_message_new(plan.method.c_str(), plan.url.c_str()));
    if (!x->message) {
      Answer(*x, 403, "text/plain", {}, {});
      return;
    }
    // A redirect could lead anywhere: the relay goes to the address it was given, or nowhere.
    soup_message_add_flags(x->message.get(), SOUP_MESSAGE_NO_REDIRECT);
    SoupMessageHeaders* headers = soup_message_get_request_headers(x->message.get());
    std::string content_type;
    for (const auto& [name, value] : plan.headers) {
      if (g_ascii_strcasecmp(name.c_str(), "Content-Type") == 0)
        content_type = value;
      else
        soup_message_headers_replace(headers, name.c_str(), value.c_str());
    }
    soup_message_headers_replace(headers, "Accept", "application/json");
    if (plan.method == "POST") {
      const GBytesPtr body(g_bytes_new(plan.body.data(), plan.body.size()));
      soup_message_set_request_body_from_bytes(
          x->message.get(), content_type.empty() ? nullptr : content_type.c_str(), body.get());
    }
    soup_session_send_async(RelaySession().get(), x->message.get(), G_PRIORITY_DEFAULT,
                            x->cancellable.get(), Sent, std::make_unique<ExchangePtr>(x).release());
  });
}

}  // namespace quensary
