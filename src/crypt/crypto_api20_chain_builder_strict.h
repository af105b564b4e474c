// CCryptoAPI20ChainBuilderStrict: the chain builder of signature checks. Besides the walk it
// downloads missing CA certificates and revocation lists from the addresses written in the
// certificates, and checks every link against its issuer's revocation list at the signing date.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "crypt/crypto_api20_chain_builder_base.h"
#include "crypt/crypto_signature_config.h"
#include "crypt/platform/crl.h"
#include "rtl/str_array.h"

namespace lyr::crypt {

// Where a date lies against the bounds start..end widened and narrowed by a margin.
enum class DatePosition : uint8_t { kInside = 0, kOutside = 1, kTooClose = 2 };

class CCryptoAPI20ChainBuilderStrict : public CCryptoAPI20ChainBuilderBase {
 public:
  CCryptoAPI20ChainBuilderStrict() = default;
  ~CCryptoAPI20ChainBuilderStrict() override;

  // The strict configuration while open; raises "Документ не открыт" when closed.
  [[nodiscard]] CCryptoAPI20ChainBuilderStrictConfig& StrictConfig() const;

  // With m = margin_hours / 24 days: before start - m, or at or after end + m: kOutside; from
  // start - m up to start + m, or from end - m up to end + m (ends excluded): kTooClose; else
  // kInside.
  static DatePosition CompareWithMargin(rtl::TDateTime date, rtl::TDateTime start,
                                        rtl::TDateTime end, int32_t margin_hours);

  // Checks certificate against the revocation list of issuer in the working store at date.
  // Raises CCryptoAPI20Exception 34 "Список отозванных сертификатов для [%s] не найден" (and
  // ". URL для скачивания: [%s]" with the certificate's CRL addresses) when there is none or
  // none is usable (FindCrlIssuedBy), 33
  // "Ошибка при проверке по списку отозванных сертификатов [%s]" when the search fails, and the
  // failures of CheckAgainstCRL. Returns true.
  bool CheckRevocation(const Certificate& certificate, const Certificate& issuer,
                       rtl::TDateTime date);
  // Checks certificate against crl at date (days since 1899-12-30, local time); every bound is
  // taken in local time and compared with the configured margin. Raises CCryptoAPI20Exception
  // 33 for a date later than now or a CRL that is not current at the date, 21 for a date outside
  // or too close to the certificate's validity and for a certificate revoked at or before the
  // date (or too close to it). Returns true.
  bool CheckAgainstCRL(const Certificate& certificate, const Crl& crl, rtl::TDateTime date);

 protected:
  void OnCertificate(const Certificate& certificate) override;
  void OnIssuer(const Certificate& certificate, const Certificate& issuer) override;
  [[nodiscard]] std::unique_ptr<CCryptoAPI20ChainBuilderBaseConfig> CreateConfig() const override;

  // Fetches address (one URL list) and returns the body; raises the download's failure.
  virtual std::string DownloadCertificate(const std::string& issuer_name,
                                          const std::string& address, rtl::TDateTime date);
  // Called when a downloaded body is not a certificate.
  virtual void OnCertificateDownloadFailed(const std::string& issuer_name, rtl::TDateTime date);
  // Fetches the comma-separated addresses, the first that downloads; raises when none does.
  virtual std::string DownloadCRL(const std::string& issuer_name, const std::string& addresses,
                                  rtl::TDateTime date);
  // Called when a downloaded body is not a revocation list.
  virtual void OnCRLDownloadFailed(const std::string& issuer_name, rtl::TDateTime date);

 private:
  // Downloads the caIssuers certificate of certificate into the working store.
  void FetchCACertificate(const Certificate& certificate);
  // Downloads the revocation list of certificate's issuer into the working store.
  void FetchCRL(const Certificate& certificate);
  [[nodiscard]] bool AlreadyFetched(const std::string& address) const;
  // The newest usable CRL of the working store issued (and signed) by issuer; none (last error
  // CRYPT_E_NOT_FOUND) when there is none, so an unusable list counts as a missing one.
  std::optional<Crl> FindCrlIssuedBy(const Certificate& issuer);
  void RaiseStaleCrl(std::string message, const Certificate& certificate) const;

  rtl::CStrArray fetched_;
};

// Told of every certificate of a walk, from the signer's up to the root, before its issuer is
// searched.
using ChainObserver = std::function<void(const Certificate& certificate)>;

// The strict builder as a signature check uses it (the default chain builder of
// CCryptoSignatureConfig): opened with the verification's location, date and builder flags, and
// asked for the chain of each signer at that date. observer, when given, sees the walk.
std::unique_ptr<ISignerChainBuilder> NewStrictSignerChainBuilder(ChainObserver observer = {});

}  // namespace lyr::crypt
