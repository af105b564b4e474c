// CTdx880Tool: the code tables of document flows, transactions, document types and main
// documents with their lookups, and the conversions between participant codes and the
// automation roles.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "package/subject_codes.h"

namespace lyr::package {

// One document flow. Codes are ASCII; names are windows-1251 text.
struct ThreadTypeRow {
  std::string_view ThreadTypeCode;
  std::string ThreadTypeName;
};

// One transaction of a flow with the participants that send and receive it.
struct TransactionRow {
  std::string_view ThreadTypeCode;
  std::string_view TransactTypeCode;
  std::string TransactionName;
  SubjectCode SenderType;
  SubjectCode ReceiverType;
};

// One transaction again, with the transaction a package of it answers (empty for a flow's first).
struct AnswerRow {
  std::string_view ThreadTypeCode;
  std::string_view TransactTypeCode;
  std::string TransactionName;
  SubjectCode SenderType;
  std::string_view PrecedingTransactTypeCode;
};

// One document type of a flow; Encrypt tells whether package encryption covers items of the type.
struct DocumentTypeRow {
  std::string_view ThreadTypeCode;
  std::string_view DocTypeCode;
  std::string DocumentTypeName;
  bool Encrypt;
};

// One document allowed in a transaction; IsMain marks the package's main document.
struct MainDocumentRow {
  std::string_view ThreadTypeCode;
  std::string_view TransactTypeCode;
  std::string_view DocTypeCode;
  bool IsMain;
};

struct TransactionInfo {
  std::string ThreadTypeName;
  std::string TransactionName;
  SubjectCode SenderType;
  SubjectCode ReceiverType;
};

struct DocumentTypeInfo {
  std::string DocumentTypeName;
  bool Encrypt;
};

// Stateless: every operation is a class operation. Codes are compared exactly as whole strings
// (case-sensitive); tables are searched from the first row and the first matching row wins.
// Failures raise lyr::rtl::Exception with the system's message and no context prefix.
class CTdx880Tool final {
 public:
  CTdx880Tool() = delete;

  // The flow's name; fails with "Неизвестный код документооборота [<code>]".
  static std::string GetThreadTypeName(std::string_view thread_type_code);

  // The flow is looked up first, so an unknown flow fails as in GetThreadTypeName even when the
  // transaction is unknown too; an unknown pair fails with
  // "Неизвестный код транзацкии [<transaction>] в документообороте [<flow>][<flow name>]".
  static TransactionInfo GetTransactionInfo(std::string_view thread_type_code,
                                            std::string_view transact_type_code);

  // As GetTransactionInfo; an unknown pair fails with
  // "Неизвестный код документа [<document>] в документообороте [<flow>][<flow name>]".
  static DocumentTypeInfo GetDocumentTypeInfo(std::string_view thread_type_code,
                                              std::string_view doc_type_code);

  // The main flag of the document in the transaction; a combination not in the table fails with
  // "Неверная комбинация кодов документооборота [<flow>], транзакции [<tr>] и документа [<doc>]".
  static bool IsMainDocument(std::string_view thread_type_code, std::string_view transact_type_code,
                             std::string_view doc_type_code);

  // Engine codes 0, 1, 2, 3, 11 <-> automation values 0, 1, 2, 3, 4; any other value fails with
  // "Неизвестная роль: [<value>]" (roles) or "Неизвестный тип субъекта: [<value>]" (subject types).
  static SIGN_ROLE_TYPES RoleToAutomation(int32_t code);
  static SubjectCode RoleFromAutomation(int32_t role);
  static SIGN_ROLE_TYPES SubjectTypeToAutomation(int32_t code);
  static SubjectCode SubjectTypeFromAutomation(int32_t subject_type);

  // The first answer row of the flow that answers the preceding transaction and is sent by
  // sender_type; nullptr when there is none.
  static const AnswerRow* FindAnswer(std::string_view thread_type_code,
                                     std::string_view preceding_transact_type_code,
                                     SubjectCode sender_type);

  // The first allowed-document row of the transaction marked main; nullptr when there is none.
  static const MainDocumentRow* FindMainDocument(std::string_view thread_type_code,
                                                 std::string_view transact_type_code);

  // The whole tables in search order (valid for the life of the program).
  static std::span<const ThreadTypeRow> ThreadTypes();
  static std::span<const TransactionRow> Transactions();
  static std::span<const AnswerRow> Answers();
  static std::span<const DocumentTypeRow> DocumentTypes();
  static std::span<const MainDocumentRow> MainDocuments();
};

// The first row of rows that matches, or nullptr: the search rule of every code table.
template <typename Row, typename Match>
const Row* FindFirstRow(std::span<const Row> rows, Match match) {
  for (const Row& row : rows) {
    if (match(row)) {
      return &row;
    }
  }
  return nullptr;
}

}  // namespace lyr::package
