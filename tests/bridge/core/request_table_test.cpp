// Requests in, status and display bytes out: one table over a fresh bridge per case.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bridge/core/request_handler.h"
#include "tests/bridge/core/fake_port.h"

namespace bridge {
namespace {

using testing::Bytes;
using testing::FakePort;

// What the display gets for one row drawn from its first column: the cursor command, then 20 codes.
Bytes row(int index, const Bytes& codes) {
  Bytes out{0x1F, 0x24, 0x00, static_cast<std::uint8_t>(index + 1)};
  out.insert(out.end(), codes.begin(), codes.end());
  out.resize(out.size() + 20 - codes.size(), ' ');
  return out;
}
Bytes row(int index, const std::string& ascii) { return row(index, Bytes(ascii.begin(), ascii.end())); }
Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}
Bytes clear_bytes() { return {0x0C}; }

struct Case {
  const char* name;
  std::string method;
  std::string target;
  std::string body;
  HeaderList headers;  // beyond Host (and Content-Type for a body)
  int status;
  Bytes bytes;                      // everything the display received
  std::string error_contains = {};  // for an error: part of its message
  std::string token = {};           // the bridge's token, when it asks for one
};

std::string too_long_line() { return std::string(21, 'x'); }

std::vector<Case> cases() {
  const std::string lines = "/v1/displays/pos/lines";
  const std::string text = "/v1/displays/pos/text";
  return {
      {"two lines",
       "PUT",
       lines,
       R"({"lines":["Hello","World"]})",
       {},
       204,
       cat({clear_bytes(), row(0, "Hello"), row(1, "World")})},
      {"a missing line is blank",
       "PUT",
       lines,
       R"({"lines":["Only"]})",
       {},
       204,
       cat({clear_bytes(), row(0, "Only")})},
      {"a null line is blank",
       "PUT",
       lines,
       R"({"lines":[null,"Two"]})",
       {},
       204,
       cat({clear_bytes(), row(1, "Two")})},
      {"no lines clears", "PUT", lines, R"({"lines":[]})", {}, 204, clear_bytes()},
      {"code page 858: euro and e acute",
       "PUT",
       lines,
       R"({"lines":["5 €","café"]})",
       {},
       204,
       cat({clear_bytes(), row(0, Bytes{'5', ' ', 0xD5}), row(1, Bytes{'c', 'a', 'f', 0x82})})},
      {"unmappable and control characters show ?",
       "PUT",
       lines,
       "{\"lines\":[\"a\\u0007b\\u001fc\",\"日本\"]}",
       {},
       204,
       cat({clear_bytes(), row(0, "a?b?c"), row(1, "??")})},
      {"a character beyond 16 bits is one ?",
       "PUT",
       lines,
       R"({"lines":["a😀b"]})",
       {},
       204,
       cat({clear_bytes(), row(0, "a?b")})},
      {"exactly 20 characters",
       "PUT",
       lines,
       R"({"lines":["12345678901234567890"]})",
       {},
       204,
       cat({clear_bytes(), row(0, "12345678901234567890")})},
      {"text at a place",
       "POST",
       text,
       R"({"row":1,"column":5,"text":"Hi"})",
       {},
       204,
       cat({clear_bytes(), row(1, "     Hi")})},
      {"text that fills the row",
       "POST",
       text,
       R"({"row":0,"column":15,"text":"12345"})",
       {},
       204,
       cat({clear_bytes(), row(0, "               12345")})},
      {"clear", "POST", "/v1/displays/pos/clear", "", {}, 204, clear_bytes()},
      {"marquee enters from the right",
       "PUT",
       "/v1/displays/pos/marquee",
       R"({"text":"Sale","row":1,"unit_wait_ms":60000})",
       {},
       204,
       clear_bytes()},
      {"marquee stopped", "DELETE", "/v1/displays/pos/marquee", "", {}, 204, clear_bytes()},
      {"charset parameter",
       "PUT",
       lines,
       R"({"lines":["A"]})",
       {{"Content-Type", "application/json; charset=utf-8"}},
       204,
       cat({clear_bytes(), row(0, "A")})},
      {"listed origin",
       "PUT",
       lines,
       R"({"lines":["A"]})",
       {{"Origin", "https://pos.example"}},
       204,
       cat({clear_bytes(), row(0, "A")})},
      {"the bridge's own page",
       "PUT",
       lines,
       R"({"lines":["A"]})",
       {{"Origin", "http://127.0.0.1:8765"}},
       204,
       cat({clear_bytes(), row(0, "A")})},
      {"right token",
       "PUT",
       lines,
       R"({"lines":["A"]})",
       {{"Authorization", "Bearer s3cret"}},
       204,
       cat({clear_bytes(), row(0, "A")}),
       "",
       "s3cret"},

      {"foreign origin",
       "PUT",
       lines,
       R"({"lines":["A"]})",
       {{"Origin", "https://evil.example"}},
       403,
       {},
       "origin"},
      {"foreign origin not in UTF-8",
       "GET",
       "/v1/health",
       "",
       {{"Origin", "https://\xff\xfe.example"}},
       403,
       {},
       "origin"},
      {"foreign origin's preflight",
       "OPTIONS",
       lines,
       "",
       {{"Origin", "https://evil.example"}},
       403,
       {},
       "origin"},
      {"a page of another name on loopback",
       "PUT",
       lines,
       R"({"lines":["A"]})",
       {{"Origin", "http://rebound.example:8765"}, {"Host", "rebound.example:8765"}},
       403,
       {},
       "host"},
      {"missing token", "PUT", lines, R"({"lines":["A"]})", {}, 401, {}, "Bearer", "s3cret"},
      {"wrong token",
       "PUT",
       lines,
       R"({"lines":["A"]})",
       {{"Authorization", "Bearer s3cres"}},
       401,
       {},
       "wrong",
       "s3cret"},
      {"token of another length",
       "GET",
       "/v1/health",
       "",
       {{"Authorization", "Bearer s3"}},
       401,
       {},
       "wrong",
       "s3cret"},
      {"unknown path", "GET", "/v1/nothing", "", {}, 404, {}, "no such path"},
      {"unknown display", "PUT", "/v1/displays/other/lines", R"({"lines":["A"]})", {}, 404, {}, "other"},
      {"unknown display state", "GET", "/v1/displays/other", "", {}, 404, {}, "other"},
      {"wrong method", "DELETE", lines, "", {}, 405, {}, "PUT"},
      {"body over 4 KiB",
       "PUT",
       lines,
       "{\"lines\":[\"" + std::string(4100, 'a') + "\"]}",
       {},
       413,
       {},
       "4096"},
      {"not JSON",
       "PUT",
       lines,
       R"({"lines":["A"]})",
       {{"Content-Type", "text/plain"}},
       415,
       {},
       "application/json"},
      {"malformed JSON", "PUT", lines, R"({"lines":["A")", {}, 400, {}, "JSON"},
      {"malformed UTF-8", "PUT", lines, "{\"lines\":[\"\xC3\x28\"]}", {}, 400, {}, "JSON"},
      {"not an object", "PUT", lines, R"(["A"])", {}, 400, {}, "object"},
      {"lines not an array", "PUT", lines, R"({"lines":"A"})", {}, 400, {}, "array"},
      {"a line not a string", "PUT", lines, R"({"lines":[1]})", {}, 400, {}, "string"},
      {"lines missing", "PUT", lines, R"({})", {}, 400, {}, "required"},
      {"row not an integer", "POST", text, R"({"row":"0","text":"A"})", {}, 400, {}, "integer"},
      {"text not a string", "POST", text, R"({"row":0,"text":5})", {}, 400, {}, "string"},
      {"line 2 over 20 characters",
       "PUT",
       lines,
       R"({"lines":["ok",")" + too_long_line() + R"("]})",
       {},
       422,
       {},
       "line 2 has 21"},
      {"three lines", "PUT", lines, R"({"lines":["a","b","c"]})", {}, 422, {}, "3 lines"},
      {"row out of range", "POST", text, R"({"row":2,"text":"A"})", {}, 422, {}, "row"},
      {"column out of range", "POST", text, R"({"row":0,"column":20,"text":"A"})", {}, 422, {}, "column"},
      {"text past the row's end",
       "POST",
       text,
       R"({"row":0,"column":15,"text":"123456"})",
       {},
       422,
       {},
       "5 fit"},
      {"marquee too fast",
       "PUT",
       "/v1/displays/pos/marquee",
       R"({"text":"A","unit_wait_ms":5})",
       {},
       422,
       {},
       "unit_wait_ms"},
  };
}

class RequestTable : public ::testing::TestWithParam<Case> {};

TEST_P(RequestTable, StatusAndDisplayBytes) {
  const Case& c = GetParam();
  FakePort port;
  EventFeed events;
  DisplayChannel channel({"pos", "/dev/fake", 9600, 858}, *varnel::find_code_page(858), port, events);
  HandlerSettings settings;
  settings.allowed_origins = {"https://pos.example"};
  settings.own_hosts = {"127.0.0.1:8765", "localhost:8765"};
  settings.token = c.token;
  const RequestHandler handler(settings, {&channel}, {"<html>", "export {}"});

  HttpRequest request{c.method, c.target, {}, c.body};
  const bool host_given =
      std::any_of(c.headers.begin(), c.headers.end(), [](auto& h) { return h.first == "Host"; });
  const bool type_given =
      std::any_of(c.headers.begin(), c.headers.end(), [](auto& h) { return h.first == "Content-Type"; });
  if (!host_given) request.headers.emplace_back("Host", "127.0.0.1:8765");
  if (!type_given && !c.body.empty()) request.headers.emplace_back("Content-Type", "application/json");
  request.headers.insert(request.headers.end(), c.headers.begin(), c.headers.end());

  const HttpResponse response = handler.handle(request);
  EXPECT_EQ(response.status, c.status) << response.body;
  Bytes all;
  for (const Bytes& write : port.writes()) all.insert(all.end(), write.begin(), write.end());
  EXPECT_EQ(all, c.bytes);
  if (c.status >= 400) {
    const auto body = nlohmann::json::parse(response.body, nullptr, false);
    ASSERT_TRUE(body.is_object() && body.contains("error")) << response.body;
    EXPECT_NE(body["error"].get<std::string>().find(c.error_contains), std::string::npos) << response.body;
  }
  const std::string* allow_origin = response.header("Access-Control-Allow-Origin");
  const bool listed = std::any_of(c.headers.begin(), c.headers.end(),
                                  [](auto& h) { return h.second == "https://pos.example"; });
  EXPECT_EQ(allow_origin != nullptr, listed);
}

INSTANTIATE_TEST_SUITE_P(Bridge, RequestTable, ::testing::ValuesIn(cases()), [](const auto& info) {
  std::string name;
  for (const char c : std::string(info.param.name))
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
});

// Reads that change nothing: health, the list, one display's lines, the preflight and the page.
TEST(RequestReads, AnswerWhatTheBridgeHolds) {
  FakePort port;
  EventFeed events;
  DisplayChannel channel({"ru", "/dev/fake", 9600, 866}, *varnel::find_code_page(866), port, events);
  HandlerSettings settings;
  settings.allowed_origins = {"https://pos.example"};
  const RequestHandler handler(settings, {&channel}, {"<html>page", "export const x = 1;"});
  const auto get = [&](const std::string& target, HeaderList headers = {}) {
    return handler.handle({"GET", target, std::move(headers), ""});
  };

  EXPECT_EQ(nlohmann::json::parse(get("/v1/health").body), (nlohmann::json{{"status", "ok"}}));
  ASSERT_EQ(handler
                .handle({"PUT",
                         "/v1/displays/ru/lines",
                         {{"Content-Type", "application/json"}},
                         R"({"lines":["Привет","  итог 5"]})"})
                .status,
            204);
  EXPECT_EQ(port.shown()[0].substr(0, 6), "\x8F\xE0\xA8\xA2\xA5\xE2");  // "Привет" in 866
  EXPECT_EQ(nlohmann::json::parse(get("/v1/displays/ru").body),
            (nlohmann::json{{"name", "ru"}, {"online", true}, {"lines", {"Привет", "  итог 5"}}}));
  EXPECT_EQ(nlohmann::json::parse(get("/v1/displays").body),
            nlohmann::json::parse(R"([{"name":"ru","port":"/dev/fake","online":true,"code_page":866}])"));

  const HttpResponse preflight =
      handler.handle({"OPTIONS",
                      "/v1/displays/ru/marquee",
                      {{"Origin", "https://pos.example"}, {"Access-Control-Request-Method", "PUT"}},
                      ""});
  EXPECT_EQ(preflight.status, 204);
  ASSERT_NE(preflight.header("Access-Control-Allow-Methods"), nullptr);
  EXPECT_EQ(*preflight.header("Access-Control-Allow-Methods"), "PUT, DELETE");
  EXPECT_NE(preflight.header("Access-Control-Allow-Headers")->find("Authorization"), std::string::npos);

  EXPECT_EQ(get("/").body, "<html>page");
  EXPECT_EQ(*get("/pole-display.js").header("Content-Type"), "text/javascript; charset=utf-8");
  EXPECT_TRUE(get("/v1/events").event_stream);
}

// Constant-time comparison still compares.
TEST(Tokens, MatchOnlyWhenEqual) {
  EXPECT_TRUE(tokens_match("abc", "abc"));
  EXPECT_FALSE(tokens_match("abd", "abc"));
  EXPECT_FALSE(tokens_match("ab", "abc"));
  EXPECT_FALSE(tokens_match("abcd", "abc"));
  EXPECT_FALSE(tokens_match(std::string("ab\0", 3), "ab"));
}

}  // namespace
}  // namespace bridge
