// The type library table against the library's published interface listing: types in order,
// every slot with its kind, name, DISPID, parameters and retval, enumerations and classes.
#include "automation/type_library.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace lyr::automation {
namespace {

const TypeLibrary& Library() {
  return LyrTdxPackage880Library();
}

std::string TypeText(TypeRef type) {
  switch (type.kind) {
    case ValueKind::Bool:
      return "VARIANT_BOOL";
    case ValueKind::Long:
      return "long";
    case ValueKind::String:
      return "BSTR";
    case ValueKind::Enumeration:
    case ValueKind::Interface:
      return std::string(Library().types[static_cast<std::size_t>(type.type)].name);
    case ValueKind::None:
      break;
  }
  return "-";
}

// "m New 201 BSTR wsThreadTypeCode, BSTR wsTransactTypeCode : VARIANT_BOOL bResult"
std::string SlotText(const Member& member) {
  std::string text = member.kind == MemberKind::Method ? "m "
                     : member.kind == MemberKind::Get  ? "g "
                                                       : "p ";
  text += std::string(member.name) + " " + std::to_string(member.dispid);
  std::string params;
  for (const Param& param : member.Params()) {
    params += (params.empty() ? " " : ", ") + TypeText(param.type);
    if (!param.name.empty()) {
      params += " " + std::string(param.name);
    }
  }
  text += params;
  if (member.result.kind != ValueKind::None) {
    text += " : " + TypeText(member.result) + " " + std::string(member.result_name);
  }
  return text;
}

std::vector<std::string> SlotsOf(std::string_view interface_name) {
  const auto index = Library().IndexOf(interface_name);
  EXPECT_TRUE(index.has_value()) << interface_name;
  std::vector<std::string> slots;
  if (index) {
    for (const Member& member : Library().types[*index].members) {
      slots.push_back(SlotText(member));
    }
  }
  return slots;
}

TEST(TypeLibrary, PackageInterfaceHasFortyTwoSlotsWithFileNamePutAfterIsReaded) {
  const std::vector<std::string> expected = {
      "m New 201 BSTR wsThreadTypeCode, BSTR wsTransactTypeCode : VARIANT_BOOL bResult",
      "m Open 202 BSTR wsFilename : VARIANT_BOOL bResult",
      "m Close 203 : VARIANT_BOOL bResult",
      "m Save 204 BSTR wsPath : VARIANT_BOOL bResult",
      "m Encrypt 205 ITdx880Key pKey : VARIANT_BOOL bResult",
      "m Decrypt 206 : VARIANT_BOOL bResult",
      "m AddFile 207 BSTR wsDocTypeCode, BSTR wsContentType, BSTR wsFilename, BSTR wsContent : "
      "ITdx880File pResult",
      "m GetFileCount 208 : long iResult",
      "m GetFile 209 long iIndex : ITdx880File pResult",
      "m IsOpened 210 : VARIANT_BOOL bResult",
      "m SignFile 211 BSTR wsFilename, ITdx880Key pKey : VARIANT_BOOL bResult",
      "m GetFileSignatureCount 213 long iIndex : long iResult",
      "m GetFileSignature 214 long iFileIndex, long iSignIndex : ITdx880Signature pResult",
      "g IsEncrypted 217 : VARIANT_BOOL Value",
      "g SenderType 218 : SIGN_ROLE_TYPES Value",
      "g SenderIdentifier 219 : BSTR Value",
      "p SenderIdentifier 219 BSTR",
      "g ReceiverType 220 : SIGN_ROLE_TYPES Value",
      "g ReceiverIdentifier 221 : BSTR Value",
      "p ReceiverIdentifier 221 BSTR",
      "m DeleteFile 223 long iFileIndex : VARIANT_BOOL bResult",
      "m DeleteFileSignatures 224 long iFileIndex : VARIANT_BOOL bResult",
      "m EncryptByCertificate 226 BSTR wsCertBody : VARIANT_BOOL bResult",
      "g FlagUsageUserStorage 227 : VARIANT_BOOL Value",
      "p FlagUsageUserStorage 227 VARIANT_BOOL",
      "g ThreadType 222 : BSTR Value",
      "g ThreadTypeCode 228 : BSTR Value",
      "g TransactType 229 : BSTR Value",
      "g TransactTypeCode 230 : BSTR Value",
      "g ThreadCode 231 : BSTR Value",
      "p ThreadCode 231 BSTR",
      "g FileName 232 : BSTR Value",
      "g SOSIdentifier 233 : BSTR Value",
      "p SOSIdentifier 233 BSTR",
      "m AddSpecDoc 212 ITdx880SpecDoc pSpecDoc : ITdx880File pResult",
      "g PackageDescriptionContent 215 : BSTR Value",
      "g IsLoaded 216 : VARIANT_BOOL Value",
      "g IsReaded 225 : VARIANT_BOOL Value",
      "p FileName 232 BSTR",
      "m GetMainFile 234 : ITdx880File pFile",
      "g TmpDir 235 : BSTR Value",
      "p TmpDir 235 BSTR",
  };
  EXPECT_EQ(SlotsOf("ITdx880Package"), expected);
  EXPECT_EQ(SlotsOf("ITdx880Package").size(), 42u);
}

struct InterfaceCase {
  std::string name;
  std::string parent;  // empty: IDispatch
  std::vector<std::string> slots;
};

class TypeLibraryInterface : public ::testing::TestWithParam<InterfaceCase> {};

TEST_P(TypeLibraryInterface, ListsEverySlotInOrder) {
  const InterfaceCase& expected = GetParam();
  EXPECT_EQ(SlotsOf(expected.name), expected.slots);
  const TypeDescription& type = Library().types[*Library().IndexOf(expected.name)];
  EXPECT_EQ(type.kind, TypeKind::Interface);
  const std::string parent =
      type.parent < 0 ? ""
                      : std::string(Library().types[static_cast<std::size_t>(type.parent)].name);
  EXPECT_EQ(parent, expected.parent);
}

INSTANTIATE_TEST_SUITE_P(
    Interfaces, TypeLibraryInterface,
    ::testing::Values(
        InterfaceCase{"ITdx880Safe",
                      "",
                      {"g SafeMode 201 : VARIANT_BOOL Value", "p SafeMode 201 VARIANT_BOOL",
                       "g LastError 202 : ITdx880Error Value"}},
        InterfaceCase{
            "ITdx880File",
            "",
            {"g DocType 201 : BSTR Value", "g DocTypeCode 202 : BSTR Value",
             "p DocTypeCode 202 BSTR", "g ContentType 203 : BSTR Value", "p ContentType 203 BSTR",
             "g IsCompressed 204 : VARIANT_BOOL Value", "g IsEncrypted 205 : VARIANT_BOOL Value",
             "g DocumentCode 206 : BSTR Value", "p DocumentCode 206 BSTR",
             "g OriginalFilename 207 : BSTR Value", "p OriginalFilename 207 BSTR",
             "g FileName 208 : BSTR Value", "p FileName 208 BSTR",
             "m CheckSign 209 : VARIANT_BOOL bResult",
             "m Sign 210 ITdx880Key pKey : VARIANT_BOOL bResult", "g RawContent 212 : BSTR Value",
             "m CheckSignEx 213 VARIANT_BOOL bDownloadContent, VARIANT_BOOL bCheckCRL : "
             "VARIANT_BOOL bResult",
             "m AddSign 214 BSTR wsSignatureContent, SIGN_ROLE_TYPES enRole : VARIANT_BOOL "
             "bResult"}},
        InterfaceCase{"ITdx880Signature",
                      "",
                      {"g FileName 201 : BSTR Value", "p FileName 201 BSTR",
                       "g SignKey 202 : ITdx880Key Value", "g SignatureContent 204 : BSTR Value"}},
        InterfaceCase{
            "ITdx880Crypt",
            "",
            {"m Init 201 : VARIANT_BOOL bResult", "m GetPrivateKeyCount 202 : long iResult",
             "m GetPrivateKey 203 long iIndex : ITdx880Key pResult",
             "m GetOpponentKeyCount 205 : long iResult",
             "m GetOpponentKey 206 long iIndex : ITdx880Key pResult",
             "m ImportP7BChain 208 BSTR wsP7BFileContent",
             "m ImportOpponentCertificate 209 BSTR wsCertificateBody : ITdx880Key pResult",
             "m ImportPrivateCertificate 210 BSTR wsCertificateBody, BSTR wsContainerName : "
             "ITdx880Key pResult",
             "m CheckSignature 204 BSTR wsContent, BSTR wsSignature",
             "m GetContainerCount 207 : long iResult",
             "m GetContainer 211 long iIndex : BSTR wsResult",
             "m GetOpponentKeyBySha1 212 BSTR wsSha1 : ITdx880Key pResult",
             "m GetPrivateKeyBySha1 213 BSTR wsSha1 : ITdx880Key pResult",
             "m IsCryptographyOk 214 : VARIANT_BOOL bResult",
             "g FlagUsageUserStorage 215 : VARIANT_BOOL Value",
             "p FlagUsageUserStorage 215 VARIANT_BOOL"}},
        InterfaceCase{"ITdx880Key",
                      "",
                      {"g ContainerName 201 : BSTR Value", "p ContainerName 201 BSTR",
                       "g Sha1 202 : BSTR Value", "p Sha1 202 BSTR", "g SubjectCN 203 : BSTR Value",
                       "p SubjectCN 203 BSTR", "g SignRole 204 : SIGN_ROLE_TYPES Value",
                       "p SignRole 204 SIGN_ROLE_TYPES", "g CertificateBody 205 : BSTR Value",
                       "p CertificateBody 205 BSTR"}},
        InterfaceCase{
            "ITdx880Manager",
            "",
            {"m CreateSubjectUL 201 : ITdx880SubjectUL pResult",
             "m CreateSubjectFL 202 : ITdx880SubjectFL pResult",
             "m CreateSubjectNO 203 : ITdx880SubjectNO pResult",
             "m CreateSubjectSOS 204 : ITdx880SubjectSOS pResult",
             "m CreateIPPackage 205 ITdx880Package pPackage, ITdx880Subject pCorroborant, "
             "ITdx880Subject pSender, ITdx880Subject pReceiver : ITdx880Package pResult",
             "m CreatePackageByEmail 206 BSTR wsEmailBody : ITdx880Package pResult",
             "m CreateEmailByPackage 207 ITdx880Package pPackage, BSTR wsSenderEmail, BSTR "
             "wsReceiverEmail : BSTR wsResult",
             "m CreateTrDekl 208 : ITdx880TrDekl pResult",
             "m CreateErrorPackage 209 ITdx880Package pPackage, BSTR wsTrSosh : ITdx880Package "
             "pResult",
             "g TmpDir 210 : BSTR Value", "p TmpDir 210 BSTR",
             "m CreateErrorPackageEx 211 ITdx880Package pPackage, BSTR wsSenderIdentifier, "
             "SIGN_ROLE_TYPES enSenderType, BSTR wsReceiverIdentifier, SIGN_ROLE_TYPES "
             "enReceiverType, BSTR wsTrSosh : ITdx880Package pResult"}},
        InterfaceCase{"ITdx880Subject",
                      "",
                      {"g Indentifier 201 : BSTR Value", "p Indentifier 201 BSTR",
                       "g Email 202 : BSTR Value", "p Email 202 BSTR"}},
        InterfaceCase{"ITdx880SubjectUL",
                      "ITdx880Subject",
                      {"g Name 301 : BSTR Value", "p Name 301 BSTR", "g Inn 302 : BSTR Value",
                       "p Inn 302 BSTR", "g Kpp 303 : BSTR Value", "p Kpp 303 BSTR"}},
        InterfaceCase{"ITdx880SubjectFL",
                      "ITdx880Subject",
                      {"g LName 301 : BSTR Value", "p LName 301 BSTR", "g FName 302 : BSTR Value",
                       "p FName 302 BSTR", "g MName 303 : BSTR Value", "p MName 303 BSTR",
                       "g Inn 304 : BSTR Value", "p Inn 304 BSTR", "g FIO 305 : BSTR Value",
                       "p FIO 305 BSTR"}},
        InterfaceCase{"ITdx880SubjectNO", "ITdx880Subject", {}},
        InterfaceCase{
            "ITdx880SubjectSOS", "ITdx880Subject", {"g Name 301 : BSTR Value", "p Name 301 BSTR"}},
        InterfaceCase{"ITdx880SpecDoc", "", {"g XML 201 : BSTR Value", "p XML 201 BSTR"}},
        InterfaceCase{
            "ITdx880TrDekl",
            "ITdx880SpecDoc",
            {"g FormName 301 : BSTR Value", "p FormName 301 BSTR", "g FormKnd 302 : BSTR Value",
             "p FormKnd 302 BSTR", "g DeklKind 303 : DEKL_KIND_TYPES Value",
             "p DeklKind 303 DEKL_KIND_TYPES", "g Year 304 : BSTR Value", "p Year 304 BSTR",
             "g PeriodCode 305 : BSTR Value", "p PeriodCode 305 BSTR",
             "g SonoAccount 306 : BSTR Value", "p SonoAccount 306 BSTR",
             "g SonoSituation 307 : BSTR Value", "p SonoSituation 307 BSTR"}},
        InterfaceCase{"ITdx880Error",
                      "",
                      {"g Code 201 : long Value", "p Code 201 long", "g Message 202 : BSTR Value",
                       "p Message 202 BSTR"}}),
    [](const ::testing::TestParamInfo<InterfaceCase>& info) { return info.param.name; });

TEST(TypeLibrary, EnumerationsHaveTheirValues) {
  auto values = [](std::string_view name) {
    std::vector<std::string> list;
    for (const EnumValue& value : Library().types[*Library().IndexOf(name)].values) {
      list.push_back(std::string(value.name) + "=" + std::to_string(value.value));
    }
    return list;
  };
  EXPECT_EQ(values("SIGN_ROLE_TYPES"),
            (std::vector<std::string>{"SIGN_ROLE_TYPE_UNKNOWN=0", "SIGN_ROLE_TYPE_ABONENT=1",
                                      "SIGN_ROLE_TYPE_TDX=2", "SIGN_ROLE_TYPE_SOS=3",
                                      "SIGN_ROLE_TYPE_FCOD=4"}));
  EXPECT_EQ(values("DEKL_KIND_TYPES"),
            (std::vector<std::string>{"DEKL_KIND_TYPE_NONE=0", "DEKL_KIND_TYPE_PRIMARY=1",
                                      "DEKL_KIND_TYPE_CORRECTION=2"}));
}

TEST(TypeLibrary, OwnMembersStartAt201AndDerivedInterfacesAt301) {
  for (const TypeDescription& type : Library().types) {
    if (type.kind != TypeKind::Interface || type.members.empty()) {
      continue;
    }
    DISPID lowest = type.members[0].dispid;
    for (const Member& member : type.members) {
      lowest = std::min(lowest, member.dispid);
    }
    EXPECT_EQ(lowest, type.parent < 0 ? 201 : 301) << type.name;
  }
}

}  // namespace
}  // namespace lyr::automation
