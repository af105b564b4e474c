// CXMLGprDocument: one document entry of the package description, and their collection.
#pragma once

#include <string>

#include "package/xml/xml_gpr_signature.h"
#include "rtl/xml_class.h"
#include "rtl/xml_collection.h"

namespace lyr::xml {

// The signatures of a document: <подпись> elements without a wrapper.
// Add appends a new, empty signature; Items gives one.
class CXMLGprSignatureCollection final
    : public rtl::CTypedCollection<CXMLGprSignature, rtl::CXMLCollection> {
 public:
  [[nodiscard]] std::string GetItemTag() const override;
};

// Written as <документ кодТипаДокумента=... типДокумента=... типСодержимого=... сжат=...
// зашифрован=... идентификаторДокумента=... исходноеИмяФайла=...> with <содержимое имяФайла=.../>
// and the signatures.
class CXMLGprDocument final : public rtl::CXMLClass {
 public:
  [[nodiscard]] const std::string& DocumentType() const noexcept { return document_type_; }
  // Not empty, at most 50 characters ("DocumentType").
  void SetDocumentType(std::string value);
  [[nodiscard]] const std::string& DocumentTypeCode() const noexcept { return type_code_; }
  // Exactly 2 characters ("DocumentTypeCode").
  void SetDocumentTypeCode(std::string value);
  [[nodiscard]] const std::string& ContentType() const noexcept { return content_type_; }
  // Not empty ("ContentType").
  void SetContentType(std::string value);
  [[nodiscard]] bool IsCompressed() const noexcept { return compressed_; }
  void SetIsCompressed(bool value) noexcept { compressed_ = value; }
  [[nodiscard]] bool IsEncrypted() const noexcept { return encrypted_; }
  void SetIsEncrypted(bool value) noexcept { encrypted_ = value; }
  // A new identifier is taken when the document is written without one.
  [[nodiscard]] const std::string& DocumentCode() const noexcept { return document_code_; }
  // Exactly 32 characters ("DocumentCode").
  void SetDocumentCode(std::string value);
  [[nodiscard]] const std::string& OriginalFilename() const noexcept { return original_name_; }
  void SetOriginalFilename(std::string value) { original_name_ = std::move(value); }
  // The content file's name; the document has no content element while it is empty.
  [[nodiscard]] const std::string& FileName() const noexcept { return file_name_; }
  // Empty, or exactly 36 characters ("FileName").
  void SetFileName(std::string value);
  [[nodiscard]] CXMLGprSignatureCollection& Signatures() noexcept { return signatures_; }
  [[nodiscard]] const CXMLGprSignatureCollection& Signatures() const noexcept {
    return signatures_;
  }

 protected:
  void WriteTo(rtl::CXMLTextWriter& writer) override;
  // Type, type code, content type and document code through the setters; the content file name
  // and the original file name as read.
  void ReadFrom(rtl::CXMLTextReader& reader) override;

 private:
  std::string document_type_;
  std::string type_code_;
  std::string content_type_;
  bool compressed_ = false;
  bool encrypted_ = false;
  std::string document_code_;
  std::string original_name_;
  std::string file_name_;
  CXMLGprSignatureCollection signatures_;
};

// The documents of a package: <документ> elements without a wrapper.
// Add appends a new, empty document; Items gives one.
class CXMLGprDocumentCollection final
    : public rtl::CTypedCollection<CXMLGprDocument, rtl::CXMLCollection> {
 public:
  // The most documents a package description read from outside may list: far above any real
  // package, and refused before the objects of a larger list are made (docs/package.md, Limits).
  static constexpr int32_t kMaxDocuments = 10000;

  [[nodiscard]] std::string GetItemTag() const override;
  // Fails with "Слишком много документов в описании пакета (больше %d)" (kMaxDocuments).
  [[noreturn]] static void RaiseTooManyDocuments();

 protected:
  [[nodiscard]] int32_t MaxReadItems() const override { return kMaxDocuments; }
  [[noreturn]] void RaiseTooManyItems() const override { RaiseTooManyDocuments(); }
};

}  // namespace lyr::xml
