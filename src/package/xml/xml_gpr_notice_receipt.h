// CXMLGprNoticeReceipt: the notice of receipt (КНД 1166008) confirming that a package arrived.
#pragma once

#include <string>

#include "package/xml/xml_gpr_base_file.h"
#include "package/xml/xml_gpr_member_info.h"
#include "package/xml/xml_gpr_receipt_file.h"
#include "rtl/date_time.h"

namespace lyr::xml {

// Documents children: <ПодтвДок> (the confirming party), <СвИзвещП ДатаПол="DD.MM.YYYY"
// ВремяПол="HH.MM.SS"> with the received files, <ОтпрДок> (sender), <ПолДок> (receiver).
// Reading takes the received files back (the receipt time and the parties are not read).
class CXMLGprNoticeReceipt final : public CXMLGprBaseFile {
 public:
  CXMLGprNoticeReceipt();

  [[nodiscard]] CXMLGprMemberInfo& ConfirmingParty() noexcept { return confirming_; }
  [[nodiscard]] rtl::TDateTime ReceiptTime() const noexcept { return receipt_time_; }
  void SetReceiptTime(rtl::TDateTime value) noexcept { receipt_time_ = value; }
  [[nodiscard]] CXMLGprReceiptFileCollection& ReceivedFiles() noexcept { return files_; }
  [[nodiscard]] CXMLGprMemberInfo& Sender() noexcept { return sender_; }
  [[nodiscard]] CXMLGprMemberInfo& Receiver() noexcept { return receiver_; }

  // "1166008".
  [[nodiscard]] std::string FormKnd() const override;

 protected:
  void WriteDocumentChildren(rtl::CXMLTextWriter& writer) override;
  void ReadDocumentChildren(rtl::CXMLTextReader& reader) override;

 private:
  CXMLGprMemberInfo confirming_;
  rtl::TDateTime receipt_time_ = 0;
  CXMLGprReceiptFileCollection files_;
  CXMLGprMemberInfo sender_;
  CXMLGprMemberInfo receiver_;
};

}  // namespace lyr::xml
