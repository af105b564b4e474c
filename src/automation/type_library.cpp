// The LyrTdxPackage880 type library table. The GUIDs were chosen once and never change: hosts bind
// to them.
#include "automation/type_library.h"

#include <algorithm>

#include "base/ascii.h"

namespace lyr::automation {
namespace {

constexpr uint8_t HexDigit(char c) {
  const int value = base::HexDigitValue(c);
  if (value < 0) {
    throw "not a hexadecimal digit";  // compile-time error in a constant expression
  }
  return static_cast<uint8_t>(value);
}

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" -> GUID, at compile time.
constexpr GUID Guid(std::string_view text) {
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' ||
      text[23] != '-') {
    throw "malformed GUID";
  }
  auto hex = [&](std::size_t at, std::size_t digits) {
    uint64_t value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
      value = value * 16 + HexDigit(text[at + i]);
    }
    return value;
  };
  GUID guid{};
  guid.Data1 = static_cast<uint32_t>(hex(0, 8));
  guid.Data2 = static_cast<uint16_t>(hex(9, 4));
  guid.Data3 = static_cast<uint16_t>(hex(14, 4));
  guid.Data4[0] = static_cast<uint8_t>(hex(19, 2));
  guid.Data4[1] = static_cast<uint8_t>(hex(21, 2));
  for (std::size_t i = 0; i < 6; ++i) {
    guid.Data4[2 + i] = static_cast<uint8_t>(hex(24 + 2 * i, 2));
  }
  return guid;
}

// Indices of the type descriptions, in the library's order.
enum TypeIndex : int16_t {
  kPackage = 0,
  kSafe,
  kFile,
  kSignature,
  kSignRoleTypes,
  kCrypt,
  kCryptClass,
  kKey,
  kManager,
  kSubject,
  kSubjectUL,
  kSubjectFL,
  kSubjectNO,
  kSubjectSOS,
  kManagerClass,
  kSpecDoc,
  kTrDekl,
  kDeklKindTypes,
  kPackageClass,
  kError,
  kTypeCount
};

constexpr TypeRef kBool{ValueKind::Bool, -1};
constexpr TypeRef kLong{ValueKind::Long, -1};
constexpr TypeRef kString{ValueKind::String, -1};
constexpr TypeRef kNone{ValueKind::None, -1};
constexpr TypeRef Object(TypeIndex index) {
  return {ValueKind::Interface, index};
}
constexpr TypeRef Enum(TypeIndex index) {
  return {ValueKind::Enumeration, index};
}

// The retval's name of a method: by the result's type.
constexpr std::string_view MethodResultName(TypeRef result) {
  switch (result.kind) {
    case ValueKind::Bool:
      return "bResult";
    case ValueKind::Long:
    case ValueKind::Enumeration:
      return "iResult";
    case ValueKind::String:
      return "wsResult";
    case ValueKind::Interface:
      return "pResult";
    case ValueKind::None:
      break;
  }
  return {};
}

// One row of an interface's table: a method, a get, a put, or a get / put pair.
enum class RowKind : uint8_t { Method, Get, Put, GetPut };
struct Row {
  std::string_view name;
  DISPID dispid;
  RowKind kind;
  TypeRef type;                       // methods: the result; properties: the value
  Param params[kMaxParams] = {};      // methods: the parameters, ended by the first unnamed
  std::string_view result_name = {};  // methods whose retval is not named by its type
};

constexpr Member MakeGet(const Row& row) {
  Member member{row.name, row.dispid, MemberKind::Get, {}, 0, kNone, {}};
  member.result = row.type;
  member.result_name = "Value";
  return member;
}

constexpr Member MakePut(const Row& row) {
  Member member{row.name, row.dispid, MemberKind::Put, {}, 0, kNone, {}};
  member.params[0] = Param{{}, row.type};
  member.param_count = 1;
  return member;
}

