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

#include "crypt/support/test_pki.h"
#include "lyr/com/com.h"
#include "lyr/tdx880/LyrTdxPackage880.h"
#include "support/sandbox.h"

namespace {

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

std::u16string Take(BSTR text) {
  std::u16string value = text == nullptr ? u"" : std::u16string(text, ::SysStringLen(text));
  ::SysFreeString(text);
  return value;
}

// The thread's error information as windows-1251 bytes, for failure messages.
std::string Why() {
  IErrorInfo* info = nullptr;
  if (::GetErrorInfo(0, &info) != S_OK || info == nullptr) {
    return "(no error information)";
  }
  BSTR text = nullptr;
  info->GetDescription(&text);
  info->Release();
  return ToBytes(Take(text));
}

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
                      << ToBytes(Take(exception.bstrDescription));
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
    ASSERT_EQ(Tool("container new user-key --subject 'CN=Package User' --self-signed -o " +
                       Quote(PathOf("user.pem")),
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

class PackageHost : public HostSandbox, public ::testing::WithParamInterface<bool> {
 protected:
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
  EXPECT_EQ(crypt->Init(&ok), S_OK) << Why();
  Ref<ITdx880Key> key, opponent;
  EXPECT_EQ(crypt->GetPrivateKeyBySha1(Text(thumbprint_).value, key.Out()), S_OK) << Why();
  EXPECT_EQ(crypt->GetOpponentKeyBySha1(Text(thumbprint_).value, opponent.Out()), S_OK) << Why();
  Ref<ITdx880TrDekl> dekl;
  EXPECT_EQ(manager->CreateTrDekl(dekl.Out()), S_OK) << Why();
  EXPECT_EQ(dekl->put_FormName(Text(u"Декларация").value), S_OK) << Why();
  EXPECT_EQ(dekl->put_Year(Text(u"2026").value), S_OK) << Why();
  BSTR text = nullptr;
  EXPECT_EQ(dekl->get_XML(&text), S_OK) << Why();
  out.description = ToBytes(Take(text));

  EXPECT_EQ(package->New(Text(u"01").value, Text(u"01").value, &ok), S_OK) << Why();
  EXPECT_EQ(package->put_SenderIdentifier(Text(u"7701000001").value), S_OK) << Why();
  EXPECT_EQ(package->put_ReceiverIdentifier(Text(u"7702").value), S_OK) << Why();
  Ref<ITdx880File> file, description;
  EXPECT_EQ(package->AddFile(Text(u"01").value, Text(u"xml").value, Text(u"declaration.xml").value,
                             Text(FromBytes(Declaration())).value, file.Out()),
            S_OK);
  EXPECT_EQ(package->AddSpecDoc(dekl.get(), description.Out()), S_OK) << Why();
  EXPECT_EQ(package->SignFile(Text(u"declaration.xml").value, key.get(), &ok), S_OK) << Why();
  EXPECT_EQ(package->Encrypt(opponent.get(), &ok), S_OK) << Why();
  EXPECT_EQ(package->Save(Text(FromBytes(Home().string())).value, &ok), S_OK) << Why();
  EXPECT_EQ(package->get_FileName(&text), S_OK) << Why();
  out.archive = ToBytes(Take(text));
  EXPECT_EQ(file->get_FileName(&text), S_OK) << Why();
  out.declaration_entry = ToBytes(Take(text));
  Ref<ITdx880Signature> signature;
  EXPECT_EQ(package->GetFileSignature(0, 0, signature.Out()), S_OK) << Why();
  EXPECT_EQ(signature->get_FileName(&text), S_OK) << Why();
  out.signature_entry = ToBytes(Take(text));

  EXPECT_EQ(reader->Open(Text(FromBytes(out.archive)).value, &ok), S_OK) << Why();
  EXPECT_EQ(reader->Decrypt(&ok), S_OK) << Why();
  LONG count = 0;
  EXPECT_EQ(reader->GetFileCount(&count), S_OK) << Why();
  for (LONG i = 0; i < count; ++i) {
    Ref<ITdx880File> item;
    EXPECT_EQ(reader->GetFile(i, item.Out()), S_OK) << Why();
    EXPECT_EQ(item->CheckSign(&ok), S_OK) << Why();
    out.checked.push_back(ok == VARIANT_TRUE);
    EXPECT_EQ(item->get_RawContent(&text), S_OK) << Why();
    out.contents.push_back(ToBytes(Take(text)));
  }
  Ref<ITdx880Signature> read;
  Ref<ITdx880Key> signer;
  EXPECT_EQ(reader->GetFileSignature(0, 0, read.Out()), S_OK) << Why();
  EXPECT_EQ(read->get_SignKey(signer.Out()), S_OK) << Why();
  EXPECT_EQ(signer->get_SubjectCN(&text), S_OK) << Why();
  out.signer = Take(text);
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

TEST_F(Registration, RegisterWritesTheThreeCreatableClassesAndEachIsCreatedByProgId) {
  for (const char16_t* prog_id : {kPackage, kManager, kCrypt}) {
    Ref<IDispatch> object;
    Create(prog_id, IID_IDispatch, object);
    Ref<ITdx880Safe> safe;
    ASSERT_NE(object.get(), nullptr);
    EXPECT_EQ(object->QueryInterface(IID_ITdx880Safe, safe.OutVoid()), S_OK);
  }
}

}  // namespace
