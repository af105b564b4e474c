// Code tables and role conversions of CTdx880Tool: the tables checked by their invariants, the
// rows worth naming, and the failures with their exact messages.
#include "package/tdx880_tool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "rtl/errors.h"
#include "rtl/text.h"
#include "support/expect_raises.h"

namespace lyr::package {
namespace {

using lyr::test::ExpectRaises;

// ---- The tables checked by their invariants ---------------------------------------------

TEST(CodeTables, HaveTheirRowCounts) {
  EXPECT_EQ(CTdx880Tool::ThreadTypes().size(), 9U);
  EXPECT_EQ(CTdx880Tool::Transactions().size(), 59U);
  EXPECT_EQ(CTdx880Tool::DocumentTypes().size(), 53U);
  EXPECT_EQ(CTdx880Tool::MainDocuments().size(), 87U);
}

// Every lookup answers with the row that holds its key.
TEST(CodeTables, LookupsGiveTheirRows) {
  for (const ThreadTypeRow& row : CTdx880Tool::ThreadTypes()) {
    EXPECT_EQ(CTdx880Tool::GetThreadTypeName(row.ThreadTypeCode), row.ThreadTypeName);
  }
  for (const TransactionRow& row : CTdx880Tool::Transactions()) {
    const TransactionInfo info =
        CTdx880Tool::GetTransactionInfo(row.ThreadTypeCode, row.TransactTypeCode);
    EXPECT_EQ(info.ThreadTypeName, CTdx880Tool::GetThreadTypeName(row.ThreadTypeCode));
    EXPECT_EQ(info.TransactionName, row.TransactionName);
    EXPECT_EQ(info.SenderType, row.SenderType);
    EXPECT_EQ(info.ReceiverType, row.ReceiverType);
  }
  for (const DocumentTypeRow& row : CTdx880Tool::DocumentTypes()) {
    const DocumentTypeInfo info =
        CTdx880Tool::GetDocumentTypeInfo(row.ThreadTypeCode, row.DocTypeCode);
    EXPECT_EQ(info.DocumentTypeName, row.DocumentTypeName);
    EXPECT_EQ(info.Encrypt, row.Encrypt);
  }
  for (const MainDocumentRow& row : CTdx880Tool::MainDocuments()) {
    EXPECT_EQ(
        CTdx880Tool::IsMainDocument(row.ThreadTypeCode, row.TransactTypeCode, row.DocTypeCode),
        row.IsMain);
  }
}

// No table holds a key twice, so every lookup below is answered by the one row with that key.
TEST(CodeTables, HoldEveryKeyOnce) {
  std::set<std::string> flows;
  for (const ThreadTypeRow& row : CTdx880Tool::ThreadTypes()) {
    EXPECT_TRUE(flows.insert(std::string(row.ThreadTypeCode)).second) << row.ThreadTypeCode;
  }
  std::set<std::tuple<std::string_view, std::string_view>> pairs;
  for (const TransactionRow& row : CTdx880Tool::Transactions()) {
    EXPECT_TRUE(pairs.insert({row.ThreadTypeCode, row.TransactTypeCode}).second);
  }
  pairs.clear();
  for (const DocumentTypeRow& row : CTdx880Tool::DocumentTypes()) {
    EXPECT_TRUE(pairs.insert({row.ThreadTypeCode, row.DocTypeCode}).second);
  }
  std::set<std::tuple<std::string_view, std::string_view, std::string_view>> triples;
  for (const MainDocumentRow& row : CTdx880Tool::MainDocuments()) {
    EXPECT_TRUE(triples.insert({row.ThreadTypeCode, row.TransactTypeCode, row.DocTypeCode}).second);
  }
}

// Every allowed document is a known transaction and a known document type of its flow, and every
// transaction of the table has a main document.
TEST(CodeTables, AllowedDocumentsReferToKnownTransactionsAndTypes) {
  for (const MainDocumentRow& row : CTdx880Tool::MainDocuments()) {
    EXPECT_NO_THROW(
        (void)CTdx880Tool::GetTransactionInfo(row.ThreadTypeCode, row.TransactTypeCode));
    EXPECT_NO_THROW((void)CTdx880Tool::GetDocumentTypeInfo(row.ThreadTypeCode, row.DocTypeCode));
  }
  for (const TransactionRow& transaction : CTdx880Tool::Transactions()) {
    int mains = 0;
    for (const MainDocumentRow& row : CTdx880Tool::MainDocuments()) {
      if (row.ThreadTypeCode == transaction.ThreadTypeCode &&
          row.TransactTypeCode == transaction.TransactTypeCode && row.IsMain) {
        ++mains;
      }
    }
    EXPECT_GE(mains, 1) << transaction.ThreadTypeCode << "/" << transaction.TransactTypeCode;
  }
}

// The answer table repeats the transaction table row for row; each preceding transaction is one
// of the flow's own transactions.
TEST(CodeTables, AnswerRowsMatchTransactionRows) {
  const auto answers = CTdx880Tool::Answers();
  const auto transactions = CTdx880Tool::Transactions();
  ASSERT_EQ(answers.size(), transactions.size());
  for (size_t i = 0; i < answers.size(); ++i) {
    EXPECT_EQ(answers[i].ThreadTypeCode, transactions[i].ThreadTypeCode) << "row " << i;
    EXPECT_EQ(answers[i].TransactTypeCode, transactions[i].TransactTypeCode) << "row " << i;
    EXPECT_EQ(answers[i].TransactionName, transactions[i].TransactionName) << "row " << i;
    EXPECT_EQ(answers[i].SenderType, transactions[i].SenderType) << "row " << i;
    if (!answers[i].PrecedingTransactTypeCode.empty()) {
      EXPECT_NO_THROW((void)CTdx880Tool::GetTransactionInfo(answers[i].ThreadTypeCode,
                                                            answers[i].PrecedingTransactTypeCode))
          << "row " << i;
    }
  }
  const AnswerRow* row = CTdx880Tool::FindAnswer("01", "01", kSubjectTaxAuthority);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->TransactTypeCode, "02");
  EXPECT_EQ(CTdx880Tool::FindAnswer("01", "10", kSubjectAbonent), nullptr);
}

// ---- Cases worth naming ---------------------------------------------------------------------

TEST(TransactionInfo, Transaction21GoesToTheOperatorExceptInFlow08) {
  const std::string name = rtl::Msg(u8"ИзвещениеПодтверждениеСОСНП");
  for (const char* flow : {"01", "02", "06"}) {
    const TransactionInfo info = CTdx880Tool::GetTransactionInfo(flow, "21");
    EXPECT_EQ(info.TransactionName, name) << flow;
    EXPECT_EQ(info.SenderType, kSubjectAbonent) << flow;
    EXPECT_EQ(info.ReceiverType, kSubjectSpecialOperator) << flow;
  }
  const TransactionInfo info = CTdx880Tool::GetTransactionInfo("08", "21");
  EXPECT_EQ(info.ThreadTypeName, rtl::Msg(u8"Сведения2НДФЛ"));
  EXPECT_EQ(info.TransactionName, name);
  EXPECT_EQ(info.SenderType, kSubjectTaxAuthority);
  EXPECT_EQ(info.ReceiverType, kSubjectAbonent);
}

TEST(TransactionInfo, Flow05Transaction04IsNamedByItsDigits) {
  const TransactionInfo info = CTdx880Tool::GetTransactionInfo("05", "04");
  EXPECT_EQ(info.ThreadTypeName, rtl::Msg(u8"РассылкаГрупповая"));
  EXPECT_EQ(info.TransactionName, "04");
  EXPECT_EQ(info.SenderType, kSubjectTaxAuthority);
  EXPECT_EQ(info.ReceiverType, kSubjectSpecialOperator);
}

TEST(TransactionInfo, RegistrationGoesToTheDataCentre) {
  const TransactionInfo info = CTdx880Tool::GetTransactionInfo("88", "77");
  EXPECT_EQ(info.TransactionName, rtl::Msg(u8"УчетФЛ"));
  EXPECT_EQ(info.SenderType, kSubjectAbonent);
  EXPECT_EQ(info.ReceiverType, kSubjectDataCentre);
}

TEST(DocumentTypeInfo, MailingInFlow04StaysPlain) {
  const DocumentTypeInfo info = CTdx880Tool::GetDocumentTypeInfo("04", "01");
  EXPECT_EQ(info.DocumentTypeName, rtl::Msg(u8"рассылка"));
  EXPECT_FALSE(info.Encrypt);
  EXPECT_TRUE(CTdx880Tool::GetDocumentTypeInfo("01", "01").Encrypt);
}

TEST(MainDocument, ResultOfReceptionHasTwoMainDocumentsAndOneOther) {
  EXPECT_FALSE(CTdx880Tool::IsMainDocument("01", "04", "01"));
  EXPECT_TRUE(CTdx880Tool::IsMainDocument("01", "04", "06"));
  EXPECT_TRUE(CTdx880Tool::IsMainDocument("01", "04", "05"));
  ExpectRaises([] { (void)CTdx880Tool::IsMainDocument("01", "04", "02"); },
               rtl::Msg(u8"Неверная комбинация кодов документооборота [01], транзакции [04] и "
                        u8"документа [02]"));
}

// ---- Failures with their exact messages ------------------------------------------------------

struct LookupFailure {
  std::string name;
  std::string flow;
  std::string second;  // transaction or document code
  std::string third;   // document code (IsMainDocument only)
  std::u8string message;
};

void PrintTo(const LookupFailure& c, std::ostream* os) {
  *os << c.name;
}

std::string CaseName(const ::testing::TestParamInfo<LookupFailure>& info) {
  return info.param.name;
}

class FlowNameFailure : public ::testing::TestWithParam<LookupFailure> {};

TEST_P(FlowNameFailure, NamesTheCode) {
  ExpectRaises([this] { (void)CTdx880Tool::GetThreadTypeName(GetParam().flow); },
               rtl::Msg(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, FlowNameFailure,
    ::testing::Values(
        LookupFailure{"OneDigit", "1", "", "", u8"Неизвестный код документооборота [1]"},
        LookupFailure{"Empty", "", "", "", u8"Неизвестный код документооборота []"},
        LookupFailure{"TrailingBlank", "01 ", "", "", u8"Неизвестный код документооборота [01 ]"},
        LookupFailure{"Unused09", "09", "", "", u8"Неизвестный код документооборота [09]"}),
    CaseName);

class TransactionInfoFailure : public ::testing::TestWithParam<LookupFailure> {};

TEST_P(TransactionInfoFailure, NamesTheCodes) {
  ExpectRaises(
      [this] { (void)CTdx880Tool::GetTransactionInfo(GetParam().flow, GetParam().second); },
      rtl::Msg(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, TransactionInfoFailure,
    ::testing::Values(
        LookupFailure{"UnknownFlowWinsOverUnknownTransaction", "99", "99", "",
                      u8"Неизвестный код документооборота [99]"},
        LookupFailure{"TransactionOfAnotherFlow", "07", "02", "",
                      u8"Неизвестный код транзацкии [02] в документообороте "
                      u8"[07][ОшибкаОбработкиПакета]"},
        LookupFailure{"Transaction77OutsideFlow88", "01", "77", "",
                      u8"Неизвестный код транзацкии [77] в документообороте [01][Декларация]"},
        LookupFailure{"EmptyTransaction", "88", "", "",
                      u8"Неизвестный код транзацкии [] в документообороте [88][ЗаявлениеУчет]"}),
    CaseName);

class DocumentTypeInfoFailure : public ::testing::TestWithParam<LookupFailure> {};

TEST_P(DocumentTypeInfoFailure, NamesTheCodes) {
  ExpectRaises(
      [this] { (void)CTdx880Tool::GetDocumentTypeInfo(GetParam().flow, GetParam().second); },
      rtl::Msg(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, DocumentTypeInfoFailure,
    ::testing::Values(
        LookupFailure{"UnknownFlowWinsOverUnknownDocument", "09", "77", "",
                      u8"Неизвестный код документооборота [09]"},
        LookupFailure{"DocumentOfAnotherFlow", "88", "01", "",
                      u8"Неизвестный код документа [01] в документообороте [88][ЗаявлениеУчет]"},
        LookupFailure{"OneDigitDocument", "03", "1", "",
                      u8"Неизвестный код документа [1] в документообороте [03][ПисьмоНО]"}),
    CaseName);

class MainDocumentFailure : public ::testing::TestWithParam<LookupFailure> {};

TEST_P(MainDocumentFailure, NamesTheCombination) {
  ExpectRaises(
      [this] {
        (void)CTdx880Tool::IsMainDocument(GetParam().flow, GetParam().second, GetParam().third);
      },
      rtl::Msg(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, MainDocumentFailure,
    ::testing::Values(
        LookupFailure{"DescriptionNotAllowedInResultOfReception", "01", "04", "02",
                      u8"Неверная комбинация кодов документооборота [01], транзакции [04] и "
                      u8"документа [02]"},
        LookupFailure{"UnknownFlowGivesTheCombinationMessage", "99", "01", "01",
                      u8"Неверная комбинация кодов документооборота [99], транзакции [01] и "
                      u8"документа [01]"},
        LookupFailure{"DocumentOfAnotherTransaction", "06", "07", "08",
                      u8"Неверная комбинация кодов документооборота [06], транзакции [07] и "
                      u8"документа [08]"}),
    CaseName);

// ---- Role and subject-type conversions ------------------------------------------------------

struct CodeMapping {
  std::string name;
  int32_t engine;
  int32_t automation;
};

const std::vector<CodeMapping> kMappings = {
    {"Unknown", kSubjectUnknown, SIGN_ROLE_TYPE_UNKNOWN},
    {"Abonent", kSubjectAbonent, SIGN_ROLE_TYPE_ABONENT},
    {"TaxAuthority", kSubjectTaxAuthority, SIGN_ROLE_TYPE_TDX},
    {"SpecialOperator", kSubjectSpecialOperator, SIGN_ROLE_TYPE_SOS},
    {"DataCentre", kSubjectDataCentre, SIGN_ROLE_TYPE_FCOD},
};

void PrintTo(const CodeMapping& c, std::ostream* os) {
  *os << c.engine << "<->" << c.automation;
}

class Conversion : public ::testing::TestWithParam<CodeMapping> {};

TEST_P(Conversion, RoleMapsBothWays) {
  EXPECT_EQ(CTdx880Tool::RoleToAutomation(GetParam().engine), GetParam().automation);
  EXPECT_EQ(CTdx880Tool::RoleFromAutomation(GetParam().automation), GetParam().engine);
}

TEST_P(Conversion, SubjectTypeMapsBothWays) {
  EXPECT_EQ(CTdx880Tool::SubjectTypeToAutomation(GetParam().engine), GetParam().automation);
  EXPECT_EQ(CTdx880Tool::SubjectTypeFromAutomation(GetParam().automation), GetParam().engine);
}

INSTANTIATE_TEST_SUITE_P(EveryValue, Conversion, ::testing::ValuesIn(kMappings),
                         [](const auto& info) { return info.param.name; });

TEST(Conversion, EnumerationValuesAreThoseOfTheTypeLibrary) {
  EXPECT_EQ(SIGN_ROLE_TYPE_UNKNOWN, 0);
  EXPECT_EQ(SIGN_ROLE_TYPE_ABONENT, 1);
  EXPECT_EQ(SIGN_ROLE_TYPE_TDX, 2);
  EXPECT_EQ(SIGN_ROLE_TYPE_SOS, 3);
  EXPECT_EQ(SIGN_ROLE_TYPE_FCOD, 4);
  EXPECT_EQ(sizeof(SIGN_ROLE_TYPES), 4U);
  EXPECT_EQ(CTdx880Tool::RoleFromAutomation(4), 11);
}

struct BadValue {
  std::string name;
  int32_t value;
};

void PrintTo(const BadValue& c, std::ostream* os) {
  *os << c.value;
}

std::string BadValueName(const ::testing::TestParamInfo<BadValue>& info) {
  return info.param.name;
}

class EngineCodeFailure : public ::testing::TestWithParam<BadValue> {};

TEST_P(EngineCodeFailure, RoleToAutomationNamesTheCode) {
  const int32_t value = GetParam().value;
  ExpectRaises([value] { (void)CTdx880Tool::RoleToAutomation(value); },
               rtl::Msg(u8"Неизвестная роль: [") + std::to_string(value) + "]");
}

TEST_P(EngineCodeFailure, SubjectTypeToAutomationNamesTheCode) {
  const int32_t value = GetParam().value;
  ExpectRaises([value] { (void)CTdx880Tool::SubjectTypeToAutomation(value); },
               rtl::Msg(u8"Неизвестный тип субъекта: [") + std::to_string(value) + "]");
}

// Engine codes without an automation value: the other subject codes 4 to 10, and beyond.
INSTANTIATE_TEST_SUITE_P(Values, EngineCodeFailure,
                         ::testing::Values(BadValue{"Minus1", -1}, BadValue{"Int32Min", INT32_MIN},
                                           BadValue{"AbonentAlias4", kSubjectAbonentAlias},
                                           BadValue{"Applicant5", kSubjectApplicant},
                                           BadValue{"Notary6", kSubjectNotary},
                                           BadValue{"TrustedCa7", kSubjectTrustedCa},
                                           BadValue{"CentralBank8", kSubjectCentralBank},
                                           BadValue{"ActingNotary9", kSubjectActingNotary},
                                           BadValue{"JusticeMinistry10", kSubjectJusticeMinistry},
                                           BadValue{"Twelve", 12}, BadValue{"Byte255", 255},
                                           BadValue{"Byte256", 256}, BadValue{"Byte267", 267},
                                           BadValue{"Int32Max", INT32_MAX}),
                         BadValueName);

class AutomationValueFailure : public ::testing::TestWithParam<BadValue> {};

TEST_P(AutomationValueFailure, RoleFromAutomationNamesTheValue) {
  const int32_t value = GetParam().value;
  ExpectRaises([value] { (void)CTdx880Tool::RoleFromAutomation(value); },
               rtl::Msg(u8"Неизвестная роль: [") + std::to_string(value) + "]");
}

TEST_P(AutomationValueFailure, SubjectTypeFromAutomationNamesTheValue) {
  const int32_t value = GetParam().value;
  ExpectRaises([value] { (void)CTdx880Tool::SubjectTypeFromAutomation(value); },
               rtl::Msg(u8"Неизвестный тип субъекта: [") + std::to_string(value) + "]");
}

// Automation values past SIGN_ROLE_TYPE_FCOD; 11 is an engine code, not an automation value.
INSTANTIATE_TEST_SUITE_P(Values, AutomationValueFailure,
                         ::testing::Values(BadValue{"Minus1", -1}, BadValue{"Int32Min", INT32_MIN},
                                           BadValue{"Five", 5}, BadValue{"Ten", 10},
                                           BadValue{"EngineCode11", 11}, BadValue{"Twelve", 12},
                                           BadValue{"Byte255", 255}, BadValue{"Byte260", 260},
                                           BadValue{"Int32Max", INT32_MAX}),
                         BadValueName);

TEST(Conversion, RoleToAutomationOf4FailsWithTheRoleMessage) {
  ExpectRaises([] { (void)CTdx880Tool::RoleToAutomation(4); }, rtl::Msg(u8"Неизвестная роль: [4]"));
  ExpectRaises([] { (void)CTdx880Tool::SubjectTypeToAutomation(4); },
               rtl::Msg(u8"Неизвестный тип субъекта: [4]"));
}

}  // namespace
}  // namespace lyr::package
