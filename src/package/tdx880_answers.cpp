// The notice of receipt and the error-message package built from a received package.
#include "package/tdx880_answers.h"

#include <vector>

#include "package/tdx880_document.h"
#include "package/tdx880_signature.h"
#include "package/tdx880_tool.h"
#include "package/xml/xml_gpr_notice_receipt.h"
#include "package/xml/xml_gpr_package.h"
#include "rtl/base64.h"
#include "rtl/date_time.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/identifiers.h"
#include "rtl/str_utils.h"
#include "rtl/text.h"

namespace lyr::package {
namespace {

constexpr char kProgVersion[] = "Lyr.Tdx.Package880";

std::vector<std::string> SplitTrimmed(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(rtl::Trim(std::string_view(text).substr(start, end - start)));
    if (end == std::string::npos) {
      return parts;
    }
    start = end + 1;
  }
}

// The source's flag and working base pass to the answer.
void TakeSettings(const CTdx880Doc& source, CTdx880Doc& target) {
  target.SetFlagUsageUserStorage(source.FlagUsageUserStorage());
  target.SetTmpDir(source.TmpDir());
}

// Steps shared by both error packages after the participants are written.
void AddErrorItems(CTdx880Doc& source, CTdx880Doc& target, std::string tr_sosh) {
  target.AddFile("01", "xml", "TR_SOSH.xml", std::move(tr_sosh));
  if (source.IsLoaded()) {
    target.AddFile("02", "xml", "packageDescription.xml", source.PackageDescriptionContent());
  }
}

}  // namespace

std::string RoleWord(uint8_t role) {
  switch (role) {
    case kSubjectAbonent:
      return rtl::Msg(u8"налогоплательщик");
    case kSubjectTaxAuthority:
      return rtl::Msg(u8"налоговый орган");
    case kSubjectSpecialOperator:
      return rtl::Msg(u8"спецоператор");
    default:
      return rtl::Msg(u8"неизвестно");
  }
}

std::string NoticeFileName(const std::string& main_filename, const std::string& sender_key,
                           const std::string& corroborant_key, const std::string& date,
                           const std::string& guid) {
  const std::vector<std::string> parts = SplitTrimmed(main_filename, '_');
  std::string prefix;
  for (size_t i = 0; i + 5 < parts.size(); ++i) {
    prefix += parts[i];
  }
  return "IP_" + prefix + "_" + sender_key + "_" + sender_key + "_" + corroborant_key + "_" + date +
         "_" + guid + ".xml";
}

