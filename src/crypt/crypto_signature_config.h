// CCryptoSignatureConfig: the settings of one signing or verification (provider, store location,
// verification flags, certificate inclusion) and the chain builder used after a good signature.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "crypt/platform/certificate.h"
#include "crypt/platform/store_location.h"
#include "rtl/base_class.h"

namespace lyr::crypt {

class CCryptoProvider;

// Verification flags of CCryptoSignatureConfig.
namespace verify_flags {
inline constexpr uint8_t kDownloadCa = 2;        // the chain builder may download CA certificates
inline constexpr uint8_t kCheckChain = 4;        // build and check each signer's chain
inline constexpr uint8_t kDownloadCrl = 8;       // the chain builder may download CRLs
inline constexpr uint8_t kRevocationCheck = 16;  // check revocation at the signing date
}  // namespace verify_flags

// Certificate inclusion value that puts the signer's certificate into a signature.
inline constexpr uint8_t kIncludeSignerCertificate = 2;

// What a verification hands to the chain builder when it opens it.
struct SignerChainSettings {
  StoreLocation store_location = StoreLocation::kCurrentUser;
  // The signing date (days since 1899-12-30, local time; 0 = now, negative is refused by the
  // builder).
  double date = 0;
  // The builder's own flags: 2 download CA certificates, 4 download CRLs, 8 check revocation.
  uint8_t flags = 0;
};

// The strict certificate chain builder as a verification uses it. A verification creates one
// through the configuration's factory, opens it before anything else (so a bad date fails
// first), and, with verification flag 4, calls BuildChain for every signer in order. Failures
// are raised by the builder (CCryptoAPI20Exception with its codes).
class ISignerChainBuilder {
 public:
  virtual ~ISignerChainBuilder() = default;
  virtual void Open(const SignerChainSettings& settings) = 0;
  virtual void BuildChain(const Certificate& certificate) = 0;
};
using SignerChainBuilderFactory = std::function<std::unique_ptr<ISignerChainBuilder>()>;

// The factory of CCryptoSignatureConfig unless replaced: a new CCryptoAPI20ChainBuilderStrict
// for every verification.
SignerChainBuilderFactory DefaultChainBuilderFactory();

class CCryptoSignatureConfig : public rtl::CBaseClass {
 public:
  // provider is not owned (the caller keeps it alive while the configuration is used).
  CCryptoSignatureConfig(CCryptoProvider* provider, crypt::StoreLocation store_location,
                         uint8_t verification_flags, uint8_t certificate_inclusion)
      : provider_(provider),
        certificate_inclusion_(certificate_inclusion),
        verification_flags_(verification_flags),
        store_location_(store_location) {}

  [[nodiscard]] CCryptoProvider* Provider() const noexcept { return provider_; }
  void SetProvider(CCryptoProvider* provider) noexcept { provider_ = provider; }
  [[nodiscard]] uint8_t CertificateInclusion() const noexcept { return certificate_inclusion_; }
  void SetCertificateInclusion(uint8_t value) noexcept { certificate_inclusion_ = value; }
  [[nodiscard]] uint8_t VerificationFlags() const noexcept { return verification_flags_; }
  void SetVerificationFlags(uint8_t value) noexcept { verification_flags_ = value; }
  [[nodiscard]] crypt::StoreLocation StoreLocation() const noexcept { return store_location_; }
  void SetStoreLocation(crypt::StoreLocation value) noexcept { store_location_ = value; }

  // The chain builder of verifications: the strict chain builder unless replaced. Without one
  // (an empty factory), a verification with flag 4 fails (a chain that was asked for is never
  // reported as checked).
  [[nodiscard]] const SignerChainBuilderFactory& ChainBuilderFactory() const noexcept {
    return chain_builder_factory_;
  }
  void SetChainBuilderFactory(SignerChainBuilderFactory factory) {
    chain_builder_factory_ = std::move(factory);
  }

  // The builder's flags for the verification flags: 2 for 2, 4 for 8, 8 for 16.
  [[nodiscard]] uint8_t ChainBuilderFlags() const noexcept;

 private:
  CCryptoProvider* provider_;
  uint8_t certificate_inclusion_;
  uint8_t verification_flags_;
  crypt::StoreLocation store_location_;
  SignerChainBuilderFactory chain_builder_factory_ = DefaultChainBuilderFactory();
};

}  // namespace lyr::crypt
