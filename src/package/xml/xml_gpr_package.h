// CXMLGprPackage: the package description "packageDescription.xml" (root ТрансИнф).
#pragma once

#include <string>

#include "package/xml/xml_gpr_document.h"
#include "package/xml/xml_gpr_subject.h"
#include "rtl/xml_class.h"

namespace lyr::xml {

// The document flow and transaction, the sender, the optional special operator, the receiver
// and the documents of one package. Written and read in this order; reading does not search, so
// the elements must stand in the order the writer puts them.
class CXMLGprPackage final : public rtl::CXMLClass {
 public:
  CXMLGprPackage();

  [[nodiscard]] const std::string& ThreadType() const noexcept { return thread_type_; }
  // Not empty, at most 50 characters ("ThreadType").
  void SetThreadType(std::string value);
  [[nodiscard]] const std::string& ThreadTypeCode() const noexcept { return thread_type_code_; }
  // Exactly 2 characters ("ThreadTypeCode").
  void SetThreadTypeCode(std::string value);
  [[nodiscard]] const std::string& TransactType() const noexcept { return transact_type_; }
  // Not empty, at most 50 characters ("TransactType").
  void SetTransactType(std::string value);
  [[nodiscard]] const std::string& TransactTypeCode() const noexcept { return transact_type_code_; }
  // Exactly 2 characters ("TransactTypeCode").
  void SetTransactTypeCode(std::string value);
  // A new identifier is taken when the package is written without one.
  [[nodiscard]] const std::string& ThreadCode() const noexcept { return thread_code_; }
  // Exactly 32 characters ("ThreadCode").
  void SetThreadCode(std::string value);
  // As written by the engine's own answer packages: no check (an empty value makes Save take a
  // new identifier).
  void AssignThreadCode(std::string value) noexcept { thread_code_ = std::move(value); }
  [[nodiscard]] const std::string& ProgVersion() const noexcept { return prog_version_; }
  // 1 to 40 characters ("ProgVersion").
  void SetProgVersion(std::string value);

  // <отправитель>, <спецоператор> (written only with an identifier), <получатель>.
  [[nodiscard]] CXMLGprSubject& Sender() noexcept { return sender_; }
  [[nodiscard]] CXMLGprSubject& SpecialOperator() noexcept { return special_operator_; }
  [[nodiscard]] CXMLGprSubject& Receiver() noexcept { return receiver_; }
  [[nodiscard]] const CXMLGprSubject& Sender() const noexcept { return sender_; }
  [[nodiscard]] const CXMLGprSubject& SpecialOperator() const noexcept { return special_operator_; }
  [[nodiscard]] const CXMLGprSubject& Receiver() const noexcept { return receiver_; }
  [[nodiscard]] CXMLGprDocumentCollection& Documents() noexcept { return documents_; }
  [[nodiscard]] const CXMLGprDocumentCollection& Documents() const noexcept { return documents_; }

 protected:
  void WriteTo(rtl::CXMLTextWriter& writer) override;
  // Skips to the first ТрансИнф ("Элемент [ТрансИнф] не найден" without one) and reads its
  // attributes without the setters' checks (a missing one gives an empty value).
  void ReadFrom(rtl::CXMLTextReader& reader) override;

 private:
  std::string thread_type_;
  std::string thread_type_code_;
  std::string transact_type_;
  std::string transact_type_code_;
  std::string thread_code_;
  std::string prog_version_;
  CXMLGprSubject sender_;
  CXMLGprSubject special_operator_;
  CXMLGprSubject receiver_;
  CXMLGprDocumentCollection documents_;
};

}  // namespace lyr::xml
