// The type library table by its invariants; type information of every type by index and name,
// enumerations with their values, classes with their default interface, refusals.
#include "automation/type_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "automation/type_library.h"
#include "server_host.h"

namespace lyr::automation {
namespace {

using host::Ref;
using host::TakeBstr;

// Own members start at 201 (derived at 301); a DISPID names one method or one get (and its put).
TEST(TypeLibrary, DispidsStartAt201Or301AndNameOneMember) {
  for (const TypeDescription& type : LyrTdxPackage880Library().types) {
    std::set<DISPID> methods;
    std::set<DISPID> gets;
    DISPID lowest = type.members.empty() ? 0 : type.members[0].dispid;
    for (const Member& member : type.members) {
      SCOPED_TRACE(std::string(type.name) + " " + std::string(member.name));
      lowest = std::min(lowest, member.dispid);
      if (member.kind == MemberKind::Method) {
        EXPECT_TRUE(methods.insert(member.dispid).second);
        EXPECT_EQ(gets.count(member.dispid), 0U);
      } else if (member.kind == MemberKind::Get) {
        EXPECT_TRUE(gets.insert(member.dispid).second);
        EXPECT_EQ(methods.count(member.dispid), 0U);
      } else {
        EXPECT_EQ(gets.count(member.dispid), 1U);
      }
    }
    if (type.kind == TypeKind::Interface && !type.members.empty()) {
      EXPECT_EQ(lowest, type.parent < 0 ? 201 : 301) << type.name;
    }
  }
}

TEST(TypeInfo, EveryTypeResolvesByIndexAndName) {
  const TypeLibrary& library = LyrTdxPackage880Library();
  for (std::size_t t = 0; t < library.types.size(); ++t) {
    const TypeDescription& type = library.types[t];
    SCOPED_TRACE(std::string(type.name));
    Ref<ITypeInfo> created, info;
    ASSERT_EQ(CreateTypeInfo(t, created.Out()), S_OK);
    ASSERT_EQ(created->QueryInterface(IID_ITypeInfo, info.OutVoid()), S_OK);
    created.Reset();  // the reference QueryInterface added keeps the object alive
    BSTR name = nullptr;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(TakeBstr(name), std::u16string(type.name.begin(), type.name.end()));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(attr->guid == type.guid);
    if (type.kind == TypeKind::Interface) {  // its members are walked by the host tests
      FUNCDESC* none = nullptr;
      EXPECT_EQ(info->GetFuncDesc(attr->cFuncs, &none), TYPE_E_ELEMENTNOTFOUND);
      EXPECT_EQ(info->GetDocumentation(-12345, nullptr, nullptr, nullptr, nullptr),
                TYPE_E_ELEMENTNOTFOUND);
    } else if (type.kind == TypeKind::Enumeration) {
      ASSERT_EQ(attr->cVars, type.values.size());
      VARDESC* var = nullptr;
      EXPECT_EQ(info->GetVarDesc(attr->cVars, &var), TYPE_E_ELEMENTNOTFOUND);
      for (UINT i = 0; i < attr->cVars; ++i) {
        UINT count = 0;
        ASSERT_EQ(info->GetVarDesc(i, &var), S_OK);
        const auto& value = type.values[i];
        EXPECT_EQ(var->lpvarValue->lVal, value.value);
        info->ReleaseVarDesc(var);
        ASSERT_EQ(info->GetNames(static_cast<MEMBERID>(i), &name, 1, &count), S_OK);
        EXPECT_EQ(TakeBstr(name), std::u16string(value.name.begin(), value.name.end()));
      }
    } else {  // a class: its one default interface
      HREFTYPE reference = 0;
      INT flags = 0;
      ASSERT_EQ(info->GetRefTypeOfImplType(0, &reference), S_OK);
      ASSERT_EQ(info->GetImplTypeFlags(0, &flags), S_OK);
      EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
      EXPECT_EQ(info->GetRefTypeOfImplType(1, &reference), TYPE_E_ELEMENTNOTFOUND);
      Ref<ITypeInfo> target;
      ASSERT_EQ(info->GetRefTypeInfo(reference, target.Out()), S_OK);
      TYPEATTR* target_attr = nullptr;
      ASSERT_EQ(target->GetTypeAttr(&target_attr), S_OK);
      EXPECT_EQ(target_attr->typekind, TKIND_DISPATCH);
      target->ReleaseTypeAttr(target_attr);
    }
    info->ReleaseTypeAttr(attr);
  }
}

TEST(TypeInfo, RefusesNullPointersUnknownTypesAndForeignInterfaces) {
  ITypeInfo* info = nullptr;
  EXPECT_EQ(CreateTypeInfo(LyrTdxPackage880Library().types.size(), &info), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(info, nullptr);
  EXPECT_EQ(CreateTypeInfo(0, nullptr), E_POINTER);
  Ref<ITypeInfo> ref;
  ASSERT_EQ(CreateTypeInfo(0, ref.Out()), S_OK);
  void* other = &ref;
  EXPECT_EQ(ref->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(ref->QueryInterface(IID_ITypeInfo, nullptr), E_POINTER);
  EXPECT_EQ(ref->GetTypeAttr(nullptr), E_POINTER);
  EXPECT_EQ(ref->GetFuncDesc(0, nullptr), E_POINTER);
  EXPECT_EQ(ref->GetVarDesc(0, nullptr), E_POINTER);
  EXPECT_EQ(ref->GetNames(0, nullptr, 0, nullptr), E_POINTER);
  EXPECT_EQ(ref->GetRefTypeInfo(0, nullptr), E_POINTER);
  ITypeInfo* none = nullptr;
  EXPECT_EQ(ref->GetRefTypeInfo(0xFFFF, &none), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(ref->Invoke(nullptr, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
            E_INVALIDARG);
}

}  // namespace
}  // namespace lyr::automation