constexpr Member MakeMethod(const Row& row) {
  Member member{row.name, row.dispid, MemberKind::Method, {}, 0, kNone, {}};
  for (const Param& param : row.params) {
    if (param.name.empty()) {
      break;
    }
    member.params[member.param_count++] = param;
  }
  member.result = row.type;
  member.result_name = row.result_name.empty() ? MethodResultName(row.type) : row.result_name;
  return member;
}

template <std::size_t N>
struct MemberList {
  std::array<Member, N> members{};
  std::size_t count = 0;
};

// Expands the rows into vtable slots (a get / put row gives two slots, the get first).
template <std::size_t Rows>
constexpr MemberList<2 * Rows> Slots(const Row (&rows)[Rows]) {
  MemberList<2 * Rows> list;
  for (const Row& row : rows) {
    switch (row.kind) {
      case RowKind::Method:
        list.members[list.count++] = MakeMethod(row);
        break;
      case RowKind::Get:
        list.members[list.count++] = MakeGet(row);
        break;
      case RowKind::Put:
        list.members[list.count++] = MakePut(row);
        break;
      case RowKind::GetPut:
        list.members[list.count++] = MakeGet(row);
        list.members[list.count++] = MakePut(row);
        break;
    }
  }
  return list;
}

constexpr RowKind M = RowKind::Method;
constexpr RowKind G = RowKind::Get;
constexpr RowKind P = RowKind::Put;
constexpr RowKind GP = RowKind::GetPut;

constexpr Row kPackageRows[] = {
    {"New", 201, M, kBool, {{"wsThreadTypeCode", kString}, {"wsTransactTypeCode", kString}}},
    {"Open", 202, M, kBool, {{"wsFilename", kString}}},
    {"Close", 203, M, kBool},
    {"Save", 204, M, kBool, {{"wsPath", kString}}},
    {"Encrypt", 205, M, kBool, {{"pKey", Object(kKey)}}},
    {"Decrypt", 206, M, kBool},
    {"AddFile",
     207,
     M,
     Object(kFile),
     {{"wsDocTypeCode", kString},
      {"wsContentType", kString},
      {"wsFilename", kString},
      {"wsContent", kString}}},
    {"GetFileCount", 208, M, kLong},
    {"GetFile", 209, M, Object(kFile), {{"iIndex", kLong}}},
    {"IsOpened", 210, M, kBool},
    {"SignFile", 211, M, kBool, {{"wsFilename", kString}, {"pKey", Object(kKey)}}},
    {"GetFileSignatureCount", 213, M, kLong, {{"iIndex", kLong}}},
    {"GetFileSignature",
     214,
     M,
     Object(kSignature),
     {{"iFileIndex", kLong}, {"iSignIndex", kLong}}},
    {"IsEncrypted", 217, G, kBool},
    {"SenderType", 218, G, Enum(kSignRoleTypes)},
    {"SenderIdentifier", 219, GP, kString},
    {"ReceiverType", 220, G, Enum(kSignRoleTypes)},
    {"ReceiverIdentifier", 221, GP, kString},
    {"DeleteFile", 223, M, kBool, {{"iFileIndex", kLong}}},
    {"DeleteFileSignatures", 224, M, kBool, {{"iFileIndex", kLong}}},
    {"EncryptByCertificate", 226, M, kBool, {{"wsCertBody", kString}}},
    {"FlagUsageUserStorage", 227, GP, kBool},
    {"ThreadType", 222, G, kString},
    {"ThreadTypeCode", 228, G, kString},
    {"TransactType", 229, G, kString},
    {"TransactTypeCode", 230, G, kString},
    {"ThreadCode", 231, GP, kString},
    {"FileName", 232, G, kString},
    {"SOSIdentifier", 233, GP, kString},
    {"AddSpecDoc", 212, M, Object(kFile), {{"pSpecDoc", Object(kSpecDoc)}}},
    {"PackageDescriptionContent", 215, G, kString},
    {"IsLoaded", 216, G, kBool},
    {"IsReaded", 225, G, kBool},
    {"FileName", 232, P, kString},
    {"GetMainFile", 234, M, Object(kFile), {}, "pFile"},
    {"TmpDir", 235, GP, kString},
};

