// Code tables and role conversions of CTdx880Tool: the tables checked by their
// invariants and the failures with their exact messages.
#include "package/tdx880_tool.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <tuple>

#include "rtl/text.h"
#include "support/expect_raises.h"

namespace lyr::package {
namespace {

using lyr::test::ExpectRaises;

// Each table has its row count and holds every key once; every lookup answers
// with the row that holds its key; every allowed document is a known
// transaction and document type of its flow and every transaction has a main
// document; the answer table repeats the transaction table row for row, each
// preceding transaction one of the flow's own.
TEST(CodeTables, KeepTheirInvariants) {
  std::set<std::string_view> flows;
  for (const ThreadTypeRow& row : CTdx880Tool::ThreadTypes()) {
    EXPECT_TRUE(flows.insert(row.ThreadTypeCode).second) << row.ThreadTypeCode;
    EXPECT_EQ(CTdx880Tool::GetThreadTypeName(row.ThreadTypeCode), row.ThreadTypeName);
  }
  std::set<std::tuple<std::string_view, std::string_view, std::string_view>> keys;
  const auto transactions = CTdx880Tool::Transactions();
  const auto answers = CTdx880Tool::Answers();
  ASSERT_EQ(answers.size(), transactions.size());
  for (size_t i = 0; i < transactions.size(); ++i) {
    const TransactionRow& row = transactions[i];
    SCOPED_TRACE(i);
    EXPECT_TRUE(keys.insert({row.ThreadTypeCode, row.TransactTypeCode, "T"}).second);
    const TransactionInfo info =
        CTdx880Tool::GetTransactionInfo(row.ThreadTypeCode, row.TransactTypeCode);
    EXPECT_EQ(std::tie(info.TransactionName, info.SenderType, info.ReceiverType),
              std::tie(row.TransactionName, row.SenderType, row.ReceiverType));
    EXPECT_EQ(info.ThreadTypeName, CTdx880Tool::GetThreadTypeName(row.ThreadTypeCode));
    const AnswerRow& answer = answers[i];
    EXPECT_EQ(
        std::tie(answer.ThreadTypeCode, answer.TransactTypeCode, answer.TransactionName,
                 answer.SenderType),
        std::tie(row.ThreadTypeCode, row.TransactTypeCode, row.TransactionName, row.SenderType));
    if (!answer.PrecedingTransactTypeCode.empty()) {
      EXPECT_NO_THROW((void)CTdx880Tool::GetTransactionInfo(answer.ThreadTypeCode,
                                                            answer.PrecedingTransactTypeCode));
    }
    int mains = 0;
    for (const MainDocumentRow& main : CTdx880Tool::MainDocuments()) {
      mains += main.ThreadTypeCode == row.ThreadTypeCode &&
               main.TransactTypeCode == row.TransactTypeCode && main.IsMain;
    }
    EXPECT_GE(mains, 1);
  }
  for (const DocumentTypeRow& row : CTdx880Tool::DocumentTypes()) {
    EXPECT_TRUE(keys.insert({row.ThreadTypeCode, row.DocTypeCode, "D"}).second);
    const DocumentTypeInfo info =
        CTdx880Tool::GetDocumentTypeInfo(row.ThreadTypeCode, row.DocTypeCode);
    EXPECT_EQ(std::tie(info.DocumentTypeName, info.Encrypt),
              std::tie(row.DocumentTypeName, row.Encrypt));
  }
  for (const MainDocumentRow& row : CTdx880Tool::MainDocuments()) {
    EXPECT_TRUE(keys.insert({row.ThreadTypeCode, row.TransactTypeCode, row.DocTypeCode}).second);
    EXPECT_EQ(
        CTdx880Tool::IsMainDocument(row.ThreadTypeCode, row.TransactTypeCode, row.DocTypeCode),
        row.IsMain);
    EXPECT_NO_THROW((void)CTdx880Tool::GetDocumentTypeInfo(row.ThreadTypeCode, row.DocTypeCode));
  }
  EXPECT_EQ(std::to_string(flows.size()) + " " + std::to_string(transactions.size()) + " " +
                std::to_string(CTdx880Tool::DocumentTypes().size()) + " " +
                std::to_string(CTdx880Tool::MainDocuments().size()),
            "9 59 53 87");
  const AnswerRow* row = CTdx880Tool::FindAnswer("01", "01", kSubjectTaxAuthority);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->TransactTypeCode, "02");
  EXPECT_EQ(CTdx880Tool::FindAnswer("01", "10", kSubjectAbonent), nullptr);
}

// An unknown flow is named before an unknown transaction or document.
TEST(CodeTables, LookupFailuresNameTheCodes) {
  const std::pair<std::function<void()>, std::u8string> cases[] = {
      {[] { (void)CTdx880Tool::GetThreadTypeName("01 "); },
       u8"Неизвестный код документооборота [01 ]"},
      {[] { (void)CTdx880Tool::GetTransactionInfo("99", "99"); },
       u8"Неизвестный код документооборота [99]"},
      {[] { (void)CTdx880Tool::GetTransactionInfo("07", "02"); },
       u8"Неизвестный код транзацкии [02] в документообороте "
       u8"[07][ОшибкаОбработкиПакета]"},
      {[] { (void)CTdx880Tool::GetDocumentTypeInfo("88", "01"); },
       u8"Неизвестный код документа [01] в документообороте "
       u8"[88][ЗаявлениеУчет]"},
      {[] { (void)CTdx880Tool::IsMainDocument("01", "04", "02"); },
       u8"Неверная комбинация кодов документооборота [01], транзакции [04] и "
       u8"документа [02]"}};
  for (const auto& [lookup, message] : cases) {
    ExpectRaises(lookup, rtl::Msg(message));
  }
}

// The engine's subject codes and the automation values map both ways; values
// without a counterpart (the other engine codes 4 to 10; automation values past
// 4) name the value.
TEST(Conversion, RolesAndSubjectTypesMapBothWaysOrNameTheValue) {
  const std::pair<int32_t, int32_t> mappings[] = {{kSubjectUnknown, SIGN_ROLE_TYPE_UNKNOWN},
                                                  {kSubjectAbonent, SIGN_ROLE_TYPE_ABONENT},
                                                  {kSubjectTaxAuthority, SIGN_ROLE_TYPE_TDX},
                                                  {kSubjectSpecialOperator, SIGN_ROLE_TYPE_SOS},
                                                  {kSubjectDataCentre, SIGN_ROLE_TYPE_FCOD}};
  for (const auto& [engine, automation] : mappings) {
    EXPECT_EQ(CTdx880Tool::RoleToAutomation(engine), automation);
    EXPECT_EQ(CTdx880Tool::RoleFromAutomation(automation), engine);
    EXPECT_EQ(CTdx880Tool::SubjectTypeToAutomation(engine), automation);
    EXPECT_EQ(CTdx880Tool::SubjectTypeFromAutomation(automation), engine);
  }
  const auto expect = [](const std::function<void()>& convert, const char8_t* what, int32_t v) {
    ExpectRaises(convert, rtl::Msg(what) + ": [" + std::to_string(v) + "]");
  };
  for (const int32_t v :
       {-1, int32_t{kSubjectAbonentAlias}, int32_t{kSubjectJusticeMinistry}, 12}) {
    expect([v] { (void)CTdx880Tool::RoleToAutomation(v); }, u8"Неизвестная роль", v);
    expect([v] { (void)CTdx880Tool::SubjectTypeToAutomation(v); }, u8"Неизвестный тип субъекта", v);
  }
  for (const int32_t v : {-1, 5, 11}) {
    expect([v] { (void)CTdx880Tool::RoleFromAutomation(v); }, u8"Неизвестная роль", v);
    expect([v] { (void)CTdx880Tool::SubjectTypeFromAutomation(v); }, u8"Неизвестный тип субъекта",
           v);
  }
}

}  // namespace
}  // namespace lyr::package
