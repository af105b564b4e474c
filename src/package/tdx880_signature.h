// CTdx880Signature: one stored signature file of a package item, bound to its signature entry
// of the package description.
#pragma once

#include <string>

#include "crypt/tdx880_key.h"
#include "package/subject_codes.h"
#include "package/tdx880_item_config.h"
#include "rtl/custom_doc.h"
#include "rtl/str_array.h"

namespace lyr::crypt {
struct SignatureSigner;
}  // namespace lyr::crypt

namespace lyr::xml {
class CXMLGprSignature;
}  // namespace lyr::xml

namespace lyr::package {

// closed -> New or Open -> open -> Save (any number of times) -> Close -> closed.
//
// The entry belongs to the description and the package configuration to the container: both are
// borrowed while the signature is open, and Close forgets them. The item that holds the signature
// closes it before the entry is removed or the package closed, so a holder that keeps the object
// longer (shared ownership) finds a closed signature, never a dangling entry.
class CTdx880Signature final : public rtl::CCustomDoc {
 public:
  // Takes the crypto-available flag from CTdx880CryptoTool::IsCryptographyOk.
  CTdx880Signature();
  ~CTdx880Signature() override;

  // source is the CTdx880ItemConfig whose entry is this signature's CXMLGprSignature; it is
  // copied. Binds it; when the entry names a file, reads that file of the working folder as the
  // signature content ("Файл в пакете не найден: [%s]" when it is missing) and, when cryptography
  // is available, takes the signer's thumbprint, common name and certificate from it
  // (SignerFromSignature: "Подпись не содержит сертификата подписанта" and the format message);
  // the key's role is the entry's. A failed open leaves the signature closed. Guarded.
  bool Open(rtl::CBaseClass* source) override;
  // Forgets the content, the key, the signer list, the entry and the configuration. Guarded; true.
  bool Close() override;
  // True while an entry is bound.
  [[nodiscard]] bool IsDocumentOpened() const override;
  // Fails with "Документ уже открыт, операция невозможна" when open; binds source (as in Open)
  // and names an unnamed entry's file with a new identifier and ".bin". Guarded.
  bool New(rtl::CBaseClass* source) override;
  // Names the file as New does when still unnamed, then writes the content to it in the working
  // folder. Guarded.
  bool Save() override;

  // The entry's file name and role; on a closed signature these fail with "Документ не открыт".
  [[nodiscard]] const std::string& FileName() const;
  // Exactly 36 characters (the entry's check, argument name "FileName").
  void SetFileName(std::string file_name);
  [[nodiscard]] SubjectCode Role() const;

  // The signature's bytes: the detached CMS SignedData as stored in the package.
  [[nodiscard]] const std::string& SignatureContent() const noexcept { return content_; }
  void SetSignatureContent(std::string content) { content_ = std::move(content); }

  // The signer's key record: Sha1, SubjectCN and CertificateBody from the signature, SignRole
  // from the entry (all empty, role 1, before a signer is known).
  [[nodiscard]] const crypt::CTdx880Key& Key() const noexcept { return key_; }
  // Takes the signer's data into the key record with role as its SignRole.
  void SetSigner(const crypt::SignatureSigner& signer, SubjectCode role);

  // The signers found by the last verification (certificates, then the first signer's key
  // record; see CTdx880CryptoTool::CheckSignEx); empty otherwise.
  [[nodiscard]] rtl::CStrArray& Signers() noexcept { return signers_; }

  [[nodiscard]] bool CryptographyAvailable() const noexcept { return crypto_available_; }

 private:
  void Bind(rtl::CBaseClass* source);
  [[nodiscard]] xml::CXMLGprSignature& Entry() const;
  void NameFileWhenUnnamed();

  xml::CXMLGprSignature* entry_ = nullptr;
  std::string content_;
  crypt::CTdx880Key key_;
  CTdx880ItemConfig config_;
  bool crypto_available_ = false;
  rtl::CStrArray signers_;
};

}  // namespace lyr::package