constexpr Row kSafeRows[] = {
    {"SafeMode", 201, GP, kBool},
    {"LastError", 202, G, Object(kError)},
};

constexpr Row kFileRows[] = {
    {"DocType", 201, G, kString},
    {"DocTypeCode", 202, GP, kString},
    {"ContentType", 203, GP, kString},
    {"IsCompressed", 204, G, kBool},
    {"IsEncrypted", 205, G, kBool},
    {"DocumentCode", 206, GP, kString},
    {"OriginalFilename", 207, GP, kString},
    {"FileName", 208, GP, kString},
    {"CheckSign", 209, M, kBool},
    {"Sign", 210, M, kBool, {{"pKey", Object(kKey)}}},
    {"RawContent", 212, G, kString},
    {"CheckSignEx", 213, M, kBool, {{"bDownloadContent", kBool}, {"bCheckCRL", kBool}}},
    {"AddSign", 214, M, kBool, {{"wsSignatureContent", kString}, {"enRole", Enum(kSignRoleTypes)}}},
};

constexpr Row kSignatureRows[] = {
    {"FileName", 201, GP, kString},
    {"SignKey", 202, G, Object(kKey)},
    {"SignatureContent", 204, G, kString},
};

constexpr Row kCryptRows[] = {
    {"Init", 201, M, kBool},
    {"GetPrivateKeyCount", 202, M, kLong},
    {"GetPrivateKey", 203, M, Object(kKey), {{"iIndex", kLong}}},
    {"GetOpponentKeyCount", 205, M, kLong},
    {"GetOpponentKey", 206, M, Object(kKey), {{"iIndex", kLong}}},
    {"ImportP7BChain", 208, M, kNone, {{"wsP7BFileContent", kString}}},
    {"ImportOpponentCertificate", 209, M, Object(kKey), {{"wsCertificateBody", kString}}},
    {"ImportPrivateCertificate",
     210,
     M,
     Object(kKey),
     {{"wsCertificateBody", kString}, {"wsContainerName", kString}}},
    {"CheckSignature", 204, M, kNone, {{"wsContent", kString}, {"wsSignature", kString}}},
    {"GetContainerCount", 207, M, kLong},
    {"GetContainer", 211, M, kString, {{"iIndex", kLong}}},
    {"GetOpponentKeyBySha1", 212, M, Object(kKey), {{"wsSha1", kString}}},
    {"GetPrivateKeyBySha1", 213, M, Object(kKey), {{"wsSha1", kString}}},
    {"IsCryptographyOk", 214, M, kBool},
    {"FlagUsageUserStorage", 215, GP, kBool},
};

constexpr Row kKeyRows[] = {
    {"ContainerName", 201, GP, kString},   {"Sha1", 202, GP, kString},
    {"SubjectCN", 203, GP, kString},       {"SignRole", 204, GP, Enum(kSignRoleTypes)},
    {"CertificateBody", 205, GP, kString},
};

constexpr Row kManagerRows[] = {
    {"CreateSubjectUL", 201, M, Object(kSubjectUL)},
    {"CreateSubjectFL", 202, M, Object(kSubjectFL)},
    {"CreateSubjectNO", 203, M, Object(kSubjectNO)},
    {"CreateSubjectSOS", 204, M, Object(kSubjectSOS)},
    {"CreateIPPackage",
     205,
     M,
     Object(kPackage),
     {{"pPackage", Object(kPackage)},
      {"pCorroborant", Object(kSubject)},
      {"pSender", Object(kSubject)},
      {"pReceiver", Object(kSubject)}}},
    {"CreatePackageByEmail", 206, M, Object(kPackage), {{"wsEmailBody", kString}}},
    {"CreateEmailByPackage",
     207,
     M,
     kString,
     {{"pPackage", Object(kPackage)}, {"wsSenderEmail", kString}, {"wsReceiverEmail", kString}}},
    {"CreateTrDekl", 208, M, Object(kTrDekl)},
    {"CreateErrorPackage",
     209,
     M,
     Object(kPackage),
     {{"pPackage", Object(kPackage)}, {"wsTrSosh", kString}}},
    {"TmpDir", 210, GP, kString},
    {"CreateErrorPackageEx",
     211,
     M,
     Object(kPackage),
     {{"pPackage", Object(kPackage)},
      {"wsSenderIdentifier", kString},
      {"enSenderType", Enum(kSignRoleTypes)},
      {"wsReceiverIdentifier", kString},
      {"enReceiverType", Enum(kSignRoleTypes)},
      {"wsTrSosh", kString}}},
};

