// A host written against the public COM headers drives a declaration package from end to end,
// once by name through IDispatch and once through the vtables: keys from the Crypt object, a new
// package with a declaration holding every byte value and a declaration description, signed,
// encrypted for an opponent key and saved; a second package opens it, decrypts, checks the
// signature and reads the contents back byte for byte. The saved package passes Python's zipfile,
// xmllint and openssl cms. The key is made by the tdx880 tool, as another program would: the GOST
// engine binds once per process, and here that is the server's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "lyr/com/com.h"
#include "lyr/tdx880/LyrTdxPackage880.h"
#include "support/expect_error_info.h"
#include "support/pki.h"
#include "support/sandbox.h"

namespace {

using lyr::test::DescribeErrorInfo;
using lyr::test::TakeBstr;

constexpr char16_t kPackage[] = u"LyrTdxPackage880.Tdx880Package";
constexpr char16_t kManager[] = u"LyrTdxPackage880.Tdx880Manager";
constexpr char16_t kCrypt[] = u"LyrTdxPackage880.Tdx880Crypt";

// --- What a host writes for itself ---

// One reference of an interface.
template <typename T>
class Ref {
 public:
  Ref() = default;
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() {
    if (p_ != nullptr) {
      p_->Release();
    }
  }
  T** Out() { return &p_; }
  void** OutVoid() { return reinterpret_cast<void**>(&p_); }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// Bytes <-> BSTR as the library maps them: windows-1251, one character per byte, the byte 0x98
// (undefined in the code page) as U+0098.
constexpr char16_t kUpperHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

std::u16string FromBytes(const std::string& bytes) {
  std::u16string text;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    text += b < 0x80 ? char16_t(b) : b < 0xC0 ? kUpperHalf[b - 0x80] : char16_t(0x0410 + b - 0xC0);
  }
  return text;
}

std::string ToBytes(std::u16string_view text) {
  std::string bytes;
  for (const char16_t c : text) {
    if (c < 0x80) {
      bytes += static_cast<char>(c);
    } else if (c >= 0x0410 && c <= 0x044F) {
      bytes += static_cast<char>(0xC0 + c - 0x0410);
    } else {
      int i = 0;
      while (i < 64 && kUpperHalf[i] != c) {
        ++i;
      }
      bytes += i < 64 ? static_cast<char>(0x80 + i) : '?';
    }
  }
  return bytes;
}

struct Text {
  explicit Text(std::u16string_view text)
      : value(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  ~Text() { ::SysFreeString(value); }
  BSTR value;
};

// A VARIANT owned by the host.
struct Var {
  Var() { ::VariantInit(&v); }
  explicit Var(std::u16string_view text) : Var() {
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  }
  explicit Var(LONG number) : Var() {
    v.vt = VT_I4;
    v.lVal = number;
  }
  explicit Var(IDispatch* object) : Var() {
    v.vt = VT_DISPATCH;
    v.pdispVal = object;
    object->AddRef();
  }
  Var(const Var& other) : Var() { ::VariantCopy(&v, &other.v); }
  Var& operator=(const Var&) = delete;
  ~Var() { ::VariantClear(&v); }

  bool Bool() const { return v.vt == VT_BOOL && v.boolVal == VARIANT_TRUE; }
  LONG Long() const { return v.vt == VT_I4 ? v.lVal : -1; }
  std::u16string Str() const {
    return v.vt == VT_BSTR ? std::u16string(v.bstrVal, ::SysStringLen(v.bstrVal)) : u"";
  }
  IDispatch* Object() const { return v.vt == VT_DISPATCH ? v.pdispVal : nullptr; }

