#include "bridge/core/request_handler.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>
#include <variant>

#include "bridge/core/display_text.h"

namespace bridge {
namespace {

using nlohmann::json;

constexpr const char* kAllowHeaders = "Authorization, Content-Type";
constexpr long long kMinUnitWaitMs = 20;
constexpr long long kMaxUnitWaitMs = 60000;

HttpResponse json_response(int status, const json& body) {
  // Messages quote what the client sent (origin, host, path), which need not be UTF-8: such
  // bytes become U+FFFD instead of an exception.
  return {status,
          {{"Content-Type", "application/json"}},
          body.dump(-1, ' ', false, json::error_handler_t::replace),
          false};
}

HttpResponse error_response(int status, const std::string& message) {
  return json_response(status, {{"error", message}});
}

HttpResponse no_content() { return {204, {}, {}, false}; }

std::vector<std::string> path_segments(const std::string& target) {
  const std::string path = target.substr(0, target.find_first_of("?#"));
  std::vector<std::string> segments;
  std::size_t start = 1;
  if (path.empty() || path.front() != '/') return {"\x01"};  // matches no route
  while (start <= path.size()) {
    const auto slash = path.find('/', start);
    segments.push_back(path.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  if (segments.size() == 1 && segments[0].empty()) segments.clear();  // "/"
  return segments;
}

// The routes: what a path is and which methods it takes.
enum class Route {
  kPage,
  kModule,
  kHealth,
  kDisplays,
  kDisplay,
  kLines,
  kText,
  kClear,
  kMarquee,
  kEvents,
  kNone
};

Route route_of(const std::vector<std::string>& s) {
  if (s.empty()) return Route::kPage;
  if (s.size() == 1 && s[0] == "pole-display.js") return Route::kModule;
  if (s.size() < 2 || s[0] != "v1") return Route::kNone;
  if (s.size() == 2 && s[1] == "health") return Route::kHealth;
  if (s.size() == 2 && s[1] == "events") return Route::kEvents;
  if (s[1] != "displays") return Route::kNone;
  if (s.size() == 2) return Route::kDisplays;
  if (s[2].empty()) return Route::kNone;
  if (s.size() == 3) return Route::kDisplay;
  if (s.size() != 4) return Route::kNone;
  if (s[3] == "lines") return Route::kLines;
  if (s[3] == "text") return Route::kText;
  if (s[3] == "clear") return Route::kClear;
  if (s[3] == "marquee") return Route::kMarquee;
  return Route::kNone;
}

std::vector<std::string> methods_of(Route route) {
  switch (route) {
    case Route::kLines: return {"PUT"};
    case Route::kText:
    case Route::kClear: return {"POST"};
    case Route::kMarquee: return {"PUT", "DELETE"};
    case Route::kNone: return {};
    default: return {"GET"};
  }
}

std::string joined(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) out += (out.empty() ? "" : ", ") + item;
  return out;
}

bool is_json(const HttpRequest& request) {
  const std::string* type = request.header("Content-Type");
  if (type == nullptr) return false;
  std::string media = type->substr(0, type->find(';'));
  media.erase(media.find_last_not_of(" \t") + 1);
  media.erase(0, media.find_first_not_of(" \t"));
  return equal_ignoring_case(media, "application/json");
}

std::string trimmed_row(const varnel::CodePage& page, const RowBytes& row) {
  std::vector<std::uint8_t> bytes(row.begin(), row.end());
  while (!bytes.empty() && bytes.back() == ' ') bytes.pop_back();
  return to_utf8(page, bytes);
}

// A request's JSON fields, checked: a message for 400 or 422 when they do not fit.
struct Refusal {
  int status;
  std::string message;
};

std::optional<Refusal> integer_field(const json& body, const char* name, long long& value, bool required) {
  const auto found = body.find(name);
  if (found == body.end() || found->is_null()) {
    if (required) return Refusal{400, std::string("\"") + name + "\" is required"};
    return std::nullopt;
  }
  if (!found->is_number_integer()) return Refusal{400, std::string("\"") + name + "\" must be an integer"};
  value = found->is_number_unsigned()
              ? static_cast<long long>(std::min<std::uint64_t>(found->get<std::uint64_t>(), 1u << 30))
              : found->get<long long>();
  return std::nullopt;
}

std::optional<Refusal> text_field(const json& body, const char* name, std::string& value) {
  const auto found = body.find(name);
  if (found == body.end()) return Refusal{400, std::string("\"") + name + "\" is required"};
  if (!found->is_string()) return Refusal{400, std::string("\"") + name + "\" must be a string"};
  value = found->get<std::string>();
  return std::nullopt;
}

HttpResponse with_allow(HttpResponse response, const std::vector<std::string>& methods) {
  response.headers.emplace_back("Allow", joined(methods) + ", OPTIONS");
  return response;
}

// OPTIONS: the methods of the path, and the CORS preflight headers for a listed origin.
HttpResponse preflight(const HttpRequest& request, Route route, const std::vector<std::string>& methods,
                       bool listed_origin) {
  if (route == Route::kNone) return error_response(404, "no such path: " + request.target);
  HttpResponse answer = with_allow(no_content(), methods);
  if (listed_origin) {
    answer.headers.emplace_back("Access-Control-Allow-Methods", joined(methods));
    answer.headers.emplace_back("Access-Control-Allow-Headers", kAllowHeaders);
    answer.headers.emplace_back("Access-Control-Max-Age", "600");
  }
  return answer;
}

// 403 for a Host that is not one of the bridge's own names (while it listens on loopback).
std::optional<HttpResponse> host_refusal(const HandlerSettings& settings, const HttpRequest& request) {
  if (settings.own_hosts.empty()) return std::nullopt;
  const std::string* host = request.header("Host");
  const bool own = host != nullptr &&
                   std::any_of(settings.own_hosts.begin(), settings.own_hosts.end(),
                               [&](const std::string& name) { return equal_ignoring_case(*host, name); });
  if (own) return std::nullopt;
  return error_response(403, "host '" + (host ? *host : std::string()) + "' is not this bridge");
}

// 401 for a /v1/ request without the configured token.
std::optional<HttpResponse> token_refusal(const HandlerSettings& settings, const HttpRequest& request,
                                          const std::vector<std::string>& segments) {
  const bool api = !segments.empty() && segments[0] == "v1";
  if (!api || settings.token.empty()) return std::nullopt;
  const std::string* authorization = request.header("Authorization");
  const std::string scheme = "Bearer ";
  const bool bearer = authorization != nullptr && authorization->size() >= scheme.size() &&
                      equal_ignoring_case(authorization->substr(0, scheme.size()), scheme);
  if (bearer && tokens_match(authorization->substr(scheme.size()), settings.token)) return std::nullopt;
  HttpResponse refused =
      error_response(401, bearer ? "wrong token" : "an Authorization: Bearer token is required");
  refused.headers.emplace_back("WWW-Authenticate", "Bearer");
  return refused;
}

// The answers that need no display: the page, the module, health, the event stream's head.
std::optional<HttpResponse> fixed_answer(Route route, const WebAssets& assets) {
  switch (route) {
    case Route::kPage:
      return HttpResponse{200, {{"Content-Type", "text/html; charset=utf-8"}}, assets.page, false};
    case Route::kModule:
      return HttpResponse{200, {{"Content-Type", "text/javascript; charset=utf-8"}}, assets.module, false};
    case Route::kHealth: return json_response(200, {{"status", "ok"}});
    case Route::kEvents:
      return HttpResponse{
          200, {{"Content-Type", "text/event-stream"}, {"Cache-Control", "no-store"}}, {}, true};
    default: return std::nullopt;
  }
}

HttpResponse display_list(const std::vector<DisplayChannel*>& displays) {
  json list = json::array();
  for (const DisplayChannel* display : displays) {
    const auto state = display->snapshot();
    json item = {{"name", display->settings().name},
                 {"port", display->settings().port},
                 {"online", state.online},
                 {"code_page", display->settings().code_page}};
    if (!state.online) item["reason"] = state.reason;
    list.push_back(std::move(item));
  }
  return json_response(200, list);
}

HttpResponse display_state(const DisplayChannel& display) {
  const auto state = display.snapshot();
  const varnel::CodePage& page = display.code_page();
  json answer = {{"name", display.settings().name},
                 {"online", state.online},
                 {"lines", {trimmed_row(page, state.rows[0]), trimmed_row(page, state.rows[1])}}};
  if (!state.online) answer["reason"] = state.reason;
  return json_response(200, answer);
}

using Change = std::function<void(DisplayScreen&, DisplayScreen::Clock::time_point)>;
// A change to the screen, or why the request cannot make one.
using ChangeOrRefusal = std::variant<Change, Refusal>;

// PUT lines: {"lines": [row 0, row 1]}, a missing or null line blank.
ChangeOrRefusal lines_change(const json& body, const varnel::CodePage& page) {
  const auto lines = body.find("lines");
  if (lines == body.end()) return Refusal{400, "\"lines\" is required"};
  if (!lines->is_array()) return Refusal{400, "\"lines\" must be an array"};
  for (const json& line : *lines) {
    if (!line.is_string() && !line.is_null()) return Refusal{400, "each line must be a string or null"};
  }
  if (lines->size() > kRows)
    return Refusal{422, "\"lines\" holds " + std::to_string(lines->size()) + " lines; the display has 2"};
  ScreenRows rows{blank_row(), blank_row()};
  for (std::size_t i = 0; i < lines->size(); ++i) {
    if ((*lines)[i].is_null()) continue;
    const auto bytes = to_display_bytes(page, (*lines)[i].get<std::string>());
    if (!bytes) return Refusal{400, "line " + std::to_string(i + 1) + " is not UTF-8"};
    if (bytes->size() > kColumns)
      return Refusal{422, "line " + std::to_string(i + 1) + " has " + std::to_string(bytes->size()) +
                              " characters; the display shows 20"};
    std::copy(bytes->begin(), bytes->end(), rows[i].begin());
  }
  return Change([rows](DisplayScreen& screen, auto) { screen.set_lines(rows); });
}

// POST text: {"row", "column", "text"}, the rest of the screen kept.
ChangeOrRefusal text_change(const json& body, const varnel::CodePage& page) {
  long long row = 0;
  long long column = 0;
  std::string text;
  if (auto refused = integer_field(body, "row", row, true)) return *refused;
  if (auto refused = integer_field(body, "column", column, false)) return *refused;
  if (auto refused = text_field(body, "text", text)) return *refused;
  if (row < 0 || row >= static_cast<long long>(kRows)) return Refusal{422, "\"row\" must be 0 or 1"};
  if (column < 0 || column >= static_cast<long long>(kColumns))
    return Refusal{422, "\"column\" must be 0 to 19"};
  const auto bytes = to_display_bytes(page, text);
  if (!bytes) return Refusal{400, "\"text\" is not UTF-8"};
  const std::size_t room = kColumns - static_cast<std::size_t>(column);
  if (bytes->size() > room)
    return Refusal{422, "the text for line " + std::to_string(row + 1) + " has " +
                            std::to_string(bytes->size()) + " characters; " + std::to_string(room) +
                            " fit from column " + std::to_string(column)};
  return Change([row, column, text = *bytes](DisplayScreen& screen, auto) {
    screen.text_at(static_cast<std::size_t>(row), static_cast<std::size_t>(column), text);
  });
}

// PUT marquee: {"text", "row", "unit_wait_ms"}.
ChangeOrRefusal marquee_change(const json& body, const varnel::CodePage& page) {
  long long row = 0;
  long long unit_wait = 150;
  std::string text;
  if (auto refused = integer_field(body, "row", row, false)) return *refused;
  if (auto refused = integer_field(body, "unit_wait_ms", unit_wait, false)) return *refused;
  if (auto refused = text_field(body, "text", text)) return *refused;
  if (row < 0 || row >= static_cast<long long>(kRows)) return Refusal{422, "\"row\" must be 0 or 1"};
  if (unit_wait < kMinUnitWaitMs || unit_wait > kMaxUnitWaitMs)
    return Refusal{422, "\"unit_wait_ms\" must be 20 to 60000"};
  const auto bytes = to_display_bytes(page, text);
  if (!bytes) return Refusal{400, "\"text\" is not UTF-8"};
  if (bytes->size() > kMarqueeLimit)
    return Refusal{422, "the marquee text has " + std::to_string(bytes->size()) + " characters; at most 200"};
  return Change([row, unit_wait, text = *bytes](DisplayScreen& screen, DisplayScreen::Clock::time_point now) {
    screen.start_marquee(static_cast<std::size_t>(row), text, std::chrono::milliseconds(unit_wait), now);
  });
}

// The change a request to a display's resource asks for; `body` is its parsed JSON (null when
// the request carries none).
ChangeOrRefusal change_for(Route route, const std::string& method, const json& body,
                           const varnel::CodePage& page) {
  switch (route) {
    case Route::kLines: return lines_change(body, page);
    case Route::kText: return text_change(body, page);
    case Route::kMarquee:
      if (method == "PUT") return marquee_change(body, page);
      return Change([](DisplayScreen& screen, auto) {
        for (std::size_t row = 0; row < kRows; ++row) screen.stop_marquee(row);
      });
    default: return Change([](DisplayScreen& screen, auto) { screen.clear(); });
  }
}

// A request to one display: its state, or a change that answers 204 once the display shows it.
HttpResponse display_request(DisplayChannel& display, Route route, const HttpRequest& request,
                             std::chrono::milliseconds write_wait) {
  if (route == Route::kDisplay) return display_state(display);
  const bool needs_body = route == Route::kLines || route == Route::kText ||
                          (route == Route::kMarquee && request.method == "PUT");
  json body;
  if (needs_body) {
    if (!is_json(request)) return error_response(415, "the body must be application/json");
    body = json::parse(request.body, nullptr, false);
    if (body.is_discarded()) return error_response(400, "the body is not well-formed JSON (UTF-8)");
    if (!body.is_object()) return error_response(400, "the body must be a JSON object");
  }
  const ChangeOrRefusal change = change_for(route, request.method, body, display.code_page());
  if (const auto* refused = std::get_if<Refusal>(&change))
    return error_response(refused->status, refused->message);
  const Delivery delivery = display.apply(std::get<Change>(change), write_wait);
  if (delivery == Delivery::kShown) return no_content();
  return error_response(503, "display '" + display.settings().name + "' is offline: " + describe(delivery));
}

}  // namespace

bool tokens_match(std::string_view given, std::string_view expected) {
  unsigned difference = given.size() == expected.size() ? 0u : 1u;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const char other = i < given.size() ? given[i] : '\0';
    difference |=
        static_cast<unsigned>(static_cast<unsigned char>(expected[i]) ^ static_cast<unsigned char>(other));
  }
  return difference == 0;
}

RequestHandler::RequestHandler(HandlerSettings settings, std::vector<DisplayChannel*> displays,
                               WebAssets assets)
    : settings_(std::move(settings)), displays_(std::move(displays)), assets_(std::move(assets)) {}

bool RequestHandler::origin_allowed(const std::string& origin) const {
  return std::find(settings_.allowed_origins.begin(), settings_.allowed_origins.end(), origin) !=
         settings_.allowed_origins.end();
}

bool RequestHandler::same_origin(const HttpRequest& request, const std::string& origin) const {
  const std::string* host = request.header("Host");
  return host != nullptr && equal_ignoring_case(origin, "http://" + *host);
}

DisplayChannel* RequestHandler::find(const std::string& name) const {
  const auto found = std::find_if(displays_.begin(), displays_.end(), [&](const DisplayChannel* display) {
    return display->settings().name == name;
  });
  return found == displays_.end() ? nullptr : *found;
}

HttpResponse RequestHandler::handle(const HttpRequest& request) const {
  const std::string* origin = request.header("Origin");
  if (origin != nullptr && !origin_allowed(*origin) && !same_origin(request, *origin))
    return error_response(403, "origin '" + *origin + "' is not allowed");
  HttpResponse response = route(request);
  if (origin != nullptr && origin_allowed(*origin)) {
    response.headers.emplace_back("Access-Control-Allow-Origin", *origin);
    response.headers.emplace_back("Vary", "Origin");
  }
  return response;
}

HttpResponse RequestHandler::error_for(const HttpRequest& request, int status,
                                       const std::string& message) const {
  HttpResponse response = error_response(status, message);
  const std::string* origin = request.header("Origin");
  if (origin != nullptr && origin_allowed(*origin)) {
    response.headers.emplace_back("Access-Control-Allow-Origin", *origin);
    response.headers.emplace_back("Vary", "Origin");
  }
  return response;
}

std::vector<DisplayEvent> RequestHandler::current_states() const {
  std::vector<DisplayEvent> states;
  for (const DisplayChannel* display : displays_) {
    const auto state = display->snapshot();
    states.push_back({0, display->settings().name, state.online, state.reason});
  }
  return states;
}

HttpResponse RequestHandler::route(const HttpRequest& request) const {
  const std::vector<std::string> segments = path_segments(request.target);
  const Route route = route_of(segments);
  const std::vector<std::string> methods = methods_of(route);
  if (request.method == "OPTIONS") {
    const std::string* origin = request.header("Origin");
    return preflight(request, route, methods, origin != nullptr && origin_allowed(*origin));
  }
  if (auto refused = host_refusal(settings_, request)) return *refused;
  if (auto refused = token_refusal(settings_, request, segments)) return *refused;
  if (route == Route::kNone) return error_response(404, "no such path: " + request.target);
  if (std::find(methods.begin(), methods.end(), request.method) == methods.end())
    return with_allow(error_response(405, request.method + " is not allowed here; use " + joined(methods)),
                      methods);
  if (request.body.size() > kBodyLimit) return error_response(413, "the body is over 4096 bytes");
  if (auto answer = fixed_answer(route, assets_)) return *answer;
  if (route == Route::kDisplays) return display_list(displays_);
  DisplayChannel* display = find(segments[2]);
  if (display == nullptr) return error_response(404, "no display named '" + segments[2] + "'");
  return display_request(*display, route, request, settings_.write_wait);
}

}  // namespace bridge
