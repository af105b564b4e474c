// Participant codes of the engine (subject types and signature roles) and the automation
// enumeration that numbers the exchange roles for hosts.
#pragma once

#include <cstdint>

namespace lyr::package {

// The engine's one-byte subject code, shared by participant types and signature roles.
using SubjectCode = uint8_t;

inline constexpr SubjectCode kSubjectUnknown = 0;          // no participant
inline constexpr SubjectCode kSubjectAbonent = 1;          // tax payer ("абонент")
inline constexpr SubjectCode kSubjectTaxAuthority = 2;     // "налоговыйОрган"
inline constexpr SubjectCode kSubjectSpecialOperator = 3;  // "спецоператор"
inline constexpr SubjectCode kSubjectAbonentAlias = 4;  // written as "абонент", read back as 1
inline constexpr SubjectCode kSubjectApplicant = 5;     // "заявитель"
inline constexpr SubjectCode kSubjectNotary = 6;        // "нотариус"
inline constexpr SubjectCode kSubjectTrustedCa = 7;     // "доверенныйУЦ"
inline constexpr SubjectCode kSubjectCentralBank = 8;       // "органЦБРФ"
inline constexpr SubjectCode kSubjectActingNotary = 9;      // "ИОнотариус"
inline constexpr SubjectCode kSubjectJusticeMinistry = 10;  // "органМинюста"
inline constexpr SubjectCode kSubjectDataCentre = 11;       // data-processing centre ("ФЦОД")

// Exchange role of a participant or signer as hosts see it (type library enumeration, 32-bit).
// The same enumeration carries subject types across the automation boundary.
enum SIGN_ROLE_TYPES : int32_t {
  SIGN_ROLE_TYPE_UNKNOWN = 0,
  SIGN_ROLE_TYPE_ABONENT = 1,
  SIGN_ROLE_TYPE_TDX = 2,
  SIGN_ROLE_TYPE_SOS = 3,
  SIGN_ROLE_TYPE_FCOD = 4,
};

}  // namespace lyr::package