constexpr Row kSubjectRows[] = {
    {"Indentifier", 201, GP, kString},
    {"Email", 202, GP, kString},
};

constexpr Row kSubjectULRows[] = {
    {"Name", 301, GP, kString},
    {"Inn", 302, GP, kString},
    {"Kpp", 303, GP, kString},
};

constexpr Row kSubjectFLRows[] = {
    {"LName", 301, GP, kString}, {"FName", 302, GP, kString}, {"MName", 303, GP, kString},
    {"Inn", 304, GP, kString},   {"FIO", 305, GP, kString},
};

constexpr Row kSubjectSOSRows[] = {
    {"Name", 301, GP, kString},
};

constexpr Row kSpecDocRows[] = {
    {"XML", 201, GP, kString},
};

constexpr Row kTrDeklRows[] = {
    {"FormName", 301, GP, kString},
    {"FormKnd", 302, GP, kString},
    {"DeklKind", 303, GP, Enum(kDeklKindTypes)},
    {"Year", 304, GP, kString},
    {"PeriodCode", 305, GP, kString},
    {"SonoAccount", 306, GP, kString},
    {"SonoSituation", 307, GP, kString},
};

constexpr Row kErrorRows[] = {
    {"Code", 201, GP, kLong},
    {"Message", 202, GP, kString},
};

constexpr auto kPackageSlots = Slots(kPackageRows);
constexpr auto kSafeSlots = Slots(kSafeRows);
constexpr auto kFileSlots = Slots(kFileRows);
constexpr auto kSignatureSlots = Slots(kSignatureRows);
constexpr auto kCryptSlots = Slots(kCryptRows);
constexpr auto kKeySlots = Slots(kKeyRows);
constexpr auto kManagerSlots = Slots(kManagerRows);
constexpr auto kSubjectSlots = Slots(kSubjectRows);
constexpr auto kSubjectULSlots = Slots(kSubjectULRows);
constexpr auto kSubjectFLSlots = Slots(kSubjectFLRows);
constexpr auto kSubjectSOSSlots = Slots(kSubjectSOSRows);
constexpr auto kSpecDocSlots = Slots(kSpecDocRows);
constexpr auto kTrDeklSlots = Slots(kTrDeklRows);
constexpr auto kErrorSlots = Slots(kErrorRows);

template <std::size_t N>
constexpr std::span<const Member> Span(const MemberList<N>& list) {
  return {list.members.data(), list.count};
}

constexpr EnumValue kSignRoleValues[] = {
    {"SIGN_ROLE_TYPE_UNKNOWN", 0}, {"SIGN_ROLE_TYPE_ABONENT", 1}, {"SIGN_ROLE_TYPE_TDX", 2},
    {"SIGN_ROLE_TYPE_SOS", 3},     {"SIGN_ROLE_TYPE_FCOD", 4},
};

constexpr EnumValue kDeklKindValues[] = {
    {"DEKL_KIND_TYPE_NONE", 0},
    {"DEKL_KIND_TYPE_PRIMARY", 1},
    {"DEKL_KIND_TYPE_CORRECTION", 2},
};

