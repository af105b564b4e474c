// The answer packages derived from a received package: the notice of receipt and the
// error-message package. Shared by the Manager object and the command-line tool.
#pragma once

#include <cstdint>
#include <string>

#include "package/tdx880_doc.h"

namespace lyr::xml {
class CXMLGprMemberInfo;
}

namespace lyr::package {

// A participant of a notice of receipt as the builder sees it; the Manager adapts its subject
// objects, the tool its own participants. Strings are windows-1251.
class CNoticeParty {
 public:
  virtual ~CNoticeParty() = default;
  [[nodiscard]] virtual const std::string& Identifier() const = 0;
  // Through the participant's own checks.
  virtual void SetIdentifier(std::string value) = 0;
  // What stands for the participant in the notice's file name.
  [[nodiscard]] virtual std::string Key() const = 0;
  // 1 tax payer, 2 tax authority, 3 special operator.
  [[nodiscard]] virtual uint8_t Role() const = 0;
  virtual void Fill(xml::CXMLGprMemberInfo& participant) const = 0;
};

// The role word of the notice lookup message: "налогоплательщик", "налоговый орган",
// "спецоператор", else "неизвестно" (windows-1251).
std::string RoleWord(uint8_t role);

// The notice file name for a main file name: "IP_" + the first (parts - 5) "_"-parts (each
// trimmed) joined + "_" + sender key twice + corroborant key + date ("yyyymmdd") + guid, "_"
// between them, ".xml" at the end.
std::string NoticeFileName(const std::string& main_filename, const std::string& sender_key,
                           const std::string& corroborant_key, const std::string& date,
                           const std::string& guid);

// Fills target (a fresh container) with the notice of receipt of source confirmed by
// corroborant: takes source's FlagUsageUserStorage and TmpDir, finds the answering transaction
// and its main document, writes an empty sender's or receiver's Identifier from source's
// description, starts target as New does and adds the notice as its one item. Fails with the
// lookup messages, "В пакете не найден главный документ", or the setters' messages.
void BuildNoticeOfReceipt(CTdx880Doc& source, CTdx880Doc& target, const CNoticeParty& corroborant,
                          CNoticeParty& sender, CNoticeParty& receiver);

// Fills target with the error-message package (flow "07", transaction "01") answering source:
// the item "TR_SOSH.xml" holding tr_sosh, and "packageDescription.xml" when source was loaded.
// A read source gives its receiver as sender, its sender as receiver and its ThreadCode.
void BuildErrorPackage(CTdx880Doc& source, CTdx880Doc& target, std::string tr_sosh);

// As BuildErrorPackage with the sender and receiver given (automation subject types, converted
// by SubjectTypeFromAutomation: "Неизвестный тип субъекта: [%d]"); only ThreadCode comes from a
// read source.
void BuildErrorPackageEx(CTdx880Doc& source, CTdx880Doc& target, std::string sender_identifier,
                         int32_t sender_type, std::string receiver_identifier,
                         int32_t receiver_type, std::string tr_sosh);

}  // namespace lyr::package
