// CHTTPClientTool.
#include "http/http_client_tool.h"

#include <algorithm>
#include <vector>

#include "http/https_client.h"
#include "rtl/errors.h"
#include "rtl/trace.h"
#include "rtl/value_check_tool.h"

namespace lyr::http {
namespace {

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && blank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// The pieces of text between commas, trimmed; the piece after the last comma counts too.
std::vector<std::string> SplitList(std::string_view text) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    pieces.emplace_back(Trim(text.substr(start, comma - start)));
    if (comma == std::string_view::npos) {
      return pieces;
    }
    start = comma + 1;
  }
}

// The text of a failed attempt: the message, then the address in square brackets with its "%"
// signs blanked (the joined text goes through the trace's formatting).
std::string AttemptText(std::string url, const std::string& message) {
  std::replace(url.begin(), url.end(), '%', ' ');
  return rtl::Format("%1:s[%0:s]", url, message);
}

}  // namespace

std::string CHTTPClientTool::DownloadFromAnyUrl(std::string_view urls) {
  rtl::CValueCheckTool::CheckNotEmpty(urls, "url");
  CHttpsClient client;
  std::string failures;
  for (const std::string& url : SplitList(urls)) {
    if (url.empty()) {
      continue;
    }
    try {
      return client.Get(url);
    } catch (const rtl::Exception& error) {
      if (!failures.empty()) {
        failures += ", ";
      }
      failures += AttemptText(url, error.Message());
    }
  }
  if (!failures.empty()) {
    rtl::DebugLog("%s", failures);
    rtl::Raise(failures);
  }
  return {};
}

}  // namespace lyr::http
