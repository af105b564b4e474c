// The type library table by its invariants: DISPIDs, property pairs and enumeration values. The
// slot order of every interface is the published header's, which type_library_texts_test keeps
// equal to the table's.
#include "automation/type_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace lyr::automation {
namespace {

const TypeLibrary& Library() {
  return LyrTdxPackage880Library();
}

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

// A DISPID names one method or one property (whose put, when it has one, follows its get).
TEST(TypeLibrary, DispidsNameOneMemberAndPutsHaveTheirGets) {
  for (const TypeDescription& type : Library().types) {
    std::set<DISPID> methods;
    std::set<DISPID> gets;
    for (const Member& member : type.members) {
      if (member.kind == MemberKind::Method) {
        EXPECT_TRUE(methods.insert(member.dispid).second) << type.name << " " << member.name;
        EXPECT_EQ(gets.count(member.dispid), 0U) << type.name << " " << member.name;
      } else if (member.kind == MemberKind::Get) {
        EXPECT_TRUE(gets.insert(member.dispid).second) << type.name << " " << member.name;
        EXPECT_EQ(methods.count(member.dispid), 0U) << type.name << " " << member.name;
      } else {
        EXPECT_EQ(gets.count(member.dispid), 1U) << type.name << " " << member.name;
      }
    }
  }
}

}  // namespace
}  // namespace lyr::automation
