// A host written against the public COM headers drives a declaration package from end to end by
// name through IDispatch: keys from the Crypt object, a new package with a declaration holding
// every byte value and a declaration description, signed, encrypted for an opponent key and saved;
// a second package opens it, decrypts, checks the signature and reads the contents back byte for
// byte. The saved package passes Python's zipfile, xmllint and openssl cms. The C++ example host
// drives the same road through the vtables, and the Manager answers packages with notices and
// error packages. Keys are made by the tdx880 tool, as another program would make them; rtl's
// windows-1251 table stands for the byte mapping a host implements.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "rtl/text.h"
#include "server_host.h"
#include "support/pki.h"

namespace {

using lyr::automation::host::Call;
using lyr::automation::host::Put;
using lyr::automation::host::Ref;
using lyr::automation::host::Var;
using lyr::rtl::AnsiToUtf16;
using lyr::rtl::Utf16ToAnsi;
using lyr::test::DescribeErrorInfo;
using lyr::test::TakeBstr;

constexpr char16_t kPackage[] = u"LyrTdxPackage880.Tdx880Package";
constexpr char16_t kManager[] = u"LyrTdxPackage880.Tdx880Manager";
constexpr char16_t kCrypt[] = u"LyrTdxPackage880.Tdx880Crypt";

// A declaration whose bytes run through all 256 values.
std::string Declaration() {
  std::string bytes = "<?xml version=\"1.0\" encoding=\"windows-1251\"?><Файл/>";
  for (int b = 0; b < 256; ++b) {
    bytes += static_cast<char>(b);
  }
  return bytes;
}

// A sandbox whose current user has the self-signed key "Package User" in a key container, its
// certificate in "MY", "ROOT" and "addressbook", and the server registered.
class HostSandbox : public lyr::automation::host::ServerHost {
 protected:
  void SetUp() override {
    ServerHost::SetUp();
    std::string out;
    ASSERT_EQ(Tool("container new user-key --alg " + KeyKind() +
                       " --subject 'CN=Package User' --self-signed -o " + Quote(PathOf("user.pem")),
                   &out),
              0);
    thumbprint_ = AnsiToUtf16(out.substr(0, 40));
    ASSERT_EQ(Tool("cert import " + Quote(PathOf("user.pem")) + " --store ROOT"), 0);
    ASSERT_EQ(Tool("cert import " + Quote(PathOf("user.pem")) + " --store addressbook"), 0);
  }
  [[nodiscard]] virtual std::string KeyKind() const { return "gost2001"; }

