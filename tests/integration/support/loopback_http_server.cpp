#include "support/loopback_http_server.h"

#include <libsoup/soup.h>

#include <map>
#include <stdexcept>

#include "platform/glib/glib_ptr.h"
#include "platform/glib/gobject_ref.h"

namespace quensary::testing {

struct LoopbackHttpServer::State {
  GObjectRef<SoupServer> server;
  int port = 0;
  std::map<std::string, Reply> replies;
  std::map<std::string, int> hits;
};

namespace {

void Answer(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*, gpointer data) {
  auto& state = *static_cast<LoopbackHttpServer::State*>(data);
  ++state.hits[path];
  const auto found = state.replies.find(path);
  const auto reply =
      found == state.replies.end() ? LoopbackHttpServer::Reply{"", 404} : found->second;
  if (reply.status == 0) {
    soup_server_message_pause(message);
    return;
  }
  soup_server_message_set_status(message, static_cast<guint>(reply.status), nullptr);
  SoupMessageHeaders* headers = soup_server_message_get_response_headers(message);
  if (reply.any_origin)
    soup_message_headers_replace(headers, "Access-Control-Allow-Origin", "*");
  soup_message_headers_replace(headers, "Cache-Control", "no-store");
  soup_server_message_set_response(message, reply.content_type.c_str(), SOUP_MEMORY_COPY,
                                   reply.body.data(), reply.body.size());
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
  soup_server_disconnect(state_->server.get());
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

}  // namespace quensary::testing
