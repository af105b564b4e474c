// The type library table by its invariants: DISPIDs and property pairs. The
// slot order of every interface is the published header's, which type_library_texts_test keeps
// equal to the table's.
#include "automation/type_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace lyr::automation {
namespace {

const TypeLibrary& Library() {
  return LyrTdxPackage880Library();
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