  VARIANT v;
};

// A member called by name: GetIDsOfNames, then Invoke with the arguments in reverse order.
Var Call(IDispatch* object, const char16_t* name, std::vector<Var> args = {},
         WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
  Var result;
  if (object == nullptr) {
    ADD_FAILURE() << "no object";
    return result;
  }
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = 0;
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0x0409, &id), S_OK);
  std::vector<VARIANT> reversed;
  for (auto it = args.rbegin(); it != args.rend(); ++it) {
    reversed.push_back(it->v);
  }
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), flags == DISPATCH_PROPERTYPUT ? &put : nullptr,
                    static_cast<UINT>(reversed.size()), flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
  EXCEPINFO exception{};
  const HRESULT hr =
      object->Invoke(id, IID_NULL, 0x0409, flags, &params, &result.v, &exception, nullptr);
  EXPECT_EQ(hr, S_OK) << "member " << ToBytes(name) << ": "
                      << ToBytes(TakeBstr(exception.bstrDescription));
  ::SysFreeString(exception.bstrSource);
  return result;
}

void Put(IDispatch* object, const char16_t* name, std::u16string_view value) {
  Call(object, name, {Var(value)}, DISPATCH_PROPERTYPUT);
}

// --- The test ---

// What a road leaves behind for the checks.
struct Outcome {
  std::string archive;                // the saved package
  std::string declaration_entry;      // the declaration's file name inside the package
  std::string signature_entry;        // its signature's file name
  std::vector<std::string> contents;  // RawContent of each file after Decrypt
  std::vector<bool> checked;          // CheckSign of each file
  std::u16string signer;              // SignKey.SubjectCN of the signature
  std::string description;            // the declaration description's XML as it went in
};

const std::string kDeclarationHead = "<?xml version=\"1.0\" encoding=\"windows-1251\"?><Файл/>";

// A declaration whose bytes run through all 256 values.
std::string Declaration() {
  std::string bytes = kDeclarationHead;
  for (int b = 0; b < 256; ++b) {
    bytes += static_cast<char>(b);
  }
  return bytes;
}

// A sandbox whose current user has the self-signed key "Package User" in a key container, its
// certificate in "MY", "ROOT" and "addressbook", and the server registered.
class HostSandbox : public lyr::test::Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    std::string out;
    ASSERT_EQ(Tool("container new user-key --alg " + KeyKind() +
                       " --subject 'CN=Package User' --self-signed -o " + Quote(PathOf("user.pem")),
                   &out),
              0);
    thumbprint_ = FromBytes(out.substr(0, 40));
    ASSERT_EQ(Tool("cert import " + Quote(PathOf("user.pem")) + " --store ROOT"), 0);
    ASSERT_EQ(Tool("cert import " + Quote(PathOf("user.pem")) + " --store addressbook"), 0);
    ASSERT_EQ(Tool("register"), 0);
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
  }
  void TearDown() override {
    ::SetErrorInfo(0, nullptr);
    ::CoUninitialize();
    Sandbox::TearDown();
  }

  // The kind of the user's key.
  [[nodiscard]] virtual std::string KeyKind() const { return "gost2001"; }
  static std::string Quote(const std::filesystem::path& path) { return "'" + path.string() + "'"; }
  static int Tool(const std::string& arguments, std::string* out = nullptr) {
    return lyr::test::RunCommand(std::string(LYR_TDX880_TOOL) + " " + arguments, out);
  }
  template <typename T>
  void Create(const char16_t* prog_id, REFIID iid, Ref<T>& object) {
    CLSID clsid{};
    ASSERT_EQ(::CLSIDFromProgID(prog_id, &clsid), S_OK) << ToBytes(prog_id);
    ASSERT_EQ(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object.OutVoid()),
              S_OK);
  }

  std::u16string thumbprint_;
};

// By name with a GOST R 34.10-2001 key, through the vtables with a GOST R 34.10-2012 one.
class PackageHost : public HostSandbox, public ::testing::WithParamInterface<bool> {
 protected:
  [[nodiscard]] std::string KeyKind() const override {
    return GetParam() ? "gost2001" : "gost2012-256";
  }
  Outcome ByName();
  Outcome ByVtable();
};