  std::u16string thumbprint_;
};

// With a GOST R 34.10-2001 key and with a GOST R 34.10-2012 one.
class PackageHost : public HostSandbox, public ::testing::WithParamInterface<const char*> {
 protected:
  [[nodiscard]] std::string KeyKind() const override { return GetParam(); }
};

TEST_P(PackageHost, DeclarationRoadByNameGivesBackEveryByteAndPassesThePeers) {
  std::string archive, declaration_entry, signature_entry, description;
  {
    Ref<IDispatch> crypt, manager, package, reader;
    Create(kCrypt, IID_IDispatch, crypt);
    Create(kManager, IID_IDispatch, manager);
    Create(kPackage, IID_IDispatch, package);
    Create(kPackage, IID_IDispatch, reader);
    EXPECT_TRUE(Call(crypt.get(), u"Init").Bool());
    const Var key = Call(crypt.get(), u"GetPrivateKeyBySha1", {Var(thumbprint_)});
    const Var opponent = Call(crypt.get(), u"GetOpponentKeyBySha1", {Var(thumbprint_)});
    const Var dekl = Call(manager.get(), u"CreateTrDekl");
    Put(dekl.Object(), u"FormName", u"Декларация");
    Put(dekl.Object(), u"Year", u"2026");
    description = Utf16ToAnsi(Call(dekl.Object(), u"XML").Str());

    EXPECT_TRUE(Call(package.get(), u"New", {Var(u"01"), Var(u"01")}).Bool());
    Put(package.get(), u"SenderIdentifier", u"7701000001");
    Put(package.get(), u"ReceiverIdentifier", u"7702");
    const Var file =
        Call(package.get(), u"AddFile",
             {Var(u"01"), Var(u"xml"), Var(u"declaration.xml"), Var(AnsiToUtf16(Declaration()))});
    Call(package.get(), u"AddSpecDoc", {Var(dekl.Object())});
    EXPECT_TRUE(
        Call(package.get(), u"SignFile", {Var(u"declaration.xml"), Var(key.Object())}).Bool());
    EXPECT_TRUE(Call(package.get(), u"Encrypt", {Var(opponent.Object())}).Bool());
    EXPECT_TRUE(Call(package.get(), u"Save", {Var(AnsiToUtf16(Home().string()))}).Bool());
    archive = Utf16ToAnsi(Call(package.get(), u"FileName").Str());
    declaration_entry = Utf16ToAnsi(Call(file.Object(), u"FileName").Str());
    const Var signature = Call(package.get(), u"GetFileSignature", {Var(LONG{0}), Var(LONG{0})});
    signature_entry = Utf16ToAnsi(Call(signature.Object(), u"FileName").Str());

    EXPECT_TRUE(Call(reader.get(), u"Open", {Var(AnsiToUtf16(archive))}).Bool());
    EXPECT_TRUE(Call(reader.get(), u"Decrypt").Bool());
    ASSERT_EQ(Call(reader.get(), u"GetFileCount").Long(), 2);
    for (const LONG i : {0, 1}) {
      const Var item = Call(reader.get(), u"GetFile", {Var(i)});
      EXPECT_TRUE(Call(item.Object(), u"CheckSign").Bool());
      EXPECT_EQ(Utf16ToAnsi(Call(item.Object(), u"RawContent").Str()),
                i == 0 ? Declaration() : description);
    }
    const Var read = Call(reader.get(), u"GetFileSignature", {Var(LONG{0}), Var(LONG{0})});
    const Var signer = Call(read.Object(), u"SignKey");
    EXPECT_EQ(Call(signer.Object(), u"SubjectCN").Str(), u"Package User");
  }

  // Python's zipfile: a sound archive of the description and three .bin entries.
  const std::string script = WriteFile("entries.py",
                                       "import sys, zipfile\n"
                                       "z = zipfile.ZipFile(sys.argv[1])\n"
                                       "assert z.testzip() is None\n"
                                       "z.extractall(sys.argv[2])\n"
                                       "print(len(z.namelist()))\n");
  std::string output;
  ASSERT_EQ(
      lyr::test::RunCommand(
          "python3 " + script + " " + Quote(archive) + " " + Quote(PathOf("x")) + " 2>&1", &output),
      0)
      << output;
  EXPECT_EQ(output, "4\n");
  EXPECT_EQ(lyr::test::RunCommand(
                "xmllint --noout " + Quote(PathOf("x/packageDescription.xml")) + " 2>&1", &output),
            0)
      << output;
  // openssl: the signature verifies over the declaration; the envelope opens with the user's key
  // to a one-entry ZIP of the declaration.
  const std::string content = WriteFile("declaration.bin", Declaration());
  EXPECT_EQ(lyr::test::RunOpenSsl("cms -verify -binary -inform DER -in " +
                                      Quote(PathOf("x/" + signature_entry)) + " -content " +
                                      content + " -CAfile " + Quote(PathOf("user.pem")) +
                                      " -purpose any -out /dev/null 2>&1",
                                  &output),
            0)
      << output;
  EXPECT_EQ(lyr::test::RunOpenSsl("cms -decrypt -binary -inform DER -in " +
                                      Quote(PathOf("x/" + declaration_entry)) + " -recip " +
                                      Quote(PathOf("user.pem")) + " -inkey " +
                                      Quote(PathOf("user/containers/user-key/key.pem")) + " -out " +
                                      Quote(PathOf("inner.zip")) + " 2>&1",
                                  &output),
            0)
      << output;
  output.clear();
  const std::string inner = WriteFile("inner.py",
                                      "import sys, zipfile\n"
                                      "z = zipfile.ZipFile(sys.argv[1])\n"
                                      "sys.stdout.buffer.write(z.read('file'))\n");
  ASSERT_EQ(lyr::test::RunCommand("python3 " + inner + " " + Quote(PathOf("inner.zip")), &output),
            0);
  EXPECT_EQ(output, Declaration());
}

INSTANTIATE_TEST_SUITE_P(Keys, PackageHost, ::testing::Values("gost2001", "gost2012-256"),
                         [](const auto& info) {
                           return info.index == 0 ? "Gost2001" : "Gost2012";
                         });

// The C++ example host (examples/cpp) drives the road through the vtables, early bound, with the
// two homes the demo leaves: it sends, receives, decrypts and checks the chain and its CRL.
using ExampleHost = lyr::automation::host::ServerHost;

TEST_F(ExampleHost, CppExampleSendsAndReceivesThroughTheVtables) {
  std::string output;
  ASSERT_EQ(Tool("demo --keep " + Quote(PathOf("demo")) + " 2>&1", &output), 0) << output;
  std::filesystem::create_directory(PathOf("outbox"));
  output.clear();
  EXPECT_EQ(lyr::test::RunCommand(
                std::string(LYR_AUTOMATION_CPP_HOST) + " " + Quote(PathOf("demo/abonent")) + " " +
                    Quote(PathOf("demo/tax-authority")) + " " + Quote(PathOf("outbox")) + " 2>&1",
                &output),
            0)
      << output;
  EXPECT_NE(output.find("signature of \"ООО Ромашка\" valid"), std::string::npos) << output;
}

// --- Answer packages of the Manager ---

constexpr char kMainFile[] = "NO_NDS_7702_7702_7707083893773601001_20260101_A1.xml";

class AnswerHost : public HostSandbox {
 protected:
  void SetUp() override {
    HostSandbox::SetUp();
    std::string out;
    ASSERT_EQ(Tool("container new second-key --subject 'CN=Second Signer' --self-signed -o " +
                       Quote(PathOf("second.pem")),
                   &out),
              0);
    second_ = AnsiToUtf16(out.substr(0, 40));
    Create(kManager, IID_IDispatch, manager_);
  }
  void TearDown() override {
    manager_.Reset();
    HostSandbox::TearDown();
  }
  // A package of the flow and transaction from the tax payer 7707083893 to 7702 whose main file
  // (document type main_type, named main_name) is signed by two keys and whose second file (in
  // transaction "01" only) is unsigned; saved and opened again when saved is true.
  Var Source(std::u16string_view flow, std::u16string_view transaction,
             std::u16string_view main_type, const std::string& main_name, bool saved) {
    Ref<IDispatch> crypt;
    Create(kCrypt, IID_IDispatch, crypt);
    EXPECT_TRUE(Call(crypt.get(), u"Init").Bool());
    Ref<IDispatch> made;
    Create(kPackage, IID_IDispatch, made);
    Var result(made.get());
    EXPECT_TRUE(Call(made.get(), u"New", {Var(flow), Var(transaction)}).Bool());
    Put(made.get(), u"SenderIdentifier", u"7707083893");
    Put(made.get(), u"ReceiverIdentifier", u"7702");
    Call(made.get(), u"AddFile",
         {Var(main_type), Var(u"xml"), Var(AnsiToUtf16(main_name)), Var(u"<a/>")});
    if (transaction == u"01") {
      Call(made.get(), u"AddFile", {Var(u"10"), Var(u"xml"), Var(u"extra.xml"), Var(u"<b/>")});
    }
    for (const std::u16string& thumbprint : {thumbprint_, second_}) {
      const Var key = Call(crypt.get(), u"GetPrivateKeyBySha1", {Var(thumbprint)});
      EXPECT_TRUE(
          Call(made.get(), u"SignFile", {Var(AnsiToUtf16(main_name)), Var(key.Object())}).Bool());
    }
    if (saved) {
      EXPECT_TRUE(Call(made.get(), u"Save", {Var(AnsiToUtf16(Home().string()))}).Bool());
      const Var name = Call(made.get(), u"FileName");
      EXPECT_TRUE(Call(made.get(), u"Open", {name}).Bool());
    }
    return result;
  }
  Var Subject(const char16_t* kind, std::u16string_view identifier = u"") {
    Var subject = Call(manager_.get(), kind);
    if (!identifier.empty()) {
      Put(subject.Object(), u"Indentifier", identifier);
    }
    return subject;
  }
  Var Payer() {
    Var payer = Subject(u"CreateSubjectUL", u"7707083893");
    Put(payer.Object(), u"Inn", u"7707083893");
    Put(payer.Object(), u"Kpp", u"773601001");
    Put(payer.Object(), u"Name", u"Плательщик");
    return payer;
  }
  // The failure of a member called in SafeMode: S_OK, a null result, the message in LastError.
  std::u16string SafeFailure(const char16_t* member, std::vector<Var> args) {
    lyr::automation::host::SetSafeMode(manager_.get(), true);
    const Var result = Call(manager_.get(), member, std::move(args));
    lyr::automation::host::SetSafeMode(manager_.get(), false);
    EXPECT_EQ(result.Object(), nullptr);
    return lyr::automation::host::LastErrorOf(manager_.get());
  }

