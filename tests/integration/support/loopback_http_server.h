#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quensary::testing {

// A small HTTP server on 127.0.0.1 (a free port), answering from the default main context.
// Paths not served answer 404 with an empty body.
class LoopbackHttpServer {
 public:
  struct Reply {
    int status = 200;  // 0: the request is taken and never answered
    std::string content_type = "text/html";
    std::string body;
    std::map<std::string, std::string> headers;
    // How long the answer is held back: a slow service.
    std::chrono::milliseconds delay{0};

    static Reply Page(std::string body, int status = 200) {
      Reply reply;
      reply.status = status;
      reply.body = std::move(body);
      return reply;
    }
    static Reply Json(std::string body, bool any_origin) {
      Reply reply = Page(std::move(body));
      reply.content_type = "application/json";
      if (any_origin)
        reply.headers["Access-Control-Allow-Origin"] = "*";
      return reply;
    }
  };

  // What reached the server: header names in lower case.
  struct Request {
    std::string method;
    std::map<std::string, std::string> headers;
    std::string body;
  };
  using Handler = std::function<Reply(const Request&)>;

  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  void Serve(const std::string& path, Reply reply);
  // Answers each request of the path as the handler says.
  void Handle(const std::string& path, Handler handler);
  void ServeHtml(const std::string& path, const std::string& html) {
    Serve(path, Reply::Page(html));
  }

  int Port() const;
  // http://127.0.0.1:<port><path>
  std::string Url(const std::string& path) const;
  // How many requests reached this path.
  int Hits(const std::string& path) const;
  // Every request that reached this path, in order.
  const std::vector<Request>& Requests(const std::string& path) const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// A loopback port on which nothing listens (a connection to it is refused).
int ClosedLoopbackPort();
// http://127.0.0.1:<a closed port>/, an address that answers nothing.
inline std::string ClosedLoopbackAddress() {
  return "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/";
}

}  // namespace quensary::testing