Outcome PackageHost::ByName() {
  Outcome out;
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
  out.description = ToBytes(Call(dekl.Object(), u"XML").Str());

  EXPECT_TRUE(Call(package.get(), u"New", {Var(u"01"), Var(u"01")}).Bool());
  Put(package.get(), u"SenderIdentifier", u"7701000001");
  Put(package.get(), u"ReceiverIdentifier", u"7702");
  const Var file =
      Call(package.get(), u"AddFile",
           {Var(u"01"), Var(u"xml"), Var(u"declaration.xml"), Var(FromBytes(Declaration()))});
  Call(package.get(), u"AddSpecDoc", {Var(dekl.Object())});
  EXPECT_TRUE(
      Call(package.get(), u"SignFile", {Var(u"declaration.xml"), Var(key.Object())}).Bool());
  EXPECT_TRUE(Call(package.get(), u"Encrypt", {Var(opponent.Object())}).Bool());
  EXPECT_TRUE(Call(package.get(), u"Save", {Var(FromBytes(Home().string()))}).Bool());
  out.archive = ToBytes(Call(package.get(), u"FileName").Str());
  out.declaration_entry = ToBytes(Call(file.Object(), u"FileName").Str());
  const Var signature = Call(package.get(), u"GetFileSignature", {Var(LONG{0}), Var(LONG{0})});
  out.signature_entry = ToBytes(Call(signature.Object(), u"FileName").Str());

  EXPECT_TRUE(Call(reader.get(), u"Open", {Var(FromBytes(out.archive))}).Bool());
  EXPECT_TRUE(Call(reader.get(), u"Decrypt").Bool());
  const LONG count = Call(reader.get(), u"GetFileCount").Long();
  for (LONG i = 0; i < count; ++i) {
    const Var item = Call(reader.get(), u"GetFile", {Var(i)});
    out.checked.push_back(Call(item.Object(), u"CheckSign").Bool());
    out.contents.push_back(ToBytes(Call(item.Object(), u"RawContent").Str()));
  }
  const Var read = Call(reader.get(), u"GetFileSignature", {Var(LONG{0}), Var(LONG{0})});
  const Var signer = Call(read.Object(), u"SignKey");
  out.signer = Call(signer.Object(), u"SubjectCN").Str();
  return out;
}