void BuildNoticeOfReceipt(CTdx880Doc& source, CTdx880Doc& target, const CNoticeParty& corroborant,
                          CNoticeParty& sender, CNoticeParty& receiver) {
  TakeSettings(source, target);
  const uint8_t role = corroborant.Role();
  const std::string thread_code = source.ThreadTypeCode();
  const std::string transact_code = source.TransactTypeCode();
  const AnswerRow* answer = CTdx880Tool::FindAnswer(thread_code, transact_code, role);
  if (answer == nullptr) {
    rtl::RaiseFmt(
        u8"На документооборот [%s][%s] и транзакцию [%s][%s] не может быть "
        u8"сформировано извещение о получении от [%s]",
        thread_code, source.ThreadType(), transact_code, source.TransactType(), RoleWord(role));
  }
  const std::string new_transact(answer->TransactTypeCode);
  const MainDocumentRow* main = CTdx880Tool::FindMainDocument(thread_code, new_transact);
  if (main == nullptr) {
    rtl::RaiseFmt(
        u8"Не удалось определить главный документ для документооборота [%s][%s] и "
        u8"транзакции [%s][%s]",
        thread_code, source.ThreadType(), new_transact, answer->TransactionName);
  }
  if (sender.Identifier().empty()) {
    sender.SetIdentifier(source.SenderIdentifier());
  }
  if (receiver.Identifier().empty()) {
    receiver.SetIdentifier(source.ReceiverIdentifier());
  }

  target.New(thread_code, new_transact);
  target.SetSenderIdentifier(corroborant.Identifier());
  target.SetReceiverIdentifier(sender.Identifier());
  target.SetSOSIdentifier(source.SOSIdentifier());
  target.SetThreadCode(source.ThreadCode());

  // The item is added last, with its content: a failure before leaves the target without it.
  const CTdx880Doc::DocumentPtr main_file = source.GetMainFile();
  if (!main_file) {
    rtl::RaiseFmt(u8"В пакете не найден главный документ");
  }
  const rtl::TDateTime now = rtl::Now();
  const std::string file_name =
      NoticeFileName(main_file->OriginalFilename(), sender.Key(), corroborant.Key(),
                     rtl::FormatDateTime("yyyymmdd", now), rtl::NewGuidText());
  if (rtl::HasControlCharacter(file_name)) {
    rtl::RaiseFmt(u8"Недопустимое имя файла в пакете: [%s]", file_name);
  }

  xml::CXMLGprNoticeReceipt notice;
  notice.SetFileIdentifier(rtl::FileNameWithoutExt(file_name));
  notice.SetProgVersion(kProgVersion);
  corroborant.Fill(notice.ConfirmingParty());
  sender.Fill(notice.Sender());
  receiver.Fill(notice.Receiver());
  notice.SetReceiptTime(now);
  const int32_t count = source.GetFileCount();
  for (int32_t index = 0; index < count; ++index) {
    xml::CXMLGprReceiptFile& record = notice.ReceivedFiles().Add();
    record.SetFileName(rtl::FileNameWithoutExt(source.GetFile(index)->OriginalFilename()));
    const int32_t signatures = source.GetFileSignatureCount(index);
    for (int32_t sign = 0; sign < signatures; ++sign) {
      record.Signatures().push_back(
          rtl::EncodeBase64(source.GetFileSignature(index, sign)->SignatureContent()));
    }
  }
  target.AddFile(std::string(main->DocTypeCode), "xml", file_name, notice.GetXML());
}

void BuildErrorPackage(CTdx880Doc& source, CTdx880Doc& target, std::string tr_sosh) {
  TakeSettings(source, target);
  target.New("07", "01");
  if (source.IsReaded()) {
    xml::CXMLGprPackage& from = *source.Description();
    xml::CXMLGprPackage& to = *target.Description();
    to.Sender().AssignSubjectIdentifier(from.Receiver().SubjectIdentifier());
    to.Sender().SetSubjectCode(from.Receiver().SubjectCode());
    to.Receiver().AssignSubjectIdentifier(from.Sender().SubjectIdentifier());
    to.Receiver().SetSubjectCode(from.Sender().SubjectCode());
    to.AssignThreadCode(from.ThreadCode());
  }
  AddErrorItems(source, target, std::move(tr_sosh));
}

void BuildErrorPackageEx(CTdx880Doc& source, CTdx880Doc& target, std::string sender_identifier,
                         int32_t sender_type, std::string receiver_identifier,
                         int32_t receiver_type, std::string tr_sosh) {
  TakeSettings(source, target);
  const SubjectCode sender_code = CTdx880Tool::SubjectTypeFromAutomation(sender_type);
  const SubjectCode receiver_code = CTdx880Tool::SubjectTypeFromAutomation(receiver_type);
  target.New("07", "01");
  xml::CXMLGprPackage& to = *target.Description();
  to.Sender().AssignSubjectIdentifier(std::move(sender_identifier));
  to.Sender().SetSubjectCode(sender_code);
  to.Receiver().AssignSubjectIdentifier(std::move(receiver_identifier));
  to.Receiver().SetSubjectCode(receiver_code);
  if (source.IsReaded()) {
    to.AssignThreadCode(source.Description()->ThreadCode());
  }
  AddErrorItems(source, target, std::move(tr_sosh));
}

}  // namespace lyr::package
