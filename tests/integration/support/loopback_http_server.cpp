#include "support/loopback_http_server.h"

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <stdexcept>
#include <vector>

namespace quensary::testing {

struct LoopbackHttpServer::State {
  SoupServer* server = nullptr;
  int port = 0;
  std::map<std::string, Reply> replies;
  std::map<std::string, int> hits;
  // Responses kept open on purpose; their messages are released with the server.
  std::vector<SoupServerMessage*> held;
};

namespace {

void Answer(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*, gpointer data) {
  auto& state = *static_cast<LoopbackHttpServer::State*>(data);
  ++state.hits[path];
  const auto found = state.replies.find(path);
  if (found == state.replies.end()) {
    soup_server_message_set_status(message, 404, nullptr);
    return;
  }
  const auto& reply = found->second;
  if (reply.never_answer) {
    g_object_ref(message);
    state.held.push_back(message);
    soup_server_message_pause(message);
    return;
  }
  soup_server_message_set_status(message, static_cast<guint>(reply.status), nullptr);
  SoupMessageHeaders* headers = soup_server_message_get_response_headers(message);
  for (const auto& [name, value] : reply.headers)
    soup_message_headers_replace(headers, name.c_str(), value.c_str());
  soup_message_headers_replace(headers, "Cache-Control", "no-store");
  if (reply.hold_open) {
    soup_message_headers_set_encoding(headers, SOUP_ENCODING_CHUNKED);
    soup_message_headers_set_content_type(headers, reply.content_type.c_str(), nullptr);
    SoupMessageBody* body = soup_server_message_get_response_body(message);
    soup_message_body_append(body, SOUP_MEMORY_COPY, reply.body.data(), reply.body.size());
    g_object_ref(message);
    state.held.push_back(message);
    return;
  }
  soup_server_message_set_response(message, reply.content_type.c_str(), SOUP_MEMORY_COPY,
                                   reply.body.data(), reply.body.size());
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer() : state_(std::make_unique<State>()) {
  state_->server = soup_server_new(nullptr, nullptr);
  soup_server_add_handler(state_->server, nullptr, Answer, state_.get(), nullptr);
  GError* error = nullptr;
  GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
  GSocketAddress* address = g_inet_socket_address_new(loopback, 0);
  const bool listening =
      soup_server_listen(state_->server, address, static_cast<SoupServerListenOptions>(0), &error);
  g_object_unref(address);
  g_object_unref(loopback);
  if (!listening) {
    const std::string message = error ? error->message : "unknown error";
    g_clear_error(&error);
    throw std::runtime_error("loopback server: " + message);
  }
  GSList* uris = soup_server_get_uris(state_->server);
  state_->port = uris ? g_uri_get_port(static_cast<GUri*>(uris->data)) : 0;
  g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
}

LoopbackHttpServer::~LoopbackHttpServer() {
  soup_server_disconnect(state_->server);
  for (SoupServerMessage* message : state_->held)
    g_object_unref(message);
  g_object_unref(state_->server);
}

void LoopbackHttpServer::Serve(const std::string& path, Reply reply) {
  state_->replies[path] = std::move(reply);
}

int LoopbackHttpServer::Port() const {
  return state_->port;
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(state_->port) + path;
}

int LoopbackHttpServer::Hits(const std::string& path) const {
  const auto found = state_->hits.find(path);
  return found == state_->hits.end() ? 0 : found->second;
}

int ClosedLoopbackPort() {
  // Bind to a free port and close it again: nothing listens there afterwards.
  GSocket* socket =
      g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, nullptr);
  GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
  GSocketAddress* any_port = g_inet_socket_address_new(loopback, 0);
  int port = 0;
  if (socket && g_socket_bind(socket, any_port, FALSE, nullptr)) {
    GSocketAddress* bound = g_socket_get_local_address(socket, nullptr);
    port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound));
    g_object_unref(bound);
  }
  g_object_unref(any_port);
  g_object_unref(loopback);
  if (socket) {
    g_socket_close(socket, nullptr);
    g_object_unref(socket);
  }
  return port;
}

}  // namespace quensary::testing