Outcome PackageHost::ByVtable() {
  Outcome out;
  Ref<ITdx880Crypt> crypt;
  Ref<ITdx880Manager> manager;
  Ref<ITdx880Package> package, reader;
  Create(kCrypt, IID_ITdx880Crypt, crypt);
  Create(kManager, IID_ITdx880Manager, manager);
  Create(kPackage, IID_ITdx880Package, package);
  Create(kPackage, IID_ITdx880Package, reader);
  if (crypt.get() == nullptr || manager.get() == nullptr || package.get() == nullptr ||
      reader.get() == nullptr) {
    return out;
  }
  VARIANT_BOOL ok = VARIANT_FALSE;
  EXPECT_EQ(crypt->Init(&ok), S_OK) << DescribeErrorInfo();
  Ref<ITdx880Key> key, opponent;
  EXPECT_EQ(crypt->GetPrivateKeyBySha1(Text(thumbprint_).value, key.Out()), S_OK)
      << DescribeErrorInfo();
  EXPECT_EQ(crypt->GetOpponentKeyBySha1(Text(thumbprint_).value, opponent.Out()), S_OK)
      << DescribeErrorInfo();
  Ref<ITdx880TrDekl> dekl;
  EXPECT_EQ(manager->CreateTrDekl(dekl.Out()), S_OK) << DescribeErrorInfo();
  EXPECT_EQ(dekl->put_FormName(Text(u"Декларация").value), S_OK) << DescribeErrorInfo();
  EXPECT_EQ(dekl->put_Year(Text(u"2026").value), S_OK) << DescribeErrorInfo();
  BSTR text = nullptr;
  EXPECT_EQ(dekl->get_XML(&text), S_OK) << DescribeErrorInfo();
  out.description = ToBytes(TakeBstr(text));

  EXPECT_EQ(package->New(Text(u"01").value, Text(u"01").value, &ok), S_OK) << DescribeErrorInfo();
  EXPECT_EQ(package->put_SenderIdentifier(Text(u"7701000001").value), S_OK) << DescribeErrorInfo();
  EXPECT_EQ(package->put_ReceiverIdentifier(Text(u"7702").value), S_OK) << DescribeErrorInfo();
  Ref<ITdx880File> file, description;
  EXPECT_EQ(package->AddFile(Text(u"01").value, Text(u"xml").value, Text(u"declaration.xml").value,
                             Text(FromBytes(Declaration())).value, file.Out()),
            S_OK);
  EXPECT_EQ(package->AddSpecDoc(dekl.get(), description.Out()), S_OK) << DescribeErrorInfo();
  EXPECT_EQ(package->SignFile(Text(u"declaration.xml").value, key.get(), &ok), S_OK)
      << DescribeErrorInfo();
  EXPECT_EQ(package->Encrypt(opponent.get(), &ok), S_OK) << DescribeErrorInfo();
  EXPECT_EQ(package->Save(Text(FromBytes(Home().string())).value, &ok), S_OK)
      << DescribeErrorInfo();
  EXPECT_EQ(package->get_FileName(&text), S_OK) << DescribeErrorInfo();
  out.archive = ToBytes(TakeBstr(text));
  EXPECT_EQ(file->get_FileName(&text), S_OK) << DescribeErrorInfo();
  out.declaration_entry = ToBytes(TakeBstr(text));
  Ref<ITdx880Signature> signature;
  EXPECT_EQ(package->GetFileSignature(0, 0, signature.Out()), S_OK) << DescribeErrorInfo();
  EXPECT_EQ(signature->get_FileName(&text), S_OK) << DescribeErrorInfo();
  out.signature_entry = ToBytes(TakeBstr(text));

  EXPECT_EQ(reader->Open(Text(FromBytes(out.archive)).value, &ok), S_OK) << DescribeErrorInfo();
  EXPECT_EQ(reader->Decrypt(&ok), S_OK) << DescribeErrorInfo();
  LONG count = 0;
  EXPECT_EQ(reader->GetFileCount(&count), S_OK) << DescribeErrorInfo();
  for (LONG i = 0; i < count; ++i) {
    Ref<ITdx880File> item;
    EXPECT_EQ(reader->GetFile(i, item.Out()), S_OK) << DescribeErrorInfo();
    EXPECT_EQ(item->CheckSign(&ok), S_OK) << DescribeErrorInfo();
    out.checked.push_back(ok == VARIANT_TRUE);
    EXPECT_EQ(item->get_RawContent(&text), S_OK) << DescribeErrorInfo();
    out.contents.push_back(ToBytes(TakeBstr(text)));
  }
  Ref<ITdx880Signature> read;
  Ref<ITdx880Key> signer;
  EXPECT_EQ(reader->GetFileSignature(0, 0, read.Out()), S_OK) << DescribeErrorInfo();
  EXPECT_EQ(read->get_SignKey(signer.Out()), S_OK) << DescribeErrorInfo();
  EXPECT_EQ(signer->get_SubjectCN(&text), S_OK) << DescribeErrorInfo();
  out.signer = TakeBstr(text);
  return out;
}

