// CTdx880Signature: one stored signature file of a package item, bound to its signature entry
// of the package description.
#pragma once

#include <string>

#include "package/subject_codes.h"
#include "package/tdx880_item_config.h"
#include "rtl/custom_doc.h"

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
  // Takes the crypto-available flag from the platform's GOST provider test.
  CTdx880Signature();
  ~CTdx880Signature() override;

  // source is the CTdx880ItemConfig whose entry is this signature's CXMLGprSignature; it is
  // copied. Binds it; when the entry names a file, reads that file of the working folder as the
  // signature content ("Файл в пакете не найден: [%s]" when it is missing). Guarded.
  bool Open(rtl::CBaseClass* source) override;
  // Forgets the content, the entry and the configuration. Guarded; true.
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

  [[nodiscard]] bool CryptographyAvailable() const noexcept { return crypto_available_; }

 private:
  void Bind(rtl::CBaseClass* source);
  [[nodiscard]] xml::CXMLGprSignature& Entry() const;
  void NameFileWhenUnnamed();

  xml::CXMLGprSignature* entry_ = nullptr;
  std::string content_;
  CTdx880ItemConfig config_;
  bool crypto_available_ = false;
};

}  // namespace lyr::package
