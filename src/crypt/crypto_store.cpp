// CCryptoStore over the crypto layer's CertStore.
#include "crypt/crypto_store.h"

#include "crypt/crypto_provider.h"
#include "crypt/platform/crypt_error.h"
#include "rtl/trace.h"

namespace lyr::crypt {

CCryptoStore::CCryptoStore() {
  objects_.SetOwnershipMode(rtl::StrArrayOwnership::kDestroy);
}

CCryptoStore::~CCryptoStore() {
  try {
    Close();
  } catch (const std::exception& error) {
    rtl::DebugLog("CCryptoStore.Destroy: %s", std::string_view(error.what()));
  }
}

void CCryptoStore::Open(uint32_t store_provider_kind, std::string_view parameter) {
  Close();
  try {
    switch (store_provider_kind) {
      case store_provider::kSystemW: {
        const bool machine = provider_ != nullptr && provider_->MachineKeySet();
        store_ = CertStore::OpenSystem(
            machine ? StoreLocation::kLocalMachine : StoreLocation::kCurrentUser, parameter);
        break;
      }
      case store_provider::kMemory:
        store_ = CertStore::OpenMemory();
        break;
      case store_provider::kPkcs7:
        store_ = CertStore::OpenPkcs7(parameter);
        break;
      default:
        SetLastCryptError(code::kEInvalidArg, "(store provider kind)");
        RaiseLastCryptOSError();
    }
  } catch (const ECryptError&) {
    RaiseLastCryptOSError();
  }
}

void CCryptoStore::Close() {
  store_.reset();
}

}  // namespace lyr::crypt
