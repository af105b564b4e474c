// Where the HTTPS client gets the certificate it presents when a server asks for client
// authentication. The crypto layer, which owns the "MY" store and the key containers, supplies it;
// the client itself knows no stores.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace lyr::http {

// A certificate with its private key.
struct ClientCertificate {
  std::string Certificate;  // DER (or PEM) encoding of the X.509 certificate
  std::string PrivateKey;   // the unencrypted private key, PKCS#8 DER or PEM; cleansed after use
};

// Looks a certificate up by the SHA-1 hash of its encoding (20 bytes, not hexadecimal text) in the
// user's "MY" store and returns it with its private key, or nothing when there is none. May throw
// an Exception, which the client reports as the certificate not being found.
using ClientCertificateSource = std::function<std::optional<ClientCertificate>(const std::string&)>;

}  // namespace lyr::http
