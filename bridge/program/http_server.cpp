#include "bridge/program/http_server.h"

#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <list>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace bridge {
namespace {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;
using namespace std::chrono_literals;

constexpr auto kReadTimeout = 30s;   // a request, from its first byte to its last
constexpr auto kWriteTimeout = 30s;  // an answer or an event
constexpr auto kKeepAliveEvery = 15s;
constexpr std::size_t kMaxConnections = 512;
constexpr std::size_t kHeaderLimit = 8192;
// After refusing a body, what the client still sends is read and dropped (up to this much, for
// at most kDrainTime), so that it receives the answer instead of a reset.
constexpr std::size_t kDrainLimit = 8u << 20;
constexpr auto kDrainTime = 5s;

// One connection: its own context, stream and thread.
struct Connection {
  net::io_context context{1};
  beast::tcp_stream stream{context};
  std::thread thread;
  std::atomic<bool> done{false};
};

// Runs one asynchronous operation of `connection` to its end.
template <typename Start>
beast::error_code run_one(Connection& connection, Start start) {
  beast::error_code result;
  start([&result](beast::error_code error, std::size_t) { result = error; });
  connection.context.restart();
  connection.context.run();
  return result;
}

HttpRequest to_core(const http::request<http::string_body>& message) {
  HttpRequest request;
  request.method = std::string(message.method_string());
  request.target = std::string(message.target());
  for (const auto& field : message)
    request.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
  request.body = message.body();
  return request;
}

http::response<http::string_body> to_beast(const HttpResponse& response, unsigned version, bool keep_alive) {
  http::response<http::string_body> message{static_cast<http::status>(response.status), version};
  for (const auto& [name, value] : response.headers) message.insert(name, value);
  message.set("X-Content-Type-Options", "nosniff");
  message.body() = response.body;
  message.keep_alive(keep_alive);
  if (response.status != 204) message.prepare_payload();  // a 204 carries no Content-Length
  return message;
}

}  // namespace

struct HttpServer::State {
  explicit State(EventFeed& events_) : events(events_) {}

  const RequestHandler* handler = nullptr;  // set by run()
  EventFeed& events;
  net::io_context context{1};
  tcp::acceptor acceptor{context};
  std::mutex lock;
  std::list<std::unique_ptr<Connection>> connections;
  bool stopping = false;

  void accept();
  void reap_finished();
  void serve(Connection& connection);
  void serve_requests(Connection& connection);
  void serve_events(Connection& connection, const HttpResponse& head, unsigned version);
  void drain(Connection& connection, beast::flat_buffer& buffer);
  bool write(Connection& connection, const HttpResponse& response, unsigned version, bool keep_alive);
};

void HttpServer::State::reap_finished() {
  const std::lock_guard guard(lock);
  for (auto it = connections.begin(); it != connections.end();) {
    if ((*it)->done) {
      (*it)->thread.join();
      it = connections.erase(it);
    } else {
      ++it;
    }
  }
}

void HttpServer::State::accept() {
  auto connection = std::make_unique<Connection>();
  Connection& next = *connection;
  acceptor.async_accept(next.context, [this, connection = std::move(connection)](beast::error_code error,
                                                                                 tcp::socket socket) mutable {
    if (error == net::error::operation_aborted) return;
    reap_finished();
    if (!error) {
      const std::lock_guard guard(lock);
      if (!stopping && connections.size() < kMaxConnections) {
        connection->stream.socket() = std::move(socket);
        Connection& mine = *connection;
        connections.push_back(std::move(connection));
        mine.thread = std::thread([this, &mine] {
          serve(mine);
          mine.done = true;
        });
      }
    }
    accept();
  });
}

bool HttpServer::State::write(Connection& connection, const HttpResponse& response, unsigned version,
                              bool keep_alive) {
  auto message = to_beast(response, version, keep_alive);
  connection.stream.expires_after(kWriteTimeout);
  const auto error =
      run_one(connection, [&](auto done) { http::async_write(connection.stream, message, done); });
  return !error;
}

void HttpServer::State::drain(Connection& connection, beast::flat_buffer& buffer) {
  beast::error_code ignored;
  connection.stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
  std::size_t dropped = 0;
  connection.stream.expires_after(kDrainTime);
  while (dropped < kDrainLimit) {
    buffer.consume(buffer.size());
    std::size_t got = 0;
    beast::error_code error;
    connection.stream.async_read_some(buffer.prepare(std::size_t{64} * 1024),
                                      [&](beast::error_code e, std::size_t n) {
                                        error = e;
                                        got = n;
                                      });
    connection.context.restart();
    connection.context.run();
    if (error) return;
    dropped += got;
  }
}

void HttpServer::State::serve(Connection& connection) {
  // No exception may end the connection's thread (it would end the program): the connection
  // closes instead.
  try {
    serve_requests(connection);
  } catch (const std::exception&) {
  }
  beast::error_code ignored;
  connection.stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
  connection.stream.socket().close(ignored);
}

