// Type libraries (file, registration, names and argument checks) and creation through the registry.
#include "com/TypeLib.h"
#include "com/Creation.h"

#include <QDir>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

using namespace com;

namespace {
TypeLibDesc Sample() {
    TypeLibDesc d;
    d.name = "SampleLib";
    d.libid = *ParseGuid("{AAAAAAAA-0000-0000-0000-000000000001}");
    d.help = "Sample 1.0 Type Library";
    d.coclassName = "Sample";
    d.clsid = *ParseGuid("{AAAAAAAA-0000-0000-0000-000000000002}");
    d.coclassHelp = "Sample Object";
    d.interfaceName = "ISample";
    d.iid = *ParseGuid("{AAAAAAAA-0000-0000-0000-000000000003}");
    d.interfaceHelp = "ISample Interface";
    d.members = {
        {"Lookup",
         6,
         MemberKind::Method,
         {{"strServer", VT_BSTR, false}, {"strDomain", VT_BSTR, false}, {"nCount", VT_I4, true}},
         "method Lookup"},
        {"Item", 7, MemberKind::Method, {{"nIndex", VT_I4, false}, {"Server", VT_BSTR, true}}, "method Item"},
        {"Timeout", 3, MemberKind::PropertyGet, {{"pVal", VT_I4, true}}, "property Timeout"},
        {"Timeout", 3, MemberKind::PropertyPut, {{"", VT_I4, false}}, "property Timeout"},
    };
    return d;
}

VARIANT Long(LONG n) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}

VARIANT Text(const char* s) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = BstrFromUtf8(s);
    return v;
}
} // namespace