TEST_P(PackageHost, DeclarationRoadGivesBackEveryByteAndPassesThePeers) {
  const Outcome out = GetParam() ? ByName() : ByVtable();
  ASSERT_FALSE(out.archive.empty());
  EXPECT_EQ(out.contents.size(), 2u);
  EXPECT_EQ(out.checked, std::vector<bool>(out.contents.size(), true));
  ASSERT_FALSE(out.contents.empty());
  EXPECT_EQ(out.contents[0], Declaration());
  EXPECT_EQ(out.contents.back(), out.description);
  EXPECT_EQ(out.signer, u"Package User");

  // Python's zipfile: a sound archive of the description and three .bin entries.
  const std::string script = WriteFile("entries.py",
                                       "import sys, zipfile\n"
                                       "z = zipfile.ZipFile(sys.argv[1])\n"
                                       "assert z.testzip() is None\n"
                                       "z.extractall(sys.argv[2])\n"
                                       "print(len(z.namelist()))\n");
  std::string output;
  ASSERT_EQ(lyr::test::RunCommand(
                "python3 " + script + " " + Quote(out.archive) + " " + Quote(PathOf("x")) + " 2>&1",
                &output),
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
                                      Quote(PathOf("x/" + out.signature_entry)) + " -content " +
                                      content + " -CAfile " + Quote(PathOf("user.pem")) +
                                      " -purpose any -out /dev/null 2>&1",
                                  &output),
            0)
      << output;
  EXPECT_EQ(lyr::test::RunOpenSsl("cms -decrypt -binary -inform DER -in " +
                                      Quote(PathOf("x/" + out.declaration_entry)) + " -recip " +
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

INSTANTIATE_TEST_SUITE_P(Roads, PackageHost, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "ByName" : "ByVtable"; });

using Registration = HostSandbox;

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
    second_ = FromBytes(out.substr(0, 40));
    Create(kManager, IID_IDispatch, manager_);
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
         {Var(main_type), Var(u"xml"), Var(FromBytes(main_name)), Var(u"<a/>")});
    if (transaction == u"01") {
      Call(made.get(), u"AddFile", {Var(u"10"), Var(u"xml"), Var(u"extra.xml"), Var(u"<b/>")});
    }
    for (const std::u16string& thumbprint : {thumbprint_, second_}) {
      const Var key = Call(crypt.get(), u"GetPrivateKeyBySha1", {Var(thumbprint)});
      EXPECT_TRUE(
          Call(made.get(), u"SignFile", {Var(FromBytes(main_name)), Var(key.Object())}).Bool());
    }
    if (saved) {
      EXPECT_TRUE(Call(made.get(), u"Save", {Var(FromBytes(Home().string()))}).Bool());
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
    Ref<ITdx880Safe> safe;
    EXPECT_EQ(manager_->QueryInterface(IID_ITdx880Safe, safe.OutVoid()), S_OK);
    EXPECT_EQ(safe->put_SafeMode(VARIANT_TRUE), S_OK);
    const Var result = Call(manager_.get(), member, std::move(args));
    EXPECT_EQ(safe->put_SafeMode(VARIANT_FALSE), S_OK);
    EXPECT_EQ(result.Object(), nullptr);
    Ref<ITdx880Error> error;
    EXPECT_EQ(safe->get_LastError(error.Out()), S_OK);
    BSTR message = nullptr;
    EXPECT_EQ(error->get_Message(&message), S_OK);
    return TakeBstr(message);
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
  const std::string name = ToBytes(Call(item.Object(), u"OriginalFilename").Str());
  const std::string head = "IP_NONDS_7707083893773601001_7707083893773601001_7702_20";
  EXPECT_EQ(name.substr(0, head.size()), head) << name;
  EXPECT_EQ(name.size(), head.size() + 6 + 1 + 36 + 4) << name;

  // The notice read by xmllint and by Python's xml.etree; each ЭЦППолФайл decodes to the stored
  // signature entry of the source archive.
  const std::string xml =
      WriteFile("notice.xml", ToBytes(Call(item.Object(), u"RawContent").Str()));
  std::string entries;
  for (LONG i = 0; i < 2; ++i) {
    const Var signature = Call(source.Object(), u"GetFileSignature", {Var(LONG{0}), Var(i)});
    entries += " " + ToBytes(Call(signature.Object(), u"FileName").Str());
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
                                      Quote(ToBytes(Call(source.Object(), u"FileName").Str())) +
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
    EXPECT_EQ(SafeFailure(u"CreateIPPackage", args), outcome);
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
            u"Неизвестный тип субъекта: [7]");
}

}  // namespace
