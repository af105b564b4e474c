// tdx880 fetch: downloads from the first of several addresses that works, as the chain builder
// downloads certificates and revocation lists, presenting a client certificate of "MY" when the
// server asks for one.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "crypt/my_client_certificate.h"
#include "crypt_options.h"
#include "http/http_client_tool.h"
#include "options.h"
#include "rtl/errors.h"
#include "rtl/whole_file.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

constexpr std::string_view kFetchUsage = "fetch URL[,URL...] [-o FILE] [--client-cert THUMBPRINT]";

// fetch URL[,URL...] [-o FILE] [--client-cert THUMBPRINT]
int RunFetch(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(arguments, {"-o", "--client-cert"});
  if (!options || options->positional.size() != 1) {
    return UsageError(kFetchUsage);
  }
  http::CHttpsClientConfig config;
  config.CertificateSource = crypt::MyClientCertificateSource();
  if (options->Has("--client-cert")) {
    const std::optional<std::string> thumbprint = NormalThumbprint(options->Value("--client-cert"));
    if (!thumbprint) {
      std::fprintf(stderr, "tdx880: '%s' is not a SHA-1 thumbprint (40 hexadecimal digits)\n",
                   options->Value("--client-cert").c_str());
      return kUsageError;
    }
    config.ClientCertificate = *thumbprint;
  }
  const std::string body =
      http::CHTTPClientTool::DownloadFromAnyUrl(FromTerminal(options->positional[0]), config);
  if (options->Has("-o")) {
    rtl::WriteStringToFile(FromTerminal(options->Value("-o")), body);
  } else {
    PrintBytes(body);
  }
  return 0;
}

}  // namespace

std::vector<Command> FetchCommands() {
  return {{"fetch", "URL[,URL...] [-o FILE] [--client-cert THUMBPRINT]",
           "download the body of the first comma-separated address that works (HTTP or HTTPS, "
           "proxy from http_proxy/https_proxy) to FILE or standard output; when the server asks "
           "for a client certificate, the one of MY with that thumbprint is presented with the "
           "key of its container; when every address fails, the attempts' errors go to standard "
           "error and the exit status is 1",
           &Guarded<&RunFetch>}};
}

}  // namespace lyr::tool