TEST(ComTypeLib, DescriptionSurvivesItsFileAndBrokenFilesAreRefused) {
    const TypeLibDesc lib = Sample();
    const std::string text = SerializeTypeLib(lib);
    std::optional<TypeLibDesc> back = ParseTypeLib(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(SerializeTypeLib(*back), text);
    ASSERT_EQ(back->members.size(), 4u);
    EXPECT_EQ(back->members[0].InCount(), 2u);
    EXPECT_EQ(back->members[0].Retval()->vt, VT_I4);
    EXPECT_EQ(back->members[3].params[0].name, "");

    std::string noLibrary = text.substr(0, text.find("library")) + text.substr(text.find("coclass"));
    for (const std::string& bad :
         {std::string(), std::string("VELANTO-TYPELIB 1\n"), noLibrary,
          text + "member\tX\tnot-a-number\tm\thelp\t\n", text + "member\tX\t1\tz\thelp\t\n",
          text + "member\tX\t1\tm\thelp\tname:3\n", text + "oops\n"})
        EXPECT_FALSE(ParseTypeLib(bad)) << bad;
}

TEST(ComTypeLib, NamesAreFoundInAnyCaseWithTheirParameters) {
    const TypeLibDesc lib = Sample();
    std::u16string n0 = u"lOoKuP", n1 = u"STRDOMAIN", n2 = u"strServer", n3 = u"missing";
    char16_t* names[] = {n0.data(), n1.data(), n2.data(), n3.data()};
    DISPID ids[4];
    EXPECT_EQ(GetIDsOfNamesFrom(lib, names, 3, ids), S_OK);
    EXPECT_EQ(ids[0], 6);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[2], 0);
    EXPECT_EQ(GetIDsOfNamesFrom(lib, names, 4, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[3], DISPID_UNKNOWN);
    char16_t* unknown[] = {n3.data()};
    EXPECT_EQ(GetIDsOfNamesFrom(lib, unknown, 1, ids), DISP_E_UNKNOWNNAME);
    char16_t* none[] = {nullptr};
    EXPECT_EQ(GetIDsOfNamesFrom(lib, none, 1, ids), DISP_E_UNKNOWNNAME);
}

TEST(ComTypeLib, InvokeChecksCountTypesAndNames) {
    const TypeLibDesc lib = Sample();
    // Arguments travel last first.
    VARIANT lookupArgs[] = {Text("example.test"), Text("127.0.0.1")};
    VARIANT badType[] = {Text("example.test"), Long(5)};
    VARIANT one[] = {Long(2)};
    VARIANT notANumber[] = {Text("two")};
    DISPID putName = DISPID_PROPERTYPUT;
    DISPID wrongName = 5;
    DISPID swapped[] = {1, 0};

    struct Case {
        const char* what;
        DISPID id;
        uint16_t flags;
        DISPPARAMS params;
        HRESULT hr;
        uint32_t argErr;
    } cases[] = {
        {"two texts", 6, DISPATCH_METHOD, {lookupArgs, nullptr, 2, 0}, S_OK, 0},
        {"a number where a text belongs converts", 6, DISPATCH_METHOD, {badType, nullptr, 2, 0}, S_OK, 0},
        {"too few", 6, DISPATCH_METHOD, {one, nullptr, 1, 0}, DISP_E_BADPARAMCOUNT, 0},
        {"too many", 7, DISPATCH_METHOD, {lookupArgs, nullptr, 2, 0}, DISP_E_BADPARAMCOUNT, 0},
        {"text that is no number", 7, DISPATCH_METHOD, {notANumber, nullptr, 1, 0}, DISP_E_TYPEMISMATCH, 0},
        {"get called as a method", 3, DISPATCH_METHOD, {nullptr, nullptr, 0, 0}, DISP_E_MEMBERNOTFOUND, 0},
        {"unknown dispid", 42, DISPATCH_METHOD, {nullptr, nullptr, 0, 0}, DISP_E_MEMBERNOTFOUND, 0},
        {"named put", 3, DISPATCH_PROPERTYPUT, {one, &putName, 1, 1}, S_OK, 0},
        {"positional put", 3, DISPATCH_PROPERTYPUT, {one, nullptr, 1, 0}, S_OK, 0},
        {"put without a value", 3, DISPATCH_PROPERTYPUT, {nullptr, nullptr, 0, 0}, DISP_E_BADPARAMCOUNT, 0},
        {"unknown named argument", 7, DISPATCH_METHOD, {one, &wrongName, 1, 1}, DISP_E_PARAMNOTFOUND, 0},
        {"more names than arguments", 7, DISPATCH_METHOD, {one, &wrongName, 0, 1}, E_INVALIDARG, 0},
        {"named in any order", 6, DISPATCH_METHOD, {lookupArgs, swapped, 2, 2}, S_OK, 0},
    };
    for (Case& c : cases) {
        PreparedCall call;
        uint32_t argErr = 99;
        EXPECT_EQ(PrepareInvoke(lib, c.id, c.flags, &c.params, &call, &argErr), c.hr) << c.what;
        if (c.hr == DISP_E_TYPEMISMATCH) {
            EXPECT_EQ(argErr, c.argErr) << c.what;
        }
    }

    // Converted arguments arrive in declared order with their declared types.
    PreparedCall call;
    DISPPARAMS p{badType, nullptr, 2, 0};
    ASSERT_EQ(PrepareInvoke(lib, 6, DISPATCH_METHOD, &p, &call, nullptr), S_OK);
    ASSERT_EQ(call.args.size(), 2u);
    EXPECT_EQ(Utf8FromBstr(call.args[0].bstrVal), "5");
    EXPECT_EQ(Utf8FromBstr(call.args[1].bstrVal), "example.test");
    PreparedCall named;
    DISPPARAMS q{lookupArgs, swapped, 2, 2}; // rgvarg[0] is parameter 1, rgvarg[1] parameter 0
    ASSERT_EQ(PrepareInvoke(lib, 6, DISPATCH_METHOD, &q, &named, nullptr), S_OK);
    EXPECT_EQ(Utf8FromBstr(named.args[0].bstrVal), "127.0.0.1");
    EXPECT_EQ(Utf8FromBstr(named.args[1].bstrVal), "example.test");

    for (VARIANT* arr : {lookupArgs, badType})
        for (int i = 0; i < 2; ++i)
            VariantClear(&arr[i]);
    VariantClear(&notANumber[0]);
}

TEST(ComTypeLib, RegisteredLibraryLoadsByIdAndVersion) {
    QTemporaryDir dir;
    const std::string registry = QDir(dir.path()).filePath("classes.reg").toStdString();
    TypeLibDesc loaded;
    EXPECT_EQ(LoadRegTypeLib(Sample().libid, 1, 0, &loaded, registry), TYPE_E_LIBNOTREGISTERED);
    ASSERT_EQ(RegisterTypeLib(Sample(), registry), S_OK);
    ASSERT_EQ(LoadRegTypeLib(Sample().libid, 1, 0, &loaded, registry), S_OK);
    EXPECT_EQ(loaded.interfaceName, "ISample");
    EXPECT_EQ(LoadRegTypeLib(Sample().libid, 2, 0, &loaded, registry), TYPE_E_LIBNOTREGISTERED);

    // A damaged library file is reported, never half-read.
    std::optional<Registry> r = ReadRegistry(registry);
    ASSERT_TRUE(r);
    const std::string file = *r->GetValue("TypeLib\\{AAAAAAAA-0000-0000-0000-000000000001}\\1.0\\0\\linux");
    std::ofstream(file) << "VELANTO-TYPELIB 1\nlibrary\tbroken";
    EXPECT_EQ(LoadRegTypeLib(Sample().libid, 1, 0, &loaded, registry), TYPE_E_CANTLOADLIBRARY);
}

TEST(ComCreation, EachMissingLinkHasItsOwnError) {
    QTemporaryDir dir;
    const std::string registry = QDir(dir.path()).filePath("classes.reg").toStdString();
    {
        RegistryTransaction tx(registry);
        ASSERT_TRUE(tx.ok());
        Registry& r = tx.registry();
        r.SetValue("No.Class\\CLSID", "", "{BBBBBBBB-0000-0000-0000-000000000001}");
        r.SetValue("Bad.Guid\\CLSID", "", "not a guid");
        r.SetValue("Missing.Module\\CLSID", "", "{BBBBBBBB-0000-0000-0000-000000000002}");
        r.SetValue("CLSID\\{BBBBBBBB-0000-0000-0000-000000000002}\\InprocServer32", "",
                   "/nonexistent/module.so");
        r.SetValue("Relative.Module\\CLSID", "", "{BBBBBBBB-0000-0000-0000-000000000003}");
        r.SetValue("CLSID\\{BBBBBBBB-0000-0000-0000-000000000003}\\InprocServer32", "", "libc.so.6");
        r.SetValue("Not.Component\\CLSID", "", "{BBBBBBBB-0000-0000-0000-000000000004}");
        r.SetValue("CLSID\\{BBBBBBBB-0000-0000-0000-000000000004}\\InprocServer32", "",
                   "/lib/x86_64-linux-gnu/libc.so.6");
        r.SetValue("Versionless\\CurVer", "", "Missing.Module");
        r.SetValue("Loop.A\\CurVer", "", "Loop.B");
        r.SetValue("Loop.B\\CurVer", "", "Loop.A");
        ASSERT_TRUE(tx.Commit());
    }
    struct Case {
        const char* progId;
        HRESULT hr;
    } cases[] = {
        {"Not.There", CO_E_CLASSSTRING},       {"", CO_E_CLASSSTRING},
        {"Bad.Guid", CO_E_CLASSSTRING},        {"No.Class", REGDB_E_CLASSNOTREG},
        {"Missing.Module", CO_E_DLLNOTFOUND},  {"Relative.Module", CO_E_DLLNOTFOUND},
        {"Versionless", CO_E_DLLNOTFOUND},     {"Loop.A", CO_E_CLASSSTRING},
        {"No.Class\\CLSID", CO_E_CLASSSTRING},
    };
    for (const Case& c : cases) {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(CreateObjectByProgID(c.progId, IID_IDispatch, &object, registry), c.hr) << c.progId;
        EXPECT_EQ(object, nullptr) << c.progId;
    }
    if (LoadModule("/lib/x86_64-linux-gnu/libc.so.6")) {
        void* object = nullptr;
        EXPECT_EQ(CreateObjectByProgID("Not.Component", IID_IDispatch, &object, registry), CO_E_ERRORINDLL);
    }
    EXPECT_EQ(CreateObjectByProgID("Not.There", IID_IDispatch, nullptr, registry), E_POINTER);
}
