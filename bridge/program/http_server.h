#pragma once
// The bridge's HTTP server on Boost.Asio and Boost.Beast, the same on Linux and Windows. Each
// connection is served by a thread of its own with its own I/O context, so a request may wait
// for its display's writer without holding anyone else up; every read and write has a time-out.
// Beast stays inside http_server.cpp (one heavy translation unit).

#include <cstdint>
#include <memory>
#include <string>

#include "bridge/core/event_feed.h"
#include "bridge/core/request_handler.h"

namespace bridge {

class HttpServer {
 public:
  // Listens on `host`:`port` (port 0: any free one). Throws std::runtime_error, saying why, when
  // it cannot. `events` must outlive the server.
  HttpServer(const std::string& host, std::uint16_t port, EventFeed& events);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // The port it listens on.
  [[nodiscard]] std::uint16_t port() const;

  // Serves through `handler` until stop() or, with `stop_on_signals`, SIGINT or SIGTERM; then
  // closes every connection and returns.
  void run(const RequestHandler& handler, bool stop_on_signals);

  // Ends run(). Callable from any thread.
  void stop();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace bridge
