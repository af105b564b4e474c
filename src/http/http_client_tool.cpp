// CHTTPClientTool.
#include "http/http_client_tool.h"

#include <algorithm>

#include "http/https_client.h"
#include "rtl/errors.h"
#include "rtl/str_array.h"
#include "rtl/trace.h"
#include "rtl/value_check_tool.h"

namespace lyr::http {
namespace {

// The text of a failed attempt: the message, then the address in square brackets with its "%"
// signs blanked (the joined text goes through the trace's formatting).
std::string AttemptText(std::string url, const std::string& message) {
  std::replace(url.begin(), url.end(), '%', ' ');
  return rtl::Format("%1:s[%0:s]", url, message);
}

}  // namespace

std::string CHTTPClientTool::DownloadFromAnyUrl(std::string_view urls) {
  return DownloadFromAnyUrl(urls, CHttpsClientConfig{});
}

std::string CHTTPClientTool::DownloadFromAnyUrl(std::string_view urls,
                                                const CHttpsClientConfig& config) {
  rtl::CValueCheckTool::CheckNotEmpty(urls, "url");
  CHttpsClient client;
  client.Config = config;
  rtl::CStrArray list;
  list.SetDelimited(urls, ',');
  std::string failures;
  for (int32_t index = 0; index < list.Count(); ++index) {
    const std::string& url = list.Strings(index);
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
