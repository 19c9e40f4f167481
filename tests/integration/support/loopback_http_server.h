#pragma once

#include <memory>
#include <string>

namespace quensary::testing {

// A small HTTP server on 127.0.0.1 (a free port), answering from the default main context.
// Paths not served answer 404 with an empty body.
class LoopbackHttpServer {
 public:
  struct Reply {
    std::string body;
    int status = 200;  // 0: the request is taken and never answered
    std::string content_type = "text/html";
    bool any_origin = false;  // sends Access-Control-Allow-Origin: *
  };

  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  void Serve(const std::string& path, Reply reply);
  void ServeHtml(const std::string& path, const std::string& html) { Serve(path, {html}); }

  int Port() const;
  // http://127.0.0.1:<port><path>
  std::string Url(const std::string& path) const;
  // How many requests reached this path.
  int Hits(const std::string& path) const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// A loopback port on which nothing listens (a connection to it is refused): a server's port once
// the server has gone.
inline int ClosedLoopbackPort() {
  return LoopbackHttpServer().Port();
}
// http://127.0.0.1:<a closed port>/, an address that answers nothing.
inline std::string ClosedLoopbackAddress() {
  return "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/";
}

}  // namespace quensary::testing
