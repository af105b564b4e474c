// tdx880 codes: the code tables of document flows, transactions and document types, for reading.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "command.h"
#include "package/tdx880_tool.h"
#include "package/xml/subject_code_words.h"
#include "rtl/format.h"
#include "rtl/text.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

using package::CTdx880Tool;

// Everything is composed in windows-1251, one byte a character, so padding counts characters.
constexpr size_t kLineWidth = 100;
constexpr size_t kNameWidth = 32;
constexpr size_t kRoleWidth = 16;
constexpr std::string_view kLegend = "A star marks the main document of a transaction.";

std::string Padded(std::string_view text, size_t width) {
  std::string result(text);
  if (result.size() < width) {
    result.append(width - result.size(), ' ');
  }
  return result;
}

// The participant's word as package descriptions write it.
std::string RoleWord(package::SubjectCode code) {
  return xml::SubjectCodeToWord(code).value_or(rtl::Format("%d", code));
}

// "01 декларация*" for each document allowed in the transaction, the main ones starred.
std::vector<std::string> AllowedDocuments(const package::TransactionRow& transaction) {
  std::vector<std::string> documents;
  for (const package::MainDocumentRow& row : CTdx880Tool::MainDocuments()) {
    if (row.ThreadTypeCode != transaction.ThreadTypeCode ||
        row.TransactTypeCode != transaction.TransactTypeCode) {
      continue;
    }
    const package::DocumentTypeInfo type =
        CTdx880Tool::GetDocumentTypeInfo(row.ThreadTypeCode, row.DocTypeCode);
    documents.push_back(std::string(row.DocTypeCode) + " " + type.DocumentTypeName +
                        (row.IsMain ? "*" : ""));
  }
  return documents;
}

// Lists items after head, separated by commas, continuing on lines indented under the first item.
std::string Wrapped(const std::string& head, const std::vector<std::string>& items) {
  std::string text = head;
  size_t line_start = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string item = items[i] + (i + 1 < items.size() ? "," : "");
    if (i > 0) {
      if (text.size() - line_start + 1 + item.size() > kLineWidth) {
        text += "\n";
        line_start = text.size();
        text.append(head.size(), ' ');
      } else {
        text += " ";
      }
    }
    text += item;
  }
  return text + "\n";
}

std::string TransactionsText(const package::ThreadTypeRow& flow) {
  std::string text =
      "  " + Padded("Transactions", kNameWidth + 5) + Padded("from", kRoleWidth) + "to\n";
  for (const package::TransactionRow& row : CTdx880Tool::Transactions()) {
    if (row.ThreadTypeCode != flow.ThreadTypeCode) {
      continue;
    }
    text += "    " + std::string(row.TransactTypeCode) + " " +
            Padded(row.TransactionName, kNameWidth) + Padded(RoleWord(row.SenderType), kRoleWidth) +
            RoleWord(row.ReceiverType) + "\n";
    text += Wrapped("       documents: ", AllowedDocuments(row));
  }
  return text;
}

std::string DocumentTypesText(const package::ThreadTypeRow& flow) {
  std::string text = "  " + Padded("Document types", kNameWidth + 5) + "content\n";
  for (const package::DocumentTypeRow& row : CTdx880Tool::DocumentTypes()) {
    if (row.ThreadTypeCode != flow.ThreadTypeCode) {
      continue;
    }
    text += "    " + std::string(row.DocTypeCode) + " " + Padded(row.DocumentTypeName, kNameWidth) +
            (row.Encrypt ? "encrypted" : "plain") + "\n";
  }
  return text;
}

std::string FlowText(const package::ThreadTypeRow& flow) {
  return std::string(flow.ThreadTypeCode) + " " + flow.ThreadTypeName + "\n" +
         TransactionsText(flow) + DocumentTypesText(flow);
}

std::string HeadText() {
  return rtl::Format(
      "Document flows, transactions and document types: %d flows, %d transactions, %d document "
      "types.\n%s\n",
      CTdx880Tool::ThreadTypes().size(), CTdx880Tool::Transactions().size(),
      CTdx880Tool::DocumentTypes().size(), kLegend);
}

// codes [FLOW]: every flow, or the one flow given by its code.
int RunCodes(const Arguments& arguments) {
  if (arguments.size() > 1) {
    std::fputs("usage: tdx880 codes [FLOW]\n", stderr);
    return kUsageError;
  }
  if (!arguments.empty()) {
    const std::string code = FromTerminal(arguments[0]);
    const std::string name = CTdx880Tool::GetThreadTypeName(code);
    Print(std::string(kLegend) + "\n\n" + FlowText({code, name}));
    return 0;
  }
  std::string text = HeadText();
  for (const package::ThreadTypeRow& flow : CTdx880Tool::ThreadTypes()) {
    text += "\n" + FlowText(flow);
  }
  Print(text);
  return 0;
}

}  // namespace

std::vector<Command> CodesCommands() {
  return {{"codes", "[FLOW]",
           "show the document flows with their transactions, participants, documents and "
           "document types",
           &RunCodes}};
}

}  // namespace lyr::tool
