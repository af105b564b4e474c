// The client certificate the HTTPS client presents, taken from the user's "MY" store with the
// private key of the key container the certificate is bound to.
#pragma once

#include <optional>
#include <string_view>

#include "http/client_certificate_source.h"

namespace lyr::crypt {

// The certificate of the current user's "MY" store whose SHA-1 hash is sha1 (20 bytes), with the
// private key of its key container (the key-provider binding; a machine-key-set binding is looked
// up at the local machine) as unencrypted PKCS#8 PEM. Nothing when the store holds no such
// certificate or sha1 is not 20 bytes. Raises ECryptError CRYPT_E_NO_KEY_PROPERTY when the
// certificate is bound to no container, NTE_BAD_KEYSET when the container does not exist,
// NTE_BAD_PUBLIC_KEY when its key is not the certificate's, and the errors of
// KeyContainer::GetPrivateKey. The caller cleanses PrivateKey after use (CHttpsClient does).
std::optional<http::ClientCertificate> FindMyClientCertificate(std::string_view sha1);

// FindMyClientCertificate as the HTTPS client's certificate source
// (CHttpsClientConfig::CertificateSource).
http::ClientCertificateSource MyClientCertificateSource();

}  // namespace lyr::crypt
