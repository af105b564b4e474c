// The tool's "codes" command, run as a program: what it prints and its exit status.
#include <gtest/gtest.h>

#include <string>

#include "package/tdx880_tool.h"
#include "rtl/text.h"
#include "support/sandbox.h"

namespace lyr::tool {
namespace {

using package::CTdx880Tool;

class CodesCommand : public test::Sandbox {
 protected:
  // Runs the tool with arguments; standard error is collected after standard output.
  int Run(const std::string& arguments, std::string* output) {
    return test::RunCommand(std::string(LYR_TDX880_TOOL) + " " + arguments + " 2>&1", output);
  }
};

std::string Utf8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TEST_F(CodesCommand, ShowsEveryFlowWithItsTransactionsAndDocumentTypes) {
  std::string output;
  ASSERT_EQ(Run("codes", &output), 0) << output;
  EXPECT_EQ(output.rfind("Document flows, transactions and document types: 9 flows, 59 "
                         "transactions, 53 document types.\n",
                         0),
            0U)
      << output;
  for (const package::ThreadTypeRow& flow : CTdx880Tool::ThreadTypes()) {
    const std::string head = "\n" + std::string(flow.ThreadTypeCode) + " " +
                             rtl::AnsiToUtf8String(flow.ThreadTypeName) + "\n  Transactions ";
    EXPECT_EQ(CountOf(output, head), 1U) << head;
  }
  EXPECT_EQ(CountOf(output, "       documents: "), CTdx880Tool::Transactions().size());
  EXPECT_EQ(CountOf(output, "  Document types "), CTdx880Tool::ThreadTypes().size());
  EXPECT_EQ(CountOf(output, " encrypted\n") + CountOf(output, " plain\n"),
            CTdx880Tool::DocumentTypes().size());
}

TEST_F(CodesCommand, ShowsParticipantsDocumentsAndMainMarks) {
  std::string output;
  ASSERT_EQ(Run("codes", &output), 0) << output;
  for (const std::u8string_view line : {
           u8"    01 ДекларацияНП                    абонент         налоговыйОрган\n"
           u8"       documents: 01 декларация*, 03 доверенность, 10 приложение, 02 описание,\n"
           u8"                  04 подтверждениеДатыОтправки\n",
           u8"    04 РезультатПриемаДекларацияНО     налоговыйОрган  абонент\n"
           u8"       documents: 06 квитанцияОПриеме*, 05 уведомлениеОбОтказе*, 01 декларация\n",
           u8"    21 ИзвещениеПодтверждениеСОСНП     абонент         спецоператор\n",
           u8"    21 ИзвещениеПодтверждениеСОСНП     налоговыйОрган  абонент\n",
           u8"    04 04                              налоговыйОрган  спецоператор\n",
           u8"    77 УчетФЛ                          абонент         ФЦОД\n"
           u8"       documents: 33 заявление*, 34 запрос\n",
           u8"    01 рассылка                        plain\n",
           u8"    01 декларация                      encrypted\n",
       }) {
    EXPECT_NE(output.find(Utf8(line)), std::string::npos) << Utf8(line);
  }
}

TEST_F(CodesCommand, ShowsOneFlowByItsCode) {
  std::string output;
  ASSERT_EQ(Run("codes 07", &output), 0) << output;
  EXPECT_EQ(output, Utf8(u8"A star marks the main document of a transaction.\n\n"
                         u8"07 ОшибкаОбработкиПакета\n"
                         u8"  Transactions                         from            to\n"
                         u8"    01 СообщениеОбОшибке               налоговыйОрган  абонент\n"
                         u8"       documents: 01 сообщениеОбОшибке*, 02 описаниеОшибочногоПакета\n"
                         u8"  Document types                       content\n"
                         u8"    01 сообщениеОбОшибке               plain\n"
                         u8"    02 описаниеОшибочногоПакета        plain\n"));
}

TEST_F(CodesCommand, UnknownFlowFailsWithTheLibraryMessage) {
  std::string output;
  EXPECT_EQ(Run("codes 1", &output), 1);
  EXPECT_EQ(output, Utf8(u8"Неизвестный код документооборота [1]\n"));
}

TEST_F(CodesCommand, MoreThanOneArgumentIsAUsageError) {
  std::string output;
  EXPECT_EQ(Run("codes 01 02", &output), 2);
  EXPECT_EQ(output, "usage: tdx880 codes [FLOW]\n");
}

TEST_F(CodesCommand, IsListedInHelp) {
  std::string output;
  ASSERT_EQ(Run("--help", &output), 0);
  EXPECT_NE(output.find("\n  codes [FLOW]\n"), std::string::npos) << output;
}

}  // namespace
}  // namespace lyr::tool
