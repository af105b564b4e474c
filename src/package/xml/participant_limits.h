// The length limits of a participant's fields, one table for the participant elements of the
// package description and for the subject objects hosts fill.
#pragma once

#include <cstdint>
#include <string_view>

namespace lyr::xml {

// A field's argument name (as messages show it) and its length range in characters; a range of
// one length is an exact length.
struct FieldLimit {
  std::string_view name;
  int64_t minimum;
  int64_t maximum;
};

namespace limits {

inline constexpr FieldLimit kIdentifier{"Identifier", 1, 46};
inline constexpr FieldLimit kTaxOfficeCode{"Identifier", 4, 4};
inline constexpr FieldLimit kSpecialOperatorId{"Identifier", 3, 3};
inline constexpr FieldLimit kEmail{"Email", 0, 255};
inline constexpr FieldLimit kOrganisationName{"Name", 1, 1000};
inline constexpr FieldLimit kOrganisationInn{"Inn", 10, 10};
inline constexpr FieldLimit kKpp{"Kpp", 9, 9};
inline constexpr FieldLimit kPersonInn{"Inn", 12, 12};
inline constexpr FieldLimit kLastName{"LName", 1, 60};
inline constexpr FieldLimit kFirstName{"FName", 1, 60};
inline constexpr FieldLimit kMiddleName{"MName", 0, 60};

}  // namespace limits

// Checks value against limit: an exact length as CValueCheckTool::CheckLength (an empty value
// fails with "Передан пустой аргумент: %s"), a range as CValueCheckTool::CheckLengthInRange.
void CheckField(std::string_view value, const FieldLimit& limit);
// As CheckField, but an empty value always passes (a field the element may leave out).
void CheckOptionalField(std::string_view value, const FieldLimit& limit);

}  // namespace lyr::xml
