// What the console's server hands to the host for each /api request, and what it answers;
// plus the small text helpers both sides share (query strings, JSON strings).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellix::device::console {

struct ApiRequest {
  std::string method;  // "GET", "POST", "DELETE"
  std::string path;    // decoded, without the query, e.g. "/api/contacts"
  std::multimap<std::string, std::string> query;
  std::string body;

  // The first value of a query parameter, or nullopt.
  std::optional<std::string> Param(const std::string& name) const;
  std::vector<std::string> Params(const std::string& name) const;
};

struct ApiReply {
  int status = 200;
  std::string content_type = "application/json";
  std::string body;
  // The device was booted anew: the pages start again from a whole frame and a new journal.
  bool device_restarted = false;

  static ApiReply Json(std::string body) { return ApiReply{200, "application/json", std::move(body)}; }
  // {"error": message} with `status`.
  static ApiReply Error(int status, std::string_view message);
};

// Splits a request target into its path and its query parameters, decoding %XX and "+".
// Nullopt for a target that does not start with "/", has a bad escape or a NUL byte.
struct Target {
  std::string path;
  std::multimap<std::string, std::string> query;
};
std::optional<Target> ParseTarget(std::string_view target);

// `text` as a JSON string literal, quotes included. Invalid UTF-8 bytes become U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace pellix::device::console
