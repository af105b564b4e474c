// CHttpsClientConfig: what one HTTPS client does: proxy, user agent, client certificate, status
// check, time-outs and the download limit.
#pragma once

#include <cstdint>
#include <string>

#include "http/client_certificate_source.h"
#include "http/https_client_proxy_config.h"

namespace lyr::http {

struct CHttpsClientConfig {
  // The default limit of a response body: 64 MiB, far above any certificate or revocation list.
  static constexpr int64_t kDefaultMaxContentSize = int64_t{64} * 1024 * 1024;

  CHttpsClientProxyConfig ProxyConfig;
  // SHA-1 thumbprint (hexadecimal text) of a certificate in the user's "MY" store to present when
  // the server asks for client authentication; empty: none. CertificateSource finds it.
  std::string ClientCertificate;
  // False: always connect directly. True: through ProxyConfig.Host when it is set, else through
  // the system's proxy settings (the standard proxy environment variables http_proxy,
  // https_proxy, all_proxy and no_proxy).
  bool UseProxy = true;
  std::string UserAgent;     // empty: "LYR-KORAL-HTTPSClient"
  bool CheckStatus = false;  // true: a status other than 200 raises CHttpStatusException
  // Milliseconds; 0 or less: the client's own default (60 s to connect, 30 s without data).
  int32_t ConnectTimeout = 0;
  int32_t ReceiveTimeout = 0;
  // Largest response body accepted, in bytes; a larger one fails the download.
  int64_t MaxContentSize = kDefaultMaxContentSize;
  // Supplies the certificate named by ClientCertificate; unset: no client certificate can be
  // found.
  ClientCertificateSource CertificateSource;
};

}  // namespace lyr::http
