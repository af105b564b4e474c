// Packages as Internet messages, both ways against Python's email package; hostile messages are
// refused with their message while the temporary folder stays empty.
#include "mail/package_mail.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "package/item_fixture.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "rtl/base64.h"
#include "rtl/folder_lock.h"
#include "rtl/text.h"
#include "rtl/whole_file.h"

namespace lyr::mail {
namespace {

namespace fs = std::filesystem;
using package::CTdx880Doc;
using package::test::ExpectRaises;
using package::test::MessageOf;
using rtl::Msg;

// A message with one part of the given headers and body.
std::string Message(const std::string& part_headers, const std::string& body) {
  return "From: a@example.ru\r\nTo: b@example.ru\r\nMIME-Version: 1.0\r\n"
         "Content-Type: multipart/mixed; boundary=\"XX\"\r\n\r\n--XX\r\n" +
         part_headers + "\r\n\r\n" + body + "\r\n--XX--\r\n";
}

class MailTest : public package::test::PackageTest {
 protected:
  void SetUp() override {
    PackageTest::SetUp();
    fs::create_directories(Tmp());
  }
  // The conversions' temporary folder (the containers' working folders lie in TMP).
  std::string Tmp() const { return PathOf("mail"); }
  bool TmpIsEmpty() const { return fs::is_empty(Tmp()); }

