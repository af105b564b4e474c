// CHttpsClient: one blocking HTTP(S) GET download.
#pragma once

#include <string>
#include <string_view>

#include "http/https_client_config.h"
#include "rtl/startup.h"

namespace lyr::http {

class CHttpsClient final {
 public:
  // A client with the default configuration. Starts libcurl's global state if no one has yet.
  CHttpsClient();

  // Downloads url with one GET request and returns the body unchanged.
  // The address is taken apart as ParseUrl says: the secure scheme goes to port 443 and any other
  // to port 80 unless a port of 1 or above is given. Redirects to http and https addresses are
  // followed (at most 5). Server certificates are not checked: what is downloaded (certificates,
  // revocation lists) carries its own signature.
  // Errors: "Передан пустой URL" for an empty url; "Не удалось соединиться с сервером: %s (код %d)"
  // with the Internet-client code and its text for a transport failure (12002 time-out, 12007
  // name not resolved, 12029 cannot connect, 12030 connection terminated, 12044 client
  // certificate needed, ...); "Ошибка получения контекста сертификата" when the certificate named
  // by Config.ClientCertificate cannot be had; "Ответ сервера больше допустимого размера (%d
  // байт)" for a body above Config.MaxContentSize; CHttpStatusException for a status other than
  // 200 when Config.CheckStatus is set.
  std::string Get(std::string_view url);

  CHttpsClientConfig Config;

 private:
  rtl::StartupLease curl_;
};

}  // namespace lyr::http