void HttpServer::State::serve_requests(Connection& connection) {
  beast::flat_buffer buffer;
  for (;;) {
    http::request_parser<http::string_body> parser;
    parser.body_limit(kBodyLimit);
    parser.header_limit(kHeaderLimit);
    connection.stream.expires_after(kReadTimeout);
    const auto error =
        run_one(connection, [&](auto done) { http::async_read(connection.stream, buffer, parser, done); });
    if (error == http::error::end_of_stream || error == net::error::eof || error == beast::error::timeout ||
        error == net::error::operation_aborted || error == net::error::connection_reset) {
      break;
    }
    if (error) {
      // The header was read (or not): answer what can be answered, then close.
      const HttpRequest partial = parser.is_header_done() ? to_core(parser.get()) : HttpRequest{};
      const bool too_large = error == http::error::body_limit;
      const HttpResponse refusal = handler->error_for(
          partial, too_large ? 413 : 400,
          too_large ? "the body is over 4096 bytes" : "malformed request: " + error.message());
      if (write(connection, refusal, 11, false)) drain(connection, buffer);
      break;
    }
    const http::request<http::string_body>& message = parser.get();
    const HttpResponse response = handler->handle(to_core(message));
    if (response.event_stream) {
      serve_events(connection, response, message.version());
      break;
    }
    if (!write(connection, response, message.version(), message.keep_alive()) || !message.keep_alive()) break;
  }
}

void HttpServer::State::serve_events(Connection& connection, const HttpResponse& head, unsigned version) {
  http::response<http::empty_body> message{static_cast<http::status>(head.status), version};
  for (const auto& [name, value] : head.headers) message.insert(name, value);
  message.keep_alive(false);  // the stream ends when the connection does
  http::response_serializer<http::empty_body> serializer{message};
  connection.stream.expires_after(kWriteTimeout);
  if (run_one(connection, [&](auto done) { http::async_write_header(connection.stream, serializer, done); }))
    return;

  const auto send = [&](const std::string& text) {
    connection.stream.expires_after(kWriteTimeout);
    return !run_one(connection,
                    [&](auto done) { net::async_write(connection.stream, net::buffer(text), done); });
  };
  std::uint64_t last = events.last_sequence();
  std::string opening = ": zorn-display-bridge events\n\n";
  for (const DisplayEvent& event : handler->current_states()) opening += server_sent_event(event);
  if (!send(opening)) return;
  while (!events.closed()) {
    const auto fresh =
        events.wait_after(last, std::chrono::duration_cast<std::chrono::milliseconds>(kKeepAliveEvery));
    std::string text;
    for (const DisplayEvent& event : fresh) {
      text += server_sent_event(event);
      last = event.sequence;
    }
    if (events.closed()) return;
    if (!send(text.empty() ? std::string(": keep-alive\n\n") : text)) return;
  }
}

HttpServer::HttpServer(const std::string& host, std::uint16_t port, EventFeed& events)
    : state_(std::make_unique<State>(events)) {
  beast::error_code error;
  const auto address = net::ip::make_address(host, error);
  if (error) throw std::runtime_error("cannot listen on '" + host + "': not an IP address");
  const tcp::endpoint endpoint{address, port};
  auto& acceptor = state_->acceptor;
  acceptor.open(endpoint.protocol(), error);
  if (!error) acceptor.set_option(net::socket_base::reuse_address(true), error);
  if (!error) acceptor.bind(endpoint, error);
  if (!error) acceptor.listen(net::socket_base::max_listen_connections, error);
  if (error)
    throw std::runtime_error("cannot listen on " + host + ":" + std::to_string(port) + ": " +
                             error.message());
}

HttpServer::~HttpServer() { stop(); }

std::uint16_t HttpServer::port() const { return state_->acceptor.local_endpoint().port(); }

void HttpServer::run(const RequestHandler& handler, bool stop_on_signals) {
  state_->handler = &handler;
  net::signal_set signals(state_->context);
  if (stop_on_signals) {
    signals.add(SIGINT);
    signals.add(SIGTERM);
    signals.async_wait([this](beast::error_code error, int) {
      if (!error) stop();
    });
  }
  state_->accept();
  state_->context.run();

  // Every connection is told to end, and waited for.
  state_->events.close();
  std::list<std::unique_ptr<Connection>> connections;
  {
    const std::lock_guard guard(state_->lock);
    state_->stopping = true;
    connections.swap(state_->connections);
  }
  for (auto& connection : connections) {
    net::post(connection->context, [&stream = connection->stream] { stream.cancel(); });
  }
  for (auto& connection : connections) connection->thread.join();
}

void HttpServer::stop() {
  net::post(state_->context, [state = state_.get()] {
    beast::error_code ignored;
    state->acceptor.close(ignored);
    state->context.stop();
  });
}

}  // namespace bridge
