// Every member of every object a host can reach, found through the objects' own type information
// and called by name as a late-binding host calls it, with neutral arguments of the types given
// there: each resolves to its DISPID and answers S_OK or DISP_E_EXCEPTION with a description.
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "automation/server_host.h"

namespace lyr::automation::host {
namespace {

using test::Shown;
using test::TakeBstr;

VARIANT Neutral(const TYPEDESC& type) {
  VARIANT value;
  ::VariantInit(&value);
  switch (type.vt) {
    case VT_BSTR:
      value.vt = VT_BSTR;
      value.bstrVal = ::SysAllocString(u"");
      break;
    case VT_BOOL:
      value.vt = VT_BOOL;
      value.boolVal = VARIANT_FALSE;
      break;
    case VT_PTR:  // an object: none given
      value.vt = VT_DISPATCH;
      value.pdispVal = nullptr;
      break;
    default:  // VT_I4 and enumerations
      value.vt = VT_I4;
      value.lVal = 0;
  }
  return value;
}

WORD FlagsOf(INVOKEKIND kind) {
  return kind == INVOKE_PROPERTYGET   ? DISPATCH_PROPERTYGET
         : kind == INVOKE_PROPERTYPUT ? DISPATCH_PROPERTYPUT
                                      : DISPATCH_METHOD;
}

class EveryMember : public ServerHost {
 protected:
  // Calls every member of the object's interface, then walks the objects the calls returned.
  void Walk(IDispatch* object) {
    Ref<ITypeInfo> info;
    ASSERT_EQ(object->GetTypeInfo(0, 0x0409, info.Out()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    const WORD count = attr->cFuncs;
    const bool first_visit =
        visited_.insert(std::string(reinterpret_cast<const char*>(&attr->guid), sizeof(GUID)))
            .second;
    info->ReleaseTypeAttr(attr);
    for (WORD i = 0; first_visit && i < count; ++i) {
      FUNCDESC* desc = nullptr;
      ASSERT_EQ(info->GetFuncDesc(i, &desc), S_OK);
      const Var result = Invoke(object, info.get(), *desc);
      info->ReleaseFuncDesc(desc);
      if (result.Object() != nullptr) {
        Walk(result.Object());
      }
    }
  }

  Var Invoke(IDispatch* object, ITypeInfo* info, const FUNCDESC& desc) {
    BSTR bstr = nullptr;
    UINT names = 0;
    EXPECT_EQ(info->GetNames(desc.memid, &bstr, 1, &names), S_OK);
    std::u16string name = TakeBstr(bstr);
    LPOLESTR asked[] = {name.data()};
    DISPID id = 0;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, asked, 1, 0x0409, &id), S_OK) << Shown(name);
    EXPECT_EQ(id, desc.memid) << Shown(name);
    std::vector<VARIANT> args;
    for (SHORT k = desc.cParams; k-- > 0;) {
      args.push_back(Neutral(desc.lprgelemdescParam[k].tdesc));
    }
    const WORD flags = FlagsOf(desc.invkind);
    DISPID put = DISPID_PROPERTYPUT;
    const bool is_put = flags == DISPATCH_PROPERTYPUT;
    DISPPARAMS params{args.data(), is_put ? &put : nullptr, static_cast<UINT>(args.size()),
                      is_put ? 1u : 0u};
    Var result;
    EXCEPINFO exception{};
    const HRESULT hr =
        object->Invoke(id, IID_NULL, 0x0409, flags, &params, &result.v, &exception, nullptr);
    const std::u16string description = TakeBstr(exception.bstrDescription);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrHelpFile);
    if (hr == DISP_E_EXCEPTION) {
      EXPECT_FALSE(description.empty()) << Shown(name);
    } else {
      EXPECT_EQ(hr, S_OK) << Shown(name);
    }
    for (VARIANT& arg : args) {
      ::VariantClear(&arg);
    }
    ++calls_;
    return result;
  }

  std::set<std::string> visited_;
  int calls_ = 0;
};

TEST_F(EveryMember, AnswersByNameWithSuccessOrADescribedError) {
  ASSERT_EQ(Tool("container new walker --subject CN=Walker --self-signed -o " + Quote(PathOf("k"))),
            0);
  Ref<IDispatch> package, crypt, manager;
  Create(u"LyrTdxPackage880.Tdx880Package", IID_IDispatch, package);
  Create(u"LyrTdxPackage880.Tdx880Crypt", IID_IDispatch, crypt);
  Create(u"LyrTdxPackage880.Tdx880Manager", IID_IDispatch, manager);
  // A package holding a signed document, so that its items and signatures are reached too.
  EXPECT_TRUE(Call(crypt.get(), u"Init").Bool());
  const Var key = Call(crypt.get(), u"GetPrivateKey", {Var(LONG{0})});
  EXPECT_TRUE(Call(package.get(), u"New", {Var(u"01"), Var(u"01")}).Bool());
  const Var file =
      Call(package.get(), u"AddFile", {Var(u"10"), Var(u"xml"), Var(u"a.xml"), Var(u"<a/>")});
  EXPECT_TRUE(Call(package.get(), u"SignFile", {Var(u"a.xml"), Var(key.Object())}).Bool());
  const Var signature = Call(package.get(), u"GetFileSignature", {Var(LONG{0}), Var(LONG{0})});
  for (IDispatch* object : {signature.Object(), file.Object(), key.Object(), package.get(),
                            crypt.get(), manager.get()}) {
    ASSERT_NE(object, nullptr);
    Ref<IDispatch> safe;
    ASSERT_EQ(object->QueryInterface(IID_ITdx880Safe, safe.OutVoid()), S_OK);
    Walk(safe.get());
    Walk(object);
  }
  EXPECT_GE(visited_.size(), 13U);
  EXPECT_GE(calls_, 150);
}

// The entry points a host calls by name: a registry that cannot be written or read is a failure,
// never reported as success; class objects only of the server's classes.
TEST_F(EveryMember, EntryPointsReportFailures) {
  IClassFactory* factory = nullptr;
  using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
  const auto get = reinterpret_cast<GetClassObject>(::dlsym(server_, "DllGetClassObject"));
  EXPECT_EQ(get(IID_ITdx880Package, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(get(CLSID_Tdx880Package, IID_IClassFactory, nullptr), E_POINTER);
  const std::string registry = ::getenv("LYRCOM_REGISTRY");
  std::ofstream(Home() / "file") << "x";
  ::setenv("LYRCOM_REGISTRY", (Home() / "file" / "registry").c_str(), 1);
  EXPECT_EQ(Entry("DllRegisterServer")(), E_FAIL);
  EXPECT_EQ(Entry("DllUnregisterServer")(), E_FAIL);
  ::setenv("LYRCOM_REGISTRY", registry.c_str(), 1);
  EXPECT_EQ(Entry("DllUnregisterServer")(), S_OK);
  CLSID clsid{};
  EXPECT_NE(::CLSIDFromProgID(u"LyrTdxPackage880.Tdx880Package", &clsid), S_OK);
}

}  // namespace
}  // namespace lyr::automation::host
