// The type information a generic host walks: every member it lists by index must resolve back by
// name and by id to itself, enumerations carry their values, a creatable class leads to its
// default interface, and what is out of range is refused rather than read past the table.
#include "automation/type_info.h"

#include <gtest/gtest.h>

#include <string>

#include "automation/type_library.h"
#include "rtl/text.h"

namespace lyr::automation {
namespace {

struct TypeInfoRef {
  ITypeInfo* info = nullptr;
  ~TypeInfoRef() {
    if (info != nullptr) {
      info->Release();
    }
  }
};

std::string TakeName(BSTR name) {
  std::string text = rtl::Utf16ToAnsi(std::u16string_view(name, ::SysStringLen(name)));
  ::SysFreeString(name);
  return text;
}

void CheckInterface(ITypeInfo* info, const TYPEATTR& attr) {
  EXPECT_GT(attr.cFuncs, 0U);
  for (UINT i = 0; i < attr.cFuncs; ++i) {
    FUNCDESC* func = nullptr;
    ASSERT_EQ(info->GetFuncDesc(i, &func), S_OK);
    const MEMBERID memid = func->memid;
    info->ReleaseFuncDesc(func);
    BSTR names[8] = {};
    UINT count = 0;
    ASSERT_EQ(info->GetNames(memid, names, 8, &count), S_OK);
    ASSERT_GE(count, 1U);
    std::u16string first(names[0], ::SysStringLen(names[0]));
    for (UINT k = 1; k < count; ++k) {
      ::SysFreeString(names[k]);
    }
    BSTR documented = nullptr;
    ASSERT_EQ(info->GetDocumentation(memid, &documented, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(TakeName(documented), TakeName(names[0]));
    LPOLESTR wanted = first.data();
    MEMBERID found = 0;
    ASSERT_EQ(info->GetIDsOfNames(&wanted, 1, &found), S_OK);
    EXPECT_EQ(found, memid);
  }
  FUNCDESC* none = nullptr;
  EXPECT_EQ(info->GetFuncDesc(attr.cFuncs, &none), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(info->GetDocumentation(-12345, nullptr, nullptr, nullptr, nullptr),
            TYPE_E_ELEMENTNOTFOUND);
}

void CheckEnumeration(ITypeInfo* info, const TypeDescription& type, const TYPEATTR& attr) {
  ASSERT_EQ(attr.cVars, type.values.size());
  for (UINT i = 0; i < attr.cVars; ++i) {
    VARDESC* var = nullptr;
    ASSERT_EQ(info->GetVarDesc(i, &var), S_OK);
    EXPECT_EQ(var->lpvarValue->lVal, type.values[i].value);
    info->ReleaseVarDesc(var);
    BSTR name = nullptr;
    UINT count = 0;
    ASSERT_EQ(info->GetNames(static_cast<MEMBERID>(i), &name, 1, &count), S_OK);
    EXPECT_EQ(TakeName(name), std::string(type.values[i].name));
  }
  VARDESC* none = nullptr;
  EXPECT_EQ(info->GetVarDesc(attr.cVars, &none), TYPE_E_ELEMENTNOTFOUND);
}

void CheckCoClass(ITypeInfo* info) {
  HREFTYPE reference = 0;
  INT flags = 0;
  ASSERT_EQ(info->GetRefTypeOfImplType(0, &reference), S_OK);
  ASSERT_EQ(info->GetImplTypeFlags(0, &flags), S_OK);
  EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
  EXPECT_EQ(info->GetRefTypeOfImplType(1, &reference), TYPE_E_ELEMENTNOTFOUND);
  TypeInfoRef target;
  ASSERT_EQ(info->GetRefTypeInfo(reference, &target.info), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(target.info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  target.info->ReleaseTypeAttr(attr);
}

TEST(TypeInfo, EveryTypeResolvesByIndexNameAndId) {
  const TypeLibrary& library = LyrTdxPackage880Library();
  for (std::size_t t = 0; t < library.types.size(); ++t) {
    const TypeDescription& type = library.types[t];
    SCOPED_TRACE(std::string(type.name));
    TypeInfoRef ref;
    ASSERT_EQ(CreateTypeInfo(t, &ref.info), S_OK);
    TypeInfoRef asked;
    ASSERT_EQ(ref.info->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&asked.info)), S_OK);
    ref.info->Release();  // the reference QueryInterface added keeps the object alive
    ref.info = nullptr;
    ITypeInfo* info = asked.info;
    BSTR name = nullptr;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(TakeName(name), std::string(type.name));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(attr->guid == type.guid);
    switch (type.kind) {
      case TypeKind::Interface:
        CheckInterface(info, *attr);
        break;
      case TypeKind::Enumeration:
        CheckEnumeration(info, type, *attr);
        break;
      case TypeKind::CoClass:
        CheckCoClass(info);
        break;
    }
    info->ReleaseTypeAttr(attr);
  }
}

TEST(TypeInfo, RefusesNullPointersUnknownTypesAndForeignInterfaces) {
  ITypeInfo* info = nullptr;
  EXPECT_EQ(CreateTypeInfo(LyrTdxPackage880Library().types.size(), &info), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(info, nullptr);
  EXPECT_EQ(CreateTypeInfo(0, nullptr), E_POINTER);
  TypeInfoRef ref;
  ASSERT_EQ(CreateTypeInfo(0, &ref.info), S_OK);
  void* other = &ref;
  EXPECT_EQ(ref.info->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(ref.info->QueryInterface(IID_ITypeInfo, nullptr), E_POINTER);
  EXPECT_EQ(ref.info->GetTypeAttr(nullptr), E_POINTER);
  EXPECT_EQ(ref.info->GetFuncDesc(0, nullptr), E_POINTER);
  EXPECT_EQ(ref.info->GetVarDesc(0, nullptr), E_POINTER);
  EXPECT_EQ(ref.info->GetNames(0, nullptr, 0, nullptr), E_POINTER);
  EXPECT_EQ(ref.info->GetRefTypeInfo(0, nullptr), E_POINTER);
  ITypeInfo* none = nullptr;
  EXPECT_EQ(ref.info->GetRefTypeInfo(0xFFFF, &none), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(ref.info->Invoke(nullptr, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
            E_INVALIDARG);
}

}  // namespace
}  // namespace lyr::automation
