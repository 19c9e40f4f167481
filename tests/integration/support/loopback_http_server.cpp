#include "support/loopback_http_server.h"

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <stdexcept>
#include <vector>

#include "platform/glib/glib_ptr.h"
#include "platform/glib/gobject_ref.h"

namespace quensary::testing {

struct LoopbackHttpServer::State {
  GObjectRef<SoupServer> server;
  int port = 0;
  std::map<std::string, Handler> handlers;
  std::map<std::string, std::vector<Request>> requests;
  // False once the server is gone: an answer still held back then goes nowhere.
  std::shared_ptr<bool> open = std::make_shared<bool>(true);
};

namespace {

void Reply(SoupServerMessage* message, const LoopbackHttpServer::Reply& reply) {
  soup_server_message_set_status(message, static_cast<guint>(reply.status), nullptr);
  SoupMessageHeaders* headers = soup_server_message_get_response_headers(message);
  for (const auto& [name, value] : reply.headers)
    soup_message_headers_replace(headers, name.c_str(), value.c_str());
  soup_message_headers_replace(headers, "Cache-Control", "no-store");
  soup_server_message_set_response(message, reply.content_type.c_str(), SOUP_MEMORY_COPY,
                                   reply.body.data(), reply.body.size());
}

void Answer(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*, gpointer data) {
  auto& state = *static_cast<LoopbackHttpServer::State*>(data);
  LoopbackHttpServer::Request request;
  request.method = soup_server_message_get_method(message);
  SoupMessageHeadersIter iter;
  soup_message_headers_iter_init(&iter, soup_server_message_get_request_headers(message));
  const char* name = nullptr;
  const char* value = nullptr;
  while (soup_message_headers_iter_next(&iter, &name, &value))
    request.headers[GCharPtr(g_ascii_strdown(name, -1)).get()] = value;
  SoupMessageBody* body = soup_server_message_get_request_body(message);
  if (body && body->length > 0) {
    const GBytesPtr bytes(soup_message_body_flatten(body));
    gsize size = 0;
    const auto* data_bytes = static_cast<const char*>(g_bytes_get_data(bytes.get(), &size));
    request.body.assign(data_bytes, size);
  }
  state.requests[path].push_back(request);

  const auto handler = state.handlers.find(path);
  if (handler == state.handlers.end()) {
    soup_server_message_set_status(message, 404, nullptr);
    return;
  }
  const LoopbackHttpServer::Reply reply = handler->second(request);
  if (reply.status == 0) {
    soup_server_message_pause(message);  // taken, and never answered
    return;
  }
  if (reply.delay.count() <= 0) {
    Reply(message, reply);
    return;
  }
  // Held back on the main context, as a slow service would.
  soup_server_message_pause(message);
  struct Held {
    GObjectRef<SoupServerMessage> message;
    LoopbackHttpServer::Reply reply;
    std::shared_ptr<bool> open;
  };
  g_timeout_add_full(
      G_PRIORITY_DEFAULT, static_cast<guint>(reply.delay.count()),
      [](gpointer held_data) {
        auto& held = *static_cast<Held*>(held_data);
        if (!*held.open)
          return G_SOURCE_REMOVE;
        Reply(held.message.get(), held.reply);
        soup_server_message_unpause(held.message.get());
        return G_SOURCE_REMOVE;
      },
      std::make_unique<Held>(Held{GObjectRef<SoupServerMessage>::Share(message), reply, state.open})
          .release(),
      [](gpointer held_data) { std::unique_ptr<Held>(static_cast<Held*>(held_data)); });
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() : state_(std::make_unique<State>()) {
  state_->server = GObjectRef<SoupServer>::Adopt(soup_server_new(nullptr, nullptr));
  soup_server_add_handler(state_->server.get(), nullptr, Answer, state_.get(), nullptr);
  GError* raw_error = nullptr;
  const auto loopback =
      GObjectRef<GInetAddress>::Adopt(g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4));
  const auto address =
      GObjectRef<GSocketAddress>::Adopt(g_inet_socket_address_new(loopback.get(), 0));
  const bool listening = soup_server_listen(state_->server.get(), address.get(),
                                            static_cast<SoupServerListenOptions>(0), &raw_error);
  const GErrorPtr error(raw_error);
  if (!listening)
    throw std::runtime_error(std::string("loopback server: ") + (error ? error->message : "?"));
  for (GSList* uris = soup_server_get_uris(state_->server.get()); uris;
       uris = g_slist_delete_link(uris, uris)) {
    const GUriPtr uri(static_cast<GUri*>(uris->data));
    state_->port = g_uri_get_port(uri.get());
  }
}

LoopbackHttpServer::~LoopbackHttpServer() {
  *state_->open = false;
  soup_server_disconnect(state_->server.get());
}

void LoopbackHttpServer::Serve(const std::string& path, Reply reply) {
  Handle(path, [reply = std::move(reply)](const Request&) { return reply; });
}

void LoopbackHttpServer::Handle(const std::string& path, Handler handler) {
  state_->handlers[path] = std::move(handler);
}

const std::vector<LoopbackHttpServer::Request>& LoopbackHttpServer::Requests(
    const std::string& path) const {
  return state_->requests[path];
}

int LoopbackHttpServer::Port() const {
  return state_->port;
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(state_->port) + path;
}

int LoopbackHttpServer::Hits(const std::string& path) const {
  return static_cast<int>(Requests(path).size());
}

int ClosedLoopbackPort() {
  // Bind to a free port and close it again: nothing listens there afterwards.
  const auto socket = GObjectRef<GSocket>::Adopt(
      g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, nullptr));
  const auto loopback =
      GObjectRef<GInetAddress>::Adopt(g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4));
  const auto any_port =
      GObjectRef<GSocketAddress>::Adopt(g_inet_socket_address_new(loopback.get(), 0));
  int port = 0;
  if (socket && g_socket_bind(socket.get(), any_port.get(), FALSE, nullptr)) {
    const auto bound =
        GObjectRef<GSocketAddress>::Adopt(g_socket_get_local_address(socket.get(), nullptr));
    port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound.get()));
    g_socket_close(socket.get(), nullptr);
  }
  return port;
}

}  // namespace quensary::testing
