// CCryptoProvider over provider contexts.
#include "crypt/crypto_provider.h"

#include "crypt/platform/crypt_error.h"
#include "crypt/platform/key_container.h"
#include "rtl/errors.h"
#include "rtl/trace.h"

namespace lyr::crypt {
namespace {

// The platform's message text for a code (what FormatMessage gives), at most 256 characters.
std::string MessageText(uint32_t error_code) {
  const CryptErrorInfo* info = FindCryptError(error_code);
  std::string text = info != nullptr ? std::string(info->text) : std::string("Unknown error");
  if (text.size() > 256) {
    text.resize(256);
  }
  return text;
}

}  // namespace

CCryptoProvider::~CCryptoProvider() {
  try {
    Close();
  } catch (const rtl::Exception& error) {
    rtl::DebugLog(rtl::Msg(u8"CCryptoProvider.Destroy: Close() вызвал исключение, возможно еще "
                           u8"используется, удалим позже: %s"),
                  error.Message());
  } catch (...) {
    rtl::DebugLog("CCryptoProvider.Destroy");
  }
}

void CCryptoProvider::SetMachineKeySet(bool flag) {
  if (!opened_) {
    machine_key_set_ = flag;
  }
}

void CCryptoProvider::AcquireContext(uint32_t provider_type, const char* container,
                                     bool /*tolerate*/, bool new_key_set) {
  if (opened_) {
    Close();
  }
  if (container != nullptr) {
    container_.Open(container);
  }
  flags_ = 0;
  provider_type_ = provider_type;
  if (!container_.Present()) {
    flags_ |= acquire::kVerifyContext;
  } else if (new_key_set) {
    flags_ |= acquire::kNewKeyset;
  }
  if (machine_key_set_) {
    flags_ |= acquire::kMachineKeyset;
  }
  if (silent_) {
    flags_ |= acquire::kSilent;
  }
  try {
    const char* name = container_.Value();
    handle_ = ProviderContext::Acquire(
        name != nullptr ? std::optional<std::string_view>(name) : std::nullopt, provider_name_,
        provider_type, flags_);
  } catch (const ECryptError& error) {
    rtl::Raise("CCryptoProvider.AcquireContext\n\r" + MessageText(error.ErrorCode()));
  }
  opened_ = true;
}

void CCryptoProvider::AcquireVerifyContext(uint32_t provider_type, bool tolerate) {
  AcquireContext(provider_type, nullptr, tolerate, false);
}

void CCryptoProvider::EnumerateContainers(std::vector<std::string>& list, uint32_t provider_type) {
  list.clear();
  AcquireVerifyContext(provider_type, false);
  for (std::string& name : KeyContainer::Enumerate(handle_->KeyLocation())) {
    if (name.size() > 260) {
      name.resize(260);
    }
    list.push_back(std::move(name));
  }
  SetLastCryptError(code::kErrorNoMoreItems);
}

void CCryptoProvider::Close() {
  if (!opened_) {
    return;
  }
  opened_ = false;
  handle_.reset();
  provider_type_ = 0;
  provider_name_.clear();
  container_.Close();
}

}  // namespace lyr::crypt