  Ref<IDispatch> manager_;
  std::u16string second_;
};

TEST_F(AnswerHost, NoticeOfTaxAuthorityListsEverySignatureAndPassesThePeers) {
  const Var source = Source(u"01", u"01", u"01", kMainFile, true);
  const Var sender = Payer();
  const Var receiver = Subject(u"CreateSubjectNO");
  const Var notice =
      Call(manager_.get(), u"CreateIPPackage",
           {source, Var(Subject(u"CreateSubjectNO", u"7702").Object()), sender, receiver});
  ASSERT_NE(notice.Object(), nullptr) << DescribeErrorInfo();
  EXPECT_EQ(Call(notice.Object(), u"TransactTypeCode").Str(), u"02");
  EXPECT_EQ(Call(notice.Object(), u"SenderIdentifier").Str(), u"7702");
  EXPECT_EQ(Call(notice.Object(), u"ReceiverIdentifier").Str(), u"7707083893");
  EXPECT_EQ(Call(receiver.Object(), u"Indentifier").Str(), u"7702");
  ASSERT_EQ(Call(notice.Object(), u"GetFileCount").Long(), 1);
  const Var item = Call(notice.Object(), u"GetFile", {Var(LONG{0})});
  EXPECT_EQ(Call(item.Object(), u"DocTypeCode").Str(), u"09");
  // The first two of seven parts, the sender's key twice, the corroborant's, date and GUID.
  const std::string name = Utf16ToAnsi(Call(item.Object(), u"OriginalFilename").Str());
  const std::string head = "IP_NONDS_7707083893773601001_7707083893773601001_7702_20";
  EXPECT_EQ(name.substr(0, head.size()), head) << name;
  EXPECT_EQ(name.size(), head.size() + 6 + 1 + 36 + 4) << name;

  // The notice read by xmllint and by Python's xml.etree; each ЭЦППолФайл decodes to the stored
  // signature entry of the source archive.
  const std::string xml =
      WriteFile("notice.xml", Utf16ToAnsi(Call(item.Object(), u"RawContent").Str()));
  std::string entries;
  for (LONG i = 0; i < 2; ++i) {
    const Var signature = Call(source.Object(), u"GetFileSignature", {Var(LONG{0}), Var(i)});
    entries += " " + Utf16ToAnsi(Call(signature.Object(), u"FileName").Str());
  }
  const std::string script = WriteFile(
      "notice.py",
      "import sys, zipfile, base64, xml.etree.ElementTree as ET\n"
      "root = ET.fromstring(open(sys.argv[1], 'rb').read().decode('cp1251').split('?>', 1)[1])\n"
      "z = zipfile.ZipFile(sys.argv[2])\n"
      "doc = root.find('Документ')\n"
      "files = doc.find('СвИзвещП').findall('СведПолФайл')\n"
      "texts = [e.text for e in files[0].findall('ЭЦППолФайл')]\n"
      "assert [base64.b64decode(t) for t in texts] == [z.read(n) for n in sys.argv[3:]]\n"
      "lines = [l for t in texts for l in t.replace('\\r', '').split('\\n')[:-1]]\n"
      "assert lines and all(len(l) == 76 for l in lines) and not texts[0].endswith('\\n')\n"
      "print(root.get('ВерсФорм'), doc.get('КНД'), len(files), len(files[1]),\n"
      "      files[1].get('ИмяПостФайла'), [e.tag for e in doc])\n");
  std::string output;
  ASSERT_EQ(lyr::test::RunCommand("python3 " + script + " " + xml + " " +
                                      Quote(Utf16ToAnsi(Call(source.Object(), u"FileName").Str())) +
                                      entries + " 2>&1",
                                  &output),
            0)
      << output;
  EXPECT_EQ(output, "5.03 1166008 2 0 extra ['ПодтвДок', 'СвИзвещП', 'ОтпрДок', 'ПолДок']\n");
  output.clear();
  EXPECT_EQ(lyr::test::RunCommand(
                "xmllint --xpath 'count(//СведПолФайл/ЭЦППолФайл)' " + xml + " 2>&1", &output),
            0);
  EXPECT_EQ(output.substr(0, output.find('\n')), "2");
}

struct NoticeCase {
  const char16_t* transaction;
  const char16_t* main_type;
  const char* main_name;
  const char16_t* outcome;  // the name's beginning, or the message
};

class NoticeLookup : public AnswerHost, public ::testing::WithParamInterface<NoticeCase> {};

TEST_P(NoticeLookup, AnswersATransactionByTheCorroborantsRole) {
  const NoticeCase& c = GetParam();
  const Var source = Source(u"01", c.transaction, c.main_type, c.main_name, true);
  const Var payer = Payer();
  const std::vector<Var> args = {source, payer, Var(Payer().Object()),
                                 Var(Subject(u"CreateSubjectNO").Object())};
  const std::u16string outcome = c.outcome;
  if (outcome.starts_with(u"IP_")) {
    const Var notice = Call(manager_.get(), u"CreateIPPackage", args);
    ASSERT_NE(notice.Object(), nullptr) << DescribeErrorInfo();
    const Var item = Call(notice.Object(), u"GetFile", {Var(LONG{0})});
    EXPECT_EQ(Call(item.Object(), u"OriginalFilename").Str().substr(0, outcome.size()), outcome);
  } else {
    EXPECT_EQ(SafeFailure(u"CreateIPPackage", args), u"-1: " + outcome);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoticeLookup,
    ::testing::Values(
        NoticeCase{u"01", u"01", kMainFile,
                   u"На документооборот [01][Декларация] и транзакцию [01][ДекларацияНП] не может "
                   u"быть сформировано извещение о получении от [налогоплательщик]"},
        NoticeCase{
            u"10", u"04", kMainFile,
            u"На документооборот [01][Декларация] и транзакцию [10][ПодтверждениеДекларацияНО] "
            u"не может быть сформировано извещение о получении от [налогоплательщик]"},
        NoticeCase{u"11", u"09", kMainFile,
                   u"IP_NONDS_7707083893773601001_7707083893773601001_7707083893773601001_"},
        NoticeCase{u"11", u"09", "a _b_c_d_e.xml", u"IP__7707083893773601001_"}));

TEST_F(AnswerHost, ErrorPackagesAnswerNewAndReadSources) {
  const Var fresh = Source(u"01", u"01", u"01", kMainFile, false);
  const Var read = Source(u"01", u"01", u"01", kMainFile, true);
  const Var one = Call(manager_.get(), u"CreateErrorPackage", {fresh, Var(u"<ошибка/>")});
  ASSERT_NE(one.Object(), nullptr) << DescribeErrorInfo();
  EXPECT_EQ(Call(one.Object(), u"ThreadTypeCode").Str(), u"07");
  ASSERT_EQ(Call(one.Object(), u"GetFileCount").Long(), 1);
  const Var first = Call(one.Object(), u"GetFile", {Var(LONG{0})});
  EXPECT_EQ(Call(first.Object(), u"OriginalFilename").Str(), u"TR_SOSH.xml");
  EXPECT_EQ(Call(first.Object(), u"RawContent").Str(), u"<ошибка/>");

  const Var two = Call(manager_.get(), u"CreateErrorPackage", {read, Var(u"<ошибка/>")});
  ASSERT_NE(two.Object(), nullptr) << DescribeErrorInfo();
  ASSERT_EQ(Call(two.Object(), u"GetFileCount").Long(), 2);
  const Var second = Call(two.Object(), u"GetFile", {Var(LONG{1})});
  EXPECT_EQ(Call(second.Object(), u"OriginalFilename").Str(), u"packageDescription.xml");
  EXPECT_EQ(Call(second.Object(), u"RawContent").Str(),
            Call(read.Object(), u"PackageDescriptionContent").Str());
  EXPECT_EQ(Call(two.Object(), u"SenderIdentifier").Str(), u"7702");
  EXPECT_EQ(Call(two.Object(), u"ReceiverIdentifier").Str(), u"7707083893");
  EXPECT_EQ(Call(two.Object(), u"ThreadCode").Str(), Call(read.Object(), u"ThreadCode").Str());

  const Var given =
      Call(manager_.get(), u"CreateErrorPackageEx",
           {read, Var(u"0001"), Var(LONG{2}), Var(u"0002"), Var(LONG{4}), Var(u"<ошибка/>")});
  ASSERT_NE(given.Object(), nullptr) << DescribeErrorInfo();
  EXPECT_EQ(Call(given.Object(), u"SenderIdentifier").Str(), u"0001");
  EXPECT_EQ(Call(given.Object(), u"ReceiverIdentifier").Str(), u"0002");
  EXPECT_EQ(SafeFailure(u"CreateErrorPackageEx", {read, Var(u"0001"), Var(LONG{7}), Var(u"0002"),
                                                  Var(LONG{2}), Var(u"<ошибка/>")}),
            u"-1: Неизвестный тип субъекта: [7]");
}

}  // namespace
