// Provider contexts over the GOST engine and the key containers on disk.
#include "crypt/provider_context.h"

#include "crypt/platform/crypt_error.h"
#include "crypt/platform/key_container.h"

namespace lyr::crypt {

std::shared_ptr<const ProviderContext> ProviderContext::Acquire(
    std::optional<std::string_view> container, std::string_view provider_name,
    uint32_t provider_type, uint32_t flags) {
  if (provider_type != kGostProviderType) {
    RaiseCryptError(code::kNteProvTypeNotDef);
  }
  if (!provider_name.empty() && provider_name != kGostProviderName) {
    RaiseCryptError(code::kNteKeysetNotDef);
  }
  std::shared_ptr<ProviderContext> context(new ProviderContext());
  context->provider_name_ = std::string(kGostProviderName);
  context->provider_type_ = provider_type;
  context->location_ = (flags & acquire::kMachineKeyset) != 0 ? StoreLocation::kLocalMachine
                                                              : StoreLocation::kCurrentUser;
  const bool verify = (flags & acquire::kVerifyContext) == acquire::kVerifyContext;
  if (verify) {
    if (container && !container->empty()) {
      RaiseCryptError(code::kNteBadKeysetParam, "(a verification context has no container)");
    }
    return context;
  }
  if (!container || container->empty()) {
    RaiseCryptError(code::kNteBadKeysetParam, "(no container)");
  }
  if ((flags & acquire::kNewKeyset) != 0) {
    KeyContainer::Create(context->location_, *container);
  } else if (!KeyContainer::Exists(context->location_, *container)) {
    RaiseCryptError(code::kNteBadKeyset);
  }
  context->container_ = std::string(*container);
  return context;
}

}  // namespace lyr::crypt
