// A host of the automation server through its interfaces (early binding): the sender builds a
// declaration package, signs it, encrypts it for the receiver and saves it; the receiver reopens
// it, decrypts it and verifies the signature and the content.
//
// Usage: tdx880_cpp_host SENDER_HOME RECEIVER_HOME OUTBOX
// Each home holds the keys of one participant (LYR_TDX_HOME): the sender's own key in "MY" and the
// receiver's certificate in "addressbook"; the receiver's key in "MY" and the root and revocation
// list of the chain in "ROOT" and "CA". `tdx880 demo --keep DIR` makes two such homes,
// DIR/abonent and DIR/tax-authority. The server must be registered (`tdx880 register`).
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "lyr/com/com.h"
#include "lyr/tdx880/LyrTdxPackage880.h"

namespace {

// One interface reference, released when it goes.
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

// One BSTR, freed when it goes.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::u16string& text)
      : b_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { ::SysFreeString(b_); }
  BSTR* Out() { return &b_; }
  BSTR get() const { return b_; }
  [[nodiscard]] std::u16string Text() const {
    return b_ == nullptr ? u"" : std::u16string(b_, ::SysStringLen(b_));
  }
  // The text as UTF-8 for the terminal.
  [[nodiscard]] std::string Utf8() const {
    std::string out;
    for (const char16_t unit : Text()) {
      if (unit < 0x80) {
        out += static_cast<char>(unit);
      } else if (unit < 0x800) {
        out += static_cast<char>(0xC0 | (unit >> 6));
        out += static_cast<char>(0x80 | (unit & 0x3F));
      } else {
        out += static_cast<char>(0xE0 | (unit >> 12));
        out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (unit & 0x3F));
      }
    }
    return out;
  }

 private:
  BSTR b_ = nullptr;
};

std::u16string Widen(const std::string& ascii) {
  return {ascii.begin(), ascii.end()};
}

// Throws with the error information the failed call left (SafeMode is off: failures are
// HRESULTs with the library's message).
void Check(HRESULT hr, const char* what) {
  if (SUCCEEDED(hr)) {
    return;
  }
  std::string message = std::string(what) + " failed";
  IErrorInfo* info = nullptr;
  if (::GetErrorInfo(0, &info) == S_OK && info != nullptr) {
    Bstr description;
    info->GetDescription(description.Out());
    info->Release();
    message += ": " + description.Utf8();
  }
  throw std::runtime_error(message);
}

void Expect(VARIANT_BOOL value, const char* what) {
  if (value != VARIANT_TRUE) {
    throw std::runtime_error(std::string(what) + " answered false");
  }
}

template <typename T>
void Create(const CLSID& clsid, const IID& iid, Ref<T>& object, const char* what) {
  Check(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object.OutVoid()), what);
}

// An ASCII declaration: its bytes and its BSTR are the same characters.
const std::string kDocumentName = "NO_NDS_7701_7701_7701234567770101001_20261206_CPP.xml";
const std::string kDocument =
    "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
    "<File Id=\"NO_NDS_7701_7701_7701234567770101001_20261206_CPP\"><Document KND=\"1151001\"/>"
    "</File>\r\n";

std::string Send(const std::string& home, const std::string& outbox) {
  ::setenv("LYR_TDX_HOME", home.c_str(), 1);
  Ref<ITdx880Crypt> crypt;
  Create(CLSID_Tdx880Crypt, IID_ITdx880Crypt, crypt, "creating Tdx880Crypt");
  VARIANT_BOOL ok = VARIANT_FALSE;
  Check(crypt->Init(&ok), "Init");
  Expect(ok, "Init");
  Ref<ITdx880Key> signer;
  Ref<ITdx880Key> recipient;
  Check(crypt->GetPrivateKey(0, signer.Out()), "GetPrivateKey");
  Check(crypt->GetOpponentKey(0, recipient.Out()), "GetOpponentKey");

  Ref<ITdx880Package> package;
  Create(CLSID_Tdx880Package, IID_ITdx880Package, package, "creating Tdx880Package");
  Check(package->New(Bstr(u"01").get(), Bstr(u"01").get(), &ok), "New");
  Check(package->put_SenderIdentifier(Bstr(u"7701234567").get()), "SenderIdentifier");
  Check(package->put_ReceiverIdentifier(Bstr(u"7701").get()), "ReceiverIdentifier");
  Ref<ITdx880File> file;
  Check(package->AddFile(Bstr(u"01").get(), Bstr(u"xml").get(), Bstr(Widen(kDocumentName)).get(),
                         Bstr(Widen(kDocument)).get(), file.Out()),
        "AddFile");
  Check(package->SignFile(Bstr(Widen(kDocumentName)).get(), signer.get(), &ok), "SignFile");
  Expect(ok, "SignFile");
  Check(package->Encrypt(recipient.get(), &ok), "Encrypt");
  Expect(ok, "Encrypt");
  Check(package->Save(Bstr(Widen(outbox)).get(), &ok), "Save");
  Expect(ok, "Save");
  Bstr path;
  Check(package->get_FileName(path.Out()), "FileName");
  std::printf("sent: %s\n", path.Utf8().c_str());
  return path.Utf8();
}

void Receive(const std::string& home, const std::string& path) {
  ::setenv("LYR_TDX_HOME", home.c_str(), 1);
  Ref<ITdx880Package> package;
  Create(CLSID_Tdx880Package, IID_ITdx880Package, package, "creating Tdx880Package");
  VARIANT_BOOL ok = VARIANT_FALSE;
  Check(package->Open(Bstr(Widen(path)).get(), &ok), "Open");
  Expect(ok, "Open");
  Check(package->Decrypt(&ok), "Decrypt");
  Expect(ok, "Decrypt");
  Ref<ITdx880File> file;
  Check(package->GetFile(0, file.Out()), "GetFile");
  Bstr content;
  Check(file->get_RawContent(content.Out()), "RawContent");
  if (content.Text() != Widen(kDocument)) {
    throw std::runtime_error("the received document differs from the one sent");
  }
  Check(file->CheckSignEx(VARIANT_FALSE, VARIANT_TRUE, &ok), "CheckSignEx");
  Expect(ok, "CheckSignEx");
  Ref<ITdx880Signature> signature;
  Check(package->GetFileSignature(0, 0, signature.Out()), "GetFileSignature");
  Ref<ITdx880Key> signer;
  Check(signature->get_SignKey(signer.Out()), "SignKey");
  Bstr name;
  Check(signer->get_SubjectCN(name.Out()), "SubjectCN");
  std::printf("received: %s, %zu bytes, signature of \"%s\" valid\n", path.c_str(),
              kDocument.size(), name.Utf8().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: tdx880_cpp_host SENDER_HOME RECEIVER_HOME OUTBOX\n");
    return 2;
  }
  if (FAILED(::CoInitialize(nullptr))) {
    std::fprintf(stderr, "CoInitialize failed\n");
    return 1;
  }
  int status = 0;
  try {
    Receive(argv[2], Send(argv[1], argv[3]));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tdx880_cpp_host: %s\n", error.what());
    status = 1;
  }
  ::CoUninitialize();
  return status;
}
