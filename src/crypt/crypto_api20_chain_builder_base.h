// CCryptoAPI20ChainBuilderBase: walks a certificate up to a self-signed root through a private
// working store filled from the trusted system stores "CA" (certificates and CRLs) and "ROOT".
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "crypt/crypto_api20_chain_builder_config.h"
#include "crypt/platform/cert_store.h"
#include "crypt/platform/certificate.h"
#include "rtl/custom_doc.h"
#include "rtl/date_time.h"

namespace lyr::crypt {

class CCryptoAPI20ChainBuilderBase : public rtl::CCustomDoc {
 public:
  CCryptoAPI20ChainBuilderBase() = default;
  ~CCryptoAPI20ChainBuilderBase() override;

  // Opens with a copy of config (a CCryptoAPI20ChainBuilderBaseConfig; none or another class
  // raises "Передан пустой аргумент: config"), closing first when open, and fills the working
  // store (OpenStores); when a store cannot be read the builder is left closed. Guarded.
  bool Open(rtl::CBaseClass* config) override;
  // Closes the working store and frees the configuration. Always true.
  bool Close() override;
  [[nodiscard]] bool IsDocumentOpened() const override { return config_ != nullptr; }

  // Builds the chain of certificate (null: the configuration's initial certificate) at date
  // (days since 1899-12-30, local time; 0 = now; negative raises "Неверное значение аргумента
  // [%s]"). Returns normally when the chain ends at a trusted self-signed certificate, which
  // becomes LastRoot(). Raises "Документ не открыт" when closed, CCryptoAPI20Exception 35
  // "Не найден сертификат УЦ [%s]" (the issuer's common name, then ". URL для скачивания: [%s]"
  // with the certificate's caIssuers address when it names one) when an issuer is missing (also
  // when every candidate fails the path checks of FindIssuer), 33 "Ошибка при построении
  // цепочки" for another failure of the search and for a certificate that is not usable
  // (Certificate::Defect; the reason is traced), and whatever
  // OnCertificate and OnIssuer raise.
  void BuildChain(const Certificate* certificate, rtl::TDateTime date);

  // The self-signed certificate that ended the last successful chain.
  [[nodiscard]] const std::optional<Certificate>& LastRoot() const noexcept { return last_root_; }
  // The configuration while open; raises "Документ не открыт" when closed.
  [[nodiscard]] CCryptoAPI20ChainBuilderBaseConfig& Config() const;
  // The working store (certificates and CRLs the chain is built from).
  [[nodiscard]] CertStore& WorkingStore();

 protected:
  // Called for every certificate of the chain before its issuer is searched.
  virtual void OnCertificate(const Certificate& certificate);
  // Called for every link once the issuer of certificate was found.
  virtual void OnIssuer(const Certificate& certificate, const Certificate& issuer);
  // The configuration kind of this builder.
  [[nodiscard]] virtual std::unique_ptr<CCryptoAPI20ChainBuilderBaseConfig> CreateConfig() const;
  // Raises CCryptoAPI20Exception (code, message); an override must raise as well.
  virtual void RaiseError(uint8_t code, std::string message) const;
  // Makes the working store: a copy of every certificate and CRL of "CA" (all CRLs, several of
  // one issuer included) and every certificate of "ROOT" at the configured location. A failing add
  // is traced and skipped.
  virtual void OpenStores();
  virtual void CloseStores();

  // Adds certificate to the working store with disposition; a failure is traced, not raised.
  void AddToWorkingStore(const Certificate& certificate, AddDisposition disposition);

 private:
  // The issuer of current in the working store: a candidate whose subject is current's issuer,
  // whose key verifies current's signature, that is not in used, that is valid at date by its
  // own bounds, and that may issue with below CA certificates under it (usable, a CA, keyCertSign
  // when its key usage is limited, its path length). None: the last crypto error says why
  // (CRYPT_E_SELF_SIGNED for a self-signed certificate, CRYPT_E_NOT_FOUND when no candidate
  // qualifies).
  std::optional<Certificate> FindIssuer(const Certificate& current,
                                        const std::vector<std::string>& used, size_t below) const;
  // Ends a walk that stopped at current: keeps the trusted self-signed root, or raises.
  void FinishChain(const Certificate& current, const std::string& issuer_cn,
                   const std::string& ca_issuers_url);
  [[nodiscard]] bool IsInWorkingStore(const Certificate& certificate) const;

  std::unique_ptr<CCryptoAPI20ChainBuilderBaseConfig> config_;
  std::optional<CertStore> working_store_;
  std::optional<Certificate> last_root_;
};

}  // namespace lyr::crypt
