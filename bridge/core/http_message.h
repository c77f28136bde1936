#pragma once
// A request and an answer as the bridge's core sees them: the HTTP library of the platform
// layer parses and writes the wire format, the core only decides.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bridge {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
  std::string method;  // "GET", "PUT", ...
  std::string target;  // path and query, as sent
  HeaderList headers;
  std::string body;

  // The first header of this name (compared without regard to case), or nothing.
  [[nodiscard]] const std::string* header(std::string_view name) const;
};

struct HttpResponse {
  int status = 200;
  HeaderList headers;
  std::string body;
  // GET /v1/events: the platform layer answers with the event stream (status and headers as
  // given here) and keeps the connection open.
  bool event_stream = false;

  [[nodiscard]] const std::string* header(std::string_view name) const;
};

[[nodiscard]] bool equal_ignoring_case(std::string_view a, std::string_view b);

}  // namespace bridge