  static void Fill(CTdx880Doc& doc) { package::test::FillDeclarationPackage(doc); }
  // "name=content" of every document of the package, in order.
  static std::string Documents(CTdx880Doc& doc) {
    std::string text;
    for (int32_t i = 0; i < doc.GetFileCount(); ++i) {
      text += doc.GetFile(i)->OriginalFilename() + "=" + doc.GetFile(i)->PlainContent() + ";";
    }
    return text;
  }
  // A declaration package saved in the sandbox as p.zip; its path.
  std::string Saved(CTdx880Doc& doc) {
    Fill(doc);
    EXPECT_TRUE(doc.SaveAs(PathOf("p.zip")));
    return doc.FileName();
  }
  std::string PackageBase64() {
    CTdx880Doc doc;
    return rtl::EncodeBase64(rtl::ReadFileToString(Saved(doc)));
  }
};

// The package is saved into the temporary folder under its own name, attached and removed.
TEST_F(MailTest, PythonReadsTheHeadersAndTheOneAttachmentWeWrite) {
  CTdx880Doc doc;
  Fill(doc);
  doc.SetFileName(Msg(u8"/elsewhere/Декларация.zip"));
  const std::string subject = rtl::AnsiToUtf8String(
      Msg(u8"ТДХ:1.0-") + doc.GetMainFile()->DocType() + "-" + doc.TransactType());
  const std::string message = CreateEmailByPackage(doc, Tmp(), "a@example.ru", "b@example.ru");
  EXPECT_TRUE(std::regex_match(doc.FileName(),
                               std::regex(Tmp() + "/[0-9a-f]{32}/" + Msg(u8"Декларация.zip"))));
  EXPECT_TRUE(TmpIsEmpty());
  EXPECT_EQ(message.find("CP1251"), std::string::npos);
  // Our encoded words: at most 75 characters, on header lines of at most 76.
  std::istringstream lines(message.substr(0, message.find("\r\n\r\n")));
  for (std::string line; std::getline(lines, line);) {
    if (line.find("=?") != std::string::npos) {
      EXPECT_LE(line.size(), 77u) << line;  // with the CR
      EXPECT_TRUE(
          std::regex_search(line, std::regex("=\\?windows-1251\\?B\\?[A-Za-z0-9+/=]{1,56}\\?=")));
    }
  }
  const std::string out = Python(
      "import sys, email, email.policy\n"
      "m = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=email.policy.default)\n"
      "a = list(m.iter_attachments())\n"
      "open(sys.argv[2], 'wb').write(a[0].get_content())\n"
      "r = [m['Subject'], m['X-Message-Id'], m['X-Tax-Code'], m['X-Tax-Version'], m['From'],\n"
      "     m['To'], m['Message-ID'], m.get_content_type(), str(len(a)), "
      "str(len(m.get_payload())),\n"
      "     a[0].get_content_type(), a[0].get_filename(), a[0]['Content-Transfer-Encoding'],\n"
      "     a[0].get_content_disposition(), a[0].get_param('charset')]\n"
      "sys.stdout.buffer.write('|'.join(r).encode())\n",
      WriteFile("m.eml", message) + " " + PathOf("attachment.zip"));
  EXPECT_TRUE(std::regex_match(
      out, std::regex(subject + "\\|" + doc.ThreadCode() +
                      "\\|01\\|ТДХ:1\\.0\\|a@example\\.ru\\|"
                      "b@example\\.ru\\|<[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}>\\|"
                      "multipart/mixed\\|1\\|1\\|application/octet-stream\\|Декларация\\.zip\\|"
                      "base64\\|attachment\\|Windows-1251")))
      << out;
  // The attachment is the package as saved: the same entries with the same bytes.
  ASSERT_TRUE(doc.SaveAs(PathOf("p.zip")));
  EXPECT_EQ(PythonZipEntries(PathOf("attachment.zip")), PythonZipEntries(PathOf("p.zip")));
}

// What Python writes: one attachment converts; a text part beside it is refused with the count.
TEST_F(MailTest, PythonsMessagesConvertOrFailWithThePartCount) {
  CTdx880Doc source;
  Saved(source);
  const std::string attach =
      "m.add_attachment(p, maintype='application', subtype='octet-stream', filename='пакет.zip')\n";
  for (const auto& [build, error] :
       {std::pair<std::string, std::u8string>{attach, u8""},
        {"m.set_content('text')\n" + attach, u8"Неверное количество вложений: [2]"}}) {
    Python(
        "import sys, email.message\nm = email.message.EmailMessage()\n"
        "m['From'] = 'a@example.ru'\np = open(sys.argv[1], 'rb').read()\n" +
            build + "open(sys.argv[2], 'wb').write(bytes(m))\n",
        source.FileName() + " " + PathOf("m.eml"));
    CTdx880Doc doc;
    EXPECT_EQ(MessageOf([&] { CreatePackageByEmailFile(PathOf("m.eml"), Tmp(), doc); }),
              Msg(error));
    EXPECT_EQ(doc.IsOpened() ? doc.FileName() + Documents(doc) : "",
              error.empty() ? Msg(u8"пакет.zip") + Documents(source) : "");
    EXPECT_TRUE(TmpIsEmpty());
  }
}

struct HostileCase {
  const char* name;
  std::string (*make)(const std::string& good, const std::string& package_base64);
  MailLimits limits;
  std::u8string_view error;
  uint64_t max_plain_size = 0;  // the package's budget (0: the default)
};

class HostileMessage : public MailTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileMessage, IsRefusedAndLeavesTmpEmpty) {
  const std::string base64 = PackageBase64();
  const std::string good = Message(
      "Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
      "Content-Disposition: attachment; filename=p.zip",
      base64);
  CTdx880Doc doc;
  if (GetParam().max_plain_size != 0) {
    doc.Config().SetMaxPlainSize(GetParam().max_plain_size);
  }
  ExpectRaises(
      [&] { CreatePackageByEmail(GetParam().make(good, base64), Tmp(), doc, GetParam().limits); },
      Msg(GetParam().error));
  EXPECT_TRUE(TmpIsEmpty());
}

std::string Same(const std::string& m, const std::string&) {
  return m;
}

std::string Nested(int depth) {
  std::string text = "From: a@example.ru\r\n";
  for (int i = 0; i < depth; ++i) {
    text += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\r\n\r\n--b" +
            std::to_string(i) + "\r\n";
  }
  return text + "Content-Type: application/octet-stream\r\n\r\nx\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Mail, HostileMessage,
    ::testing::Values(
        HostileCase{
            "Truncated",
            [](const std::string& m, const std::string&) { return m.substr(0, m.size() / 2); },
            {},
            u8"Неверный формат сообщения: сообщение обрезано"},
        HostileCase{"Nested1000Deep",
                    [](const std::string&, const std::string&) { return Nested(1000); },
                    {},
                    u8"Слишком много составных частей в сообщении (больше 32)"},
        HostileCase{"MissingBoundary",
                    [](const std::string& m, const std::string&) {
                      return std::regex_replace(m, std::regex("; boundary=\"XX\""), "");
                    },
                    {},
                    u8"Неверный формат сообщения: у составной части нет границы (boundary)"},
        HostileCase{"BrokenBase64",
                    [](const std::string& m, const std::string&) {
                      std::string broken = m;
                      broken[broken.find("\r\n\r\nUEs") + 10] = '*';
                      return broken;
                    },
                    {},
                    u8"Неверная кодировка base64 во вложении"},
        HostileCase{"Base64WithoutItsLastCharacter",
                    [](const std::string&, const std::string& b) {
                      return Message(
                          "Content-Type: application/octet-stream\r\n"
                          "Content-Transfer-Encoding: base64",
                          b.substr(0, b.size() - 1));
                    },
                    {},
                    u8"Неверная кодировка base64 во вложении"},
        HostileCase{"MessageAboveTheLimit",
                    Same,
                    {.MaxMessageSize = 1000, .MaxAttachmentSize = 1000},
                    u8"Сообщение больше допустимого размера (1000 байт)"},
        HostileCase{"AttachmentAboveTheLimit",
                    Same,
                    {.MaxAttachmentSize = 100},
                    u8"Вложение больше допустимого размера (100 байт)"},
        HostileCase{"PackageOverThePlainBudget",
                    Same,
                    {},
                    u8"Слишком большой объём документов в пакете: [p.zip]",
                    16},
        HostileCase{"TwoThousandEmptyParts",
                    [](const std::string& m, const std::string&) {
                      std::string parts;
                      for (int i = 0; i < 2000; ++i) {
                        parts += "--XX\r\n\r\n";
                      }
                      return std::regex_replace(m, std::regex("--XX--"), parts + "--XX--");
                    },
                    {},
                    u8"Слишком много составных частей в сообщении (больше 1000)"},
        HostileCase{"ThreeThousandHeaderLines",
                    [](const std::string& m, const std::string&) {
                      std::string fields;
                      for (int i = 0; i < 3000; ++i) {
                        fields += "X-A: b\r\n";
                      }
                      return fields + m;
                    },
                    {},
                    u8"Слишком много полей заголовков в сообщении (больше 2000)"},
        HostileCase{
            "LoneTextPart",
            [](const std::string&, const std::string&) {
              return Message("Content-Type: text/plain", "hello");
            },
            {},
            u8"Сообщение не содержит вложения с пакетом: его единственная часть - text/plain"}),
    [](const auto& info) { return std::string(info.param.name); });

// Hostile names of the attachment become bare safe names.
TEST_F(MailTest, HostileNamesBecomeBareSafeNames) {
  const std::string base64 = PackageBase64();
  for (const auto& [disposition, file_name] :
       {std::pair<std::string, std::u8string>{
            "Content-Disposition: attachment; filename=\"../../../evil.zip\"", u8"evil.zip"},
        {"Content-Disposition: attachment; filename*=utf-8''a%01b%3F%7Cc%09.zip", u8"a_b__c_.zip"},
        {"Content-Type: application/octet-stream", u8"package"},
        {"Content-Disposition: attachment; filename=\" .. \"", u8"package"},
        {"Content-Disposition: attachment; filename=\" . \"", u8"package"},
        {"Content-Disposition: attachment; filename=\"   \"", u8"package"}}) {
    CTdx880Doc doc;
    CreatePackageByEmail(Message("Content-Transfer-Encoding: base64\r\n" + disposition, base64),
                         Tmp(), doc);
    EXPECT_EQ(doc.FileName() + ":" + std::to_string(doc.GetFileCount()), Msg(file_name) + ":2");
    EXPECT_TRUE(TmpIsEmpty());
  }
}

// Exactly one mailbox, with or without a display name; a Cyrillic name travels as windows-1251
// encoded words that Python decodes, the address intact.
TEST_F(MailTest, AddressesAreOneMailboxAndDisplayNamesAreEncoded) {
  for (const auto& [to, expected] : std::vector<std::pair<std::u8string, std::u8string>>{
           {u8"Иван Петров <ivan@example.ru>", u8"Иван Петров|ivan@example.ru"},
           {u8"Ivan \"Jr\" <ivan@example.ru>", u8"Ivan Jr|ivan@example.ru"},
           {u8"ivan@example.ru", u8"|ivan@example.ru"},
           {u8"<a@x.ru>, <b@y.ru>", u8""},
           {u8"a@x.ru, b@y.ru", u8""},
           {u8"group: a@x.ru;", u8""},
           {u8" ", u8""},
           {u8"<>", u8""},
           {u8"a@x.ru\r\nBcc: c@z.ru", u8""}}) {
    CTdx880Doc doc;
    Fill(doc);
    const std::string message = MessageOf(
        [&] { WriteFile("m.eml", CreateEmailByPackage(doc, Tmp(), "a@example.ru", Msg(to))); });
    EXPECT_EQ(message,
              expected.empty() ? Msg(u8"Неверный адрес электронной почты [") + Msg(to) + "]" : "");
    if (expected.empty()) {
      continue;
    }
    EXPECT_EQ(Python("import sys, email, email.policy\n"
                     "m = email.message_from_binary_file(open(sys.argv[1], 'rb'), "
                     "policy=email.policy.default)\n"
                     "a = m['To'].addresses\n"
                     "sys.stdout.buffer.write((str(len(a)) + a[0].display_name + '|' + "
                     "a[0].addr_spec).encode())\n",
                     PathOf("m.eml")),
              "1" + std::string(expected.begin(), expected.end()));
  }
}

// A file name with a line break would end the attachment's headers.
TEST_F(MailTest, PackageFileNameWithALineBreakIsRefused) {
  CTdx880Doc doc;
  Fill(doc);
  doc.SetFileName("p.zip\r\nX-Evil: 1");
  ExpectRaises([&] { CreateEmailByPackage(doc, Tmp(), "a@example.ru", "b@example.ru"); },
               Msg(u8"Недопустимое имя файла пакета: [p.zip\r\nX-Evil: 1]"));
  EXPECT_TRUE(TmpIsEmpty());
}

// A FIFO is refused at once; a message cut short while it is read is a clean error, never SIGBUS.
TEST_F(MailTest, MessageFilesAreReadAsRegularFilesOnly) {
  ASSERT_EQ(::mkfifo(PathOf("fifo.eml").c_str(), 0600), 0);
  CTdx880Doc doc;
  ExpectRaises([&] { CreatePackageByEmailFile(PathOf("fifo.eml"), Tmp(), doc); },
               Msg(u8"Не обычный файл: [") + PathOf("fifo.eml") + "]");
  CTdx880Doc source;
  Fill(source);
  const std::string message = CreateEmailByPackage(source, Tmp(), "a@example.ru", "b@example.ru");
  std::string big = message.substr(0, message.find("\r\n\r\n") + 4);
  big.resize(8 << 20, ' ');
  const std::string path = WriteFile("big.eml", big);
  std::atomic<bool> done{false};
  std::thread cutter([&] {
    while (!done) {
      ::truncate(path.c_str(), 4096);
      std::ofstream(path, std::ios::binary) << big;
    }
  });
  for (int i = 0; i < 20; ++i) {
    CTdx880Doc read;
    EXPECT_NE(MessageOf([&] { CreatePackageByEmailFile(path, Tmp(), read); }), "");
  }
  done = true;
  cutter.join();
  EXPECT_TRUE(TmpIsEmpty());
}

// Conversions sharing one temporary folder each carry their own package, even of the same name,
// and the folder of a process that died is swept by the next conversion.
TEST_F(MailTest, ConversionsSharingTmpNeverMixAndSweepTheDeads) {
  const pid_t child = ::fork();
  if (child == 0) {
    rtl::FolderLock left = rtl::CreateLockedFolder(Tmp(), "");
    ::_exit(0);  // killed outright: nothing removes the folder
  }
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);
  ASSERT_FALSE(TmpIsEmpty());
  auto convert = [&](const std::string& receiver, int times) {
    for (int i = 0; i < times; ++i) {
      CTdx880Doc doc;
      Fill(doc);
      doc.SetReceiverIdentifier(receiver);
      doc.SetFileName("same.zip");
      CTdx880Doc back;
      CreatePackageByEmail(CreateEmailByPackage(doc, Tmp(), "a@example.ru", "b@example.ru"), Tmp(),
                           back);
      EXPECT_EQ(back.ReceiverIdentifier(), receiver);
    }
  };
  std::thread other(convert, "7703", 30);
  convert("7704", 30);
  other.join();
  EXPECT_TRUE(TmpIsEmpty());
}

}  // namespace
}  // namespace lyr::mail
