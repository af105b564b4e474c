// Code tables and role conversions of CTdx880Tool: the tables checked by their invariants, the
// rows worth naming, and the failures with their exact messages.
#include "package/tdx880_tool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "rtl/errors.h"
#include "rtl/text.h"
#include "support/expect_raises.h"

namespace lyr::package {
namespace {

using lyr::test::ExpectRaises;

// ---- The tables checked by their invariants ---------------------------------------------

// Each table has its row count and holds every key once; every lookup answers with the row that
// holds its key; every allowed document is a known transaction and document type of its flow and
// every transaction has a main document; the answer table repeats the transaction table row for
// row, each preceding transaction one of the flow's own.
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

// ---- Cases worth naming ---------------------------------------------------------------------

TEST(CodeTables, RowsWorthNaming) {
  // Transaction 21 goes to the special operator, except in flow 08.
  for (const char* flow : {"01", "02", "06", "08"}) {
    const TransactionInfo info = CTdx880Tool::GetTransactionInfo(flow, "21");
    EXPECT_EQ(info.TransactionName, rtl::Msg(u8"ИзвещениеПодтверждениеСОСНП")) << flow;
    const bool flow08 = std::string(flow) == "08";
    EXPECT_EQ(info.SenderType, flow08 ? kSubjectTaxAuthority : kSubjectAbonent) << flow;
    EXPECT_EQ(info.ReceiverType, flow08 ? kSubjectAbonent : kSubjectSpecialOperator) << flow;
  }
  EXPECT_EQ(CTdx880Tool::GetTransactionInfo("08", "21").ThreadTypeName,
            rtl::Msg(u8"Сведения2НДФЛ"));
  // Flow 05, transaction 04 is named by its digits.
  const TransactionInfo mailing = CTdx880Tool::GetTransactionInfo("05", "04");
  EXPECT_EQ(mailing.ThreadTypeName, rtl::Msg(u8"РассылкаГрупповая"));
  EXPECT_EQ(mailing.TransactionName, "04");
  EXPECT_EQ(mailing.ReceiverType, kSubjectSpecialOperator);
  // Registration goes to the data centre.
  const TransactionInfo registration = CTdx880Tool::GetTransactionInfo("88", "77");
  EXPECT_EQ(registration.TransactionName, rtl::Msg(u8"УчетФЛ"));
  EXPECT_EQ(registration.ReceiverType, kSubjectDataCentre);
  // A mailing in flow 04 stays plain; a declaration is encrypted.
  EXPECT_EQ(CTdx880Tool::GetDocumentTypeInfo("04", "01").DocumentTypeName, rtl::Msg(u8"рассылка"));
  EXPECT_FALSE(CTdx880Tool::GetDocumentTypeInfo("04", "01").Encrypt);
  EXPECT_TRUE(CTdx880Tool::GetDocumentTypeInfo("01", "01").Encrypt);
  // The result of reception has two main documents and one other.
  EXPECT_FALSE(CTdx880Tool::IsMainDocument("01", "04", "01"));
  EXPECT_TRUE(CTdx880Tool::IsMainDocument("01", "04", "06"));
  EXPECT_TRUE(CTdx880Tool::IsMainDocument("01", "04", "05"));
}

// ---- Failures with their exact messages ------------------------------------------------------

struct LookupFailure {
  std::string name;
  std::function<void()> lookup;
  std::u8string message;
};

void PrintTo(const LookupFailure& c, std::ostream* os) {
  *os << c.name;
}

class CodeLookupFailure : public ::testing::TestWithParam<LookupFailure> {};

TEST_P(CodeLookupFailure, NamesTheCodes) {
  ExpectRaises(GetParam().lookup, rtl::Msg(GetParam().message));
}

LookupFailure Flow(const std::string& name, const std::string& flow, std::u8string message) {
  return {name, [flow] { (void)CTdx880Tool::GetThreadTypeName(flow); }, std::move(message)};
}
LookupFailure Transaction(const std::string& name, const std::string& flow,
                          const std::string& transaction, std::u8string message) {
  return {name, [=] { (void)CTdx880Tool::GetTransactionInfo(flow, transaction); },
          std::move(message)};
}
LookupFailure Document(const std::string& name, const std::string& flow, const std::string& doc,
                       std::u8string message) {
  return {name, [=] { (void)CTdx880Tool::GetDocumentTypeInfo(flow, doc); }, std::move(message)};
}
LookupFailure Main(const std::string& name, const std::string& flow, const std::string& transaction,
                   const std::string& doc) {
  return {name, [=] { (void)CTdx880Tool::IsMainDocument(flow, transaction, doc); },
          u8"Неверная комбинация кодов документооборота [" +
              std::u8string(flow.begin(), flow.end()) + u8"], транзакции [" +
              std::u8string(transaction.begin(), transaction.end()) + u8"] и документа [" +
              std::u8string(doc.begin(), doc.end()) + u8"]"};
}
INSTANTIATE_TEST_SUITE_P(
    Codes, CodeLookupFailure,
    ::testing::Values(
        Flow("FlowOneDigit", "1", u8"Неизвестный код документооборота [1]"),
        Flow("FlowTrailingBlank", "01 ", u8"Неизвестный код документооборота [01 ]"),
        Flow("FlowUnused09", "09", u8"Неизвестный код документооборота [09]"),
        Transaction("UnknownFlowWinsOverUnknownTransaction", "99", "99",
                    u8"Неизвестный код документооборота [99]"),
        Transaction("TransactionOfAnotherFlow", "07", "02",
                    u8"Неизвестный код транзацкии [02] в документообороте "
                    u8"[07][ОшибкаОбработкиПакета]"),
        Transaction("Transaction77OutsideFlow88", "01", "77",
                    u8"Неизвестный код транзацкии [77] в документообороте [01][Декларация]"),
        Transaction("EmptyTransaction", "88", "",
                    u8"Неизвестный код транзацкии [] в документообороте [88][ЗаявлениеУчет]"),
        Document("UnknownFlowWinsOverUnknownDocument", "09", "77",
                 u8"Неизвестный код документооборота [09]"),
        Document("DocumentOfAnotherFlow", "88", "01",
                 u8"Неизвестный код документа [01] в документообороте [88][ЗаявлениеУчет]"),
        Document("OneDigitDocument", "03", "1",
                 u8"Неизвестный код документа [1] в документообороте [03][ПисьмоНО]"),
        Main("DescriptionNotAllowedInResultOfReception", "01", "04", "02"),
        Main("UnknownFlowGivesTheCombinationMessage", "99", "01", "01"),
        Main("DocumentOfAnotherTransaction", "06", "07", "08")),
    [](const auto& info) { return info.param.name; });

// ---- Role and subject-type conversions ------------------------------------------------------

TEST(Conversion, RolesAndSubjectTypesMapBothWays) {
  const std::pair<int32_t, int32_t> mappings[] = {
      {kSubjectUnknown, SIGN_ROLE_TYPE_UNKNOWN},  {kSubjectAbonent, SIGN_ROLE_TYPE_ABONENT},
      {kSubjectTaxAuthority, SIGN_ROLE_TYPE_TDX}, {kSubjectSpecialOperator, SIGN_ROLE_TYPE_SOS},
      {kSubjectDataCentre, SIGN_ROLE_TYPE_FCOD},
  };
  for (const auto& [engine, automation] : mappings) {
    EXPECT_EQ(CTdx880Tool::RoleToAutomation(engine), automation);
    EXPECT_EQ(CTdx880Tool::RoleFromAutomation(automation), engine);
    EXPECT_EQ(CTdx880Tool::SubjectTypeToAutomation(engine), automation);
    EXPECT_EQ(CTdx880Tool::SubjectTypeFromAutomation(automation), engine);
  }
  EXPECT_EQ(SIGN_ROLE_TYPE_FCOD, 4);
  EXPECT_EQ(CTdx880Tool::RoleFromAutomation(4), 11);
}

TEST(Conversion, ValuesWithoutACounterpartNameTheValue) {
  const auto expect = [](const std::function<void(int32_t)>& convert, const char8_t* what,
                         int32_t value) {
    ExpectRaises([&] { convert(value); }, rtl::Msg(what) + ": [" + std::to_string(value) + "]");
  };
  // Engine codes without an automation value: the other subject codes 4 to 10, and beyond.
  for (const int32_t value :
       {-1, INT32_MIN, int32_t{kSubjectAbonentAlias}, int32_t{kSubjectApplicant},
        int32_t{kSubjectNotary}, int32_t{kSubjectTrustedCa}, int32_t{kSubjectCentralBank},
        int32_t{kSubjectActingNotary}, int32_t{kSubjectJusticeMinistry}, 12, 255, 256, 267,
        INT32_MAX}) {
    SCOPED_TRACE(value);
    expect([](int32_t v) { (void)CTdx880Tool::RoleToAutomation(v); }, u8"Неизвестная роль", value);
    expect([](int32_t v) { (void)CTdx880Tool::SubjectTypeToAutomation(v); },
           u8"Неизвестный тип субъекта", value);
  }
  // Automation values past SIGN_ROLE_TYPE_FCOD; 11 is an engine code, not an automation value.
  for (const int32_t value : {-1, INT32_MIN, 5, 10, 11, 12, 255, 260, INT32_MAX}) {
    SCOPED_TRACE(value);
    expect([](int32_t v) { (void)CTdx880Tool::RoleFromAutomation(v); }, u8"Неизвестная роль",
           value);
    expect([](int32_t v) { (void)CTdx880Tool::SubjectTypeFromAutomation(v); },
           u8"Неизвестный тип субъекта", value);
  }
}

}  // namespace
}  // namespace lyr::package