constexpr TypeDescription Interface(std::string_view name, std::string_view guid,
                                    std::span<const Member> members, int16_t parent = -1) {
  return {name, TypeKind::Interface, Guid(guid), parent, members, {}, -1};
}
constexpr TypeDescription Enumeration(std::string_view name, std::string_view guid,
                                      std::span<const EnumValue> values) {
  return {name, TypeKind::Enumeration, Guid(guid), -1, {}, values, -1};
}
constexpr TypeDescription CoClass(std::string_view name, std::string_view guid,
                                  TypeIndex default_interface) {
  return {name, TypeKind::CoClass, Guid(guid), -1, {}, {}, default_interface};
}

constexpr TypeDescription kTypes[] = {
    Interface("ITdx880Package", "C6D9A689-9648-4A74-85F2-46A9B178BEA7", Span(kPackageSlots)),
    Interface("ITdx880Safe", "90008B91-1356-4DDA-9BD0-0A9658C1F1F6", Span(kSafeSlots)),
    Interface("ITdx880File", "BD5EA140-2E55-4D35-9BD8-A311D0682EB5", Span(kFileSlots)),
    Interface("ITdx880Signature", "B16076F0-9C33-4439-867D-001A658753C5", Span(kSignatureSlots)),
    Enumeration("SIGN_ROLE_TYPES", "53F3F751-85EF-468A-917E-BB94E0FAA820", kSignRoleValues),
    Interface("ITdx880Crypt", "832FBB37-47AE-4C6F-BB30-91E714AD485F", Span(kCryptSlots)),
    CoClass("Tdx880Crypt", "9A52E891-EE92-4C54-924B-183FD3EE3684", kCrypt),
    Interface("ITdx880Key", "5FBB8735-BD1A-420C-B6FC-780A7C101140", Span(kKeySlots)),
    Interface("ITdx880Manager", "987CD7D7-8B2C-40A4-B424-4BC9881C7986", Span(kManagerSlots)),
    Interface("ITdx880Subject", "6809E6D6-F447-41D3-BE91-4E52599AE79F", Span(kSubjectSlots)),
    Interface("ITdx880SubjectUL", "50B07D90-51F4-42CB-81E9-5414B564A3C2", Span(kSubjectULSlots),
              kSubject),
    Interface("ITdx880SubjectFL", "DFB43552-4F24-4B23-BDBF-1C45BA821D5C", Span(kSubjectFLSlots),
              kSubject),
    Interface("ITdx880SubjectNO", "8B23689F-CC2E-4385-AC55-F5855BD95B66", {}, kSubject),
    Interface("ITdx880SubjectSOS", "74D7BC98-91B2-468B-BA6C-C205A506414C", Span(kSubjectSOSSlots),
              kSubject),
    CoClass("Tdx880Manager", "07F3DBA0-549F-4D11-9E3B-C0F68E515DF0", kManager),
    Interface("ITdx880SpecDoc", "5FFC6240-D460-4B6C-BD20-2669A9E56527", Span(kSpecDocSlots)),
    Interface("ITdx880TrDekl", "DFE098A8-B00B-45F4-84A3-5025C6C6D1AA", Span(kTrDeklSlots),
              kSpecDoc),
    Enumeration("DEKL_KIND_TYPES", "A4E86E65-F36C-4A99-8B2C-910631885CA0", kDeklKindValues),
    CoClass("Tdx880Package", "E475C70D-5FC7-4854-8CC1-0021C3218DAD", kPackage),
    Interface("ITdx880Error", "12D6C47C-1F00-4E86-9F60-750C4160E872", Span(kErrorSlots)),
};
static_assert(std::size(kTypes) == kTypeCount);

constexpr TypeLibrary kLibrary{
    "LyrTdxPackage880",
    Guid("AA0FF614-3F4E-40BB-85B0-F20E1D00C088"),
    1,
    2,
    0x0409,
    "LyrTdxPackage880 [KORAL]",
    kTypes,
};

}  // namespace

const TypeLibrary& LyrTdxPackage880Library() {
  return kLibrary;
}

}  // namespace lyr::automation
