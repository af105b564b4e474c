// Private to src/crypt/platform: the OpenSSL key behind a PrivateKey.
#pragma once

#include "crypt/platform/ossl.h"
#include "crypt/platform/private_key.h"

namespace lyr::crypt {

struct PrivateKey::Impl {
  ossl::EvpPkeyPtr key;
};

struct PrivateKeyAccess {
  static EVP_PKEY* Native(const PrivateKey& key) noexcept { return key.impl_->key.get(); }
  static PrivateKey Wrap(ossl::EvpPkeyPtr key) {
    auto impl = std::make_shared<PrivateKey::Impl>();
    impl->key = std::move(key);
    return PrivateKey(std::move(impl));
  }
};

}  // namespace lyr::crypt
