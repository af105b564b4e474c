// CHttpsClientProxyConfig: the named proxy of the HTTPS client and its credentials.
#pragma once

#include <string>

namespace lyr::http {

struct CHttpsClientProxyConfig {
  std::string Host;      // proxy host name or address; empty: no named proxy
  std::string Port;      // proxy port, as text
  std::string UserName;  // proxy user name; empty: no credentials are given to the proxy
  std::string Password;  // proxy password
};

}  // namespace lyr::http
