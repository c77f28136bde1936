#pragma once
// The bridge's HTTP interface, without sockets: a request in, an answer out. In order:
//   1. Origin: a request naming an origin that is neither listed (--allow-origin) nor the
//      bridge's own page is refused with 403 before anything else is looked at.
//   2. OPTIONS answers the preflight (CORS headers for a listed origin).
//   3. Host: while the bridge listens on loopback, a Host header that is not one of its own
//      names is refused with 403 (a page of a name that resolves to 127.0.0.1 is no neighbour).
//   4. Token: with a token configured, every /v1/ request needs "Authorization: Bearer TOKEN"
//      (compared in constant time), else 401.
//   5. Path (404), method (405), body size (413), Content-Type (415), JSON and its types (400),
//      content (422), display (404), then the change: 204 once the display shows it, 503 when
//      it is offline.
// Errors are {"error": "..."}. The guides list these rules (docs/developer.md, "The bridge").

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "bridge/core/display_channel.h"
#include "bridge/core/http_message.h"

namespace bridge {

inline constexpr std::size_t kBodyLimit = 4096;
inline constexpr std::size_t kMarqueeLimit = 200;  // characters of a marquee text

struct WebAssets {
  std::string page;    // GET /
  std::string module;  // GET /pole-display.js
};

struct HandlerSettings {
  std::vector<std::string> allowed_origins;
  // The Host header values that name the bridge ("127.0.0.1:8765", "localhost:8765", ...). Empty:
  // any Host is taken (the bridge listens beyond loopback, where its names are not known).
  std::vector<std::string> own_hosts;
  std::string token;  // empty: no token asked for
  // How long a change waits for the display's writer before 503.
  std::chrono::milliseconds write_wait = std::chrono::seconds(5);
};

class RequestHandler {
 public:
  // The displays must outlive the handler.
  RequestHandler(HandlerSettings settings, std::vector<DisplayChannel*> displays, WebAssets assets);

  // Thread-safe: connections call it at the same time.
  [[nodiscard]] HttpResponse handle(const HttpRequest& request) const;

  // An answer for a request the HTTP layer refused itself (413 for a body over the limit, 400
  // for a malformed request), with the CORS headers the request's origin earns.
  [[nodiscard]] HttpResponse error_for(const HttpRequest& request, int status,
                                       const std::string& message) const;

  // Every display's present state, as the events that open an event stream (numbered 0).
  [[nodiscard]] std::vector<DisplayEvent> current_states() const;

 private:
  [[nodiscard]] HttpResponse route(const HttpRequest& request) const;
  [[nodiscard]] bool origin_allowed(const std::string& origin) const;
  [[nodiscard]] bool same_origin(const HttpRequest& request, const std::string& origin) const;
  [[nodiscard]] DisplayChannel* find(const std::string& name) const;

  HandlerSettings settings_;
  std::vector<DisplayChannel*> displays_;
  WebAssets assets_;
};

// Equal strings take the same time to compare whatever they hold; the time depends only on the
// length of `expected`.
[[nodiscard]] bool tokens_match(std::string_view given, std::string_view expected);

}  // namespace bridge
