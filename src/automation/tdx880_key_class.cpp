// The Key object's members and the conversions between key records and Key objects.
#include "automation/tdx880_key_class.h"

#include <cstdint>

#include "automation/bstr.h"
#include "package/tdx880_tool.h"
#include "rtl/errors.h"
#include "rtl/format.h"
#include "rtl/text.h"
#include "rtl/value_check_tool.h"

namespace lyr::automation {
namespace {

using package::CTdx880Tool;

// Raises the message of a member of another object that failed with hr: its error information's
// description, or the member and the HRESULT when it left none.
[[noreturn]] void RaiseFailedCall(HRESULT hr, std::string_view member) {
  ComPtr<IErrorInfo> info;
  if (::GetErrorInfo(0, info.Receive()) == S_OK && info) {
    BSTR raw = nullptr;
    const HRESULT described = info->GetDescription(&raw);
    const OwnedBstr description(raw);
    if (SUCCEEDED(described) && ::SysStringLen(description.get()) > 0) {
      rtl::Raise(BstrToAnsi(description.get()));
    }
  }
  rtl::Raise(
      rtl::Format("ITdx880Key.%s failed (0x%.8x)", std::string(member), static_cast<uint32_t>(hr)));
}

// A BSTR property of key read through the interface and converted (text or binary).
template <typename Get>
std::string ReadBstr(ITdx880Key* key, Get get, std::string_view member,
                     std::string (*convert)(BSTR)) {
  BSTR raw = nullptr;
  const HRESULT hr = (key->*get)(&raw);
  const OwnedBstr value(raw);
  if (FAILED(hr)) {
    RaiseFailedCall(hr, member);
  }
  return convert(value.get());
}

}  // namespace

void* CTdx880Key_class::FindInterface(REFIID iid) noexcept {
  if (iid == IID_IObjectWrapper) {
    return static_cast<IObjectWrapper*>(this);
  }
  return CTdx880SafeAutoIntfObjectBase<ITdx880Key>::FindInterface(iid);
}

HRESULT CTdx880Key_class::get_ContainerName(BSTR* Value) {
  return UnguardGet(Value, [&] { return record_.ContainerName(); });
}
HRESULT CTdx880Key_class::put_ContainerName(BSTR Value) {
  return Unguard([&] { record_.SetContainerName(BstrToAnsi(Value)); });
}

HRESULT CTdx880Key_class::get_Sha1(BSTR* Value) {
  return UnguardGet(Value, [&] { return record_.Sha1(); });
}
HRESULT CTdx880Key_class::put_Sha1(BSTR Value) {
  return Unguard([&] { record_.SetSha1(BstrToAnsi(Value)); });
}

HRESULT CTdx880Key_class::get_SubjectCN(BSTR* Value) {
  return UnguardGet(Value, [&] { return record_.SubjectCN(); });
}
HRESULT CTdx880Key_class::put_SubjectCN(BSTR Value) {
  return Unguard([&] { record_.SetSubjectCN(BstrToAnsi(Value)); });
}

HRESULT CTdx880Key_class::get_SignRole(SIGN_ROLE_TYPES* Value) {
  return UnguardGet(Value, [&] { return CTdx880Tool::RoleToAutomation(record_.SignRole()); });
}
HRESULT CTdx880Key_class::put_SignRole(SIGN_ROLE_TYPES Value) {
  return Unguard([&] { record_.SetSignRole(CTdx880Tool::RoleFromAutomation(Value)); });
}

HRESULT CTdx880Key_class::get_CertificateBody(BSTR* Value) {
  return UnguardGet(Value, [&] { return BstrFromBytes(record_.CertificateBody()); });
}
HRESULT CTdx880Key_class::put_CertificateBody(BSTR Value) {
  return Unguard([&] { record_.SetCertificateBody(BytesFromBstr(Value)); });
}

ComPtr<ITdx880Key> KeyToAutomation(const crypt::CTdx880Key* record, std::u16string_view prog_id) {
  rtl::CValueCheckTool::CheckAssigned(record, rtl::Msg(u8"pСTdx880Key"));
  auto key = MakeObject<CTdx880Key_class>(std::u16string(prog_id));
  crypt::CTdx880Key& target = key->Record();
  // The order and the checks of the puts; the role goes through the mapping both ways, so a code
  // without an automation value fails as the put would.
  target.SetContainerName(record->ContainerName());
  target.SetSha1(record->Sha1());
  target.SetSubjectCN(record->SubjectCN());
  target.SetSignRole(
      CTdx880Tool::RoleFromAutomation(CTdx880Tool::RoleToAutomation(record->SignRole())));
  target.SetCertificateBody(record->CertificateBody());
  return ComPtr<ITdx880Key>(key.Detach()->DispatchPointer());
}

void KeyFromAutomation(ITdx880Key* key, crypt::CTdx880Key* record) {
  rtl::CValueCheckTool::CheckAssigned(record, "pCTdx880Key");
  rtl::CValueCheckTool::CheckAssigned(key, "pKey");
  const std::string sha1 = ReadBstr(key, &ITdx880Key::get_Sha1, "Sha1", &BstrToAnsi);
  const std::string subject_cn =
      ReadBstr(key, &ITdx880Key::get_SubjectCN, "SubjectCN", &BstrToAnsi);
  const std::string body =
      ReadBstr(key, &ITdx880Key::get_CertificateBody, "CertificateBody", &BytesFromBstr);
  const std::string container =
      ReadBstr(key, &ITdx880Key::get_ContainerName, "ContainerName", &BstrToAnsi);
  SIGN_ROLE_TYPES role = SIGN_ROLE_TYPE_UNKNOWN;
  if (const HRESULT hr = key->get_SignRole(&role); FAILED(hr)) {
    RaiseFailedCall(hr, "SignRole");
  }
  if (!sha1.empty()) {
    record->SetSha1(sha1);
  }
  if (!subject_cn.empty()) {
    record->SetSubjectCN(subject_cn);
  }
  if (!body.empty()) {
    record->SetCertificateBody(body);
  }
  record->SetContainerName(container);
  record->SetSignRole(CTdx880Tool::RoleFromAutomation(role));
}

}  // namespace lyr::automation
