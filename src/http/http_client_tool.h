// CHTTPClientTool: downloading from the first of several addresses that works.
#pragma once

#include <string>
#include <string_view>

#include "http/https_client_config.h"

namespace lyr::http {

class CHTTPClientTool final {
 public:
  // Tries the comma-separated addresses of urls in order (each trimmed of surrounding blanks,
  // blank ones skipped), each with a fresh default CHttpsClient, and returns the first body that
  // downloads. When every address failed, fails with the attempts' texts joined by ", ", each the
  // error message followed by the address in square brackets (its "%" signs written as blanks).
  // Returns an empty content when every piece is blank. An empty urls fails with
  // "Передан пустой аргумент: url".
  static std::string DownloadFromAnyUrl(std::string_view urls);
  // As above, with a client configured as config instead of a default one: a caller that owns
  // a certificate store passes the source of client certificates (and the thumbprint of the one
  // to present) this way, or a proxy, time-outs, a status check.
  static std::string DownloadFromAnyUrl(std::string_view urls, const CHttpsClientConfig& config);
};

}  // namespace lyr::http
