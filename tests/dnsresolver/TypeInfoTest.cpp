// The DNS object's type information, read back the way a late-bound caller that browses a type library
// reads it: the object by ProgID, its type information, the attributes, every function with its names and
// help strings, then names and calls through the type information itself.
#include "dnsresolver/KelvorinDnsInterface.h"
#include "tests/dnsresolver/Harness.h"

#include <gtest/gtest.h>

using namespace com;
using namespace dnstest;

namespace {

std::string TakeText(BSTR text) {
    std::string out = Utf8FromBstr(text);
    SysFreeString(text);
    return out;
}

ITypeInfo* TypeInfoOf(LateBound& dns) {
    uint32_t count = 0;
    EXPECT_EQ(dns.dispatch()->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(dns.dispatch()->GetTypeInfo(0, 0, &info), S_OK);
    return info;
}

std::string TypeName(VARTYPE vt) {
    switch (vt) {
    case VT_BSTR:
        return "BSTR";
    case VT_I4:
        return "long";
    case VT_VOID:
        return "void";
    default:
        return "vt" + std::to_string(vt);
    }
}

// One function as a browser would list it: "<kind> <name>(<type> <param>, ...) -> <type> #<dispid>
// slot <n> [<help>]", the slot counted from 1 after the seven IDispatch slots.
std::string Describe(ITypeInfo* info, uint32_t index) {
    FUNCDESC* f = nullptr;
    if (info->GetFuncDesc(index, &f) != S_OK || !f)
        return "no function " + std::to_string(index);
    BSTR names[8] = {};
    uint32_t named = 0;
    EXPECT_EQ(info->GetNames(f->memid, names, 8, &named), S_OK);
    std::string line = f->invkind == INVOKE_FUNC          ? "method "
                       : f->invkind == INVOKE_PROPERTYGET ? "get "
                       : f->invkind == INVOKE_PROPERTYPUT ? "put "
                                                          : "kind" + std::to_string(f->invkind) + " ";
    line += named > 0 ? Utf8FromBstr(names[0]) : "?";
    line += "(";
    for (int16_t p = 0; p < f->cParams; ++p) {
        const ELEMDESC& e = f->lprgelemdescParam[p];
        line += (p ? ", " : "") + TypeName(e.tdesc.vt);
        if (static_cast<uint32_t>(p) + 1 < named)
            line += " " + Utf8FromBstr(names[p + 1]);
        EXPECT_EQ(e.paramdesc.wParamFlags, PARAMFLAG_FIN) << line;
    }
    line += ") -> " + TypeName(f->elemdescFunc.tdesc.vt) + " #" + std::to_string(f->memid);
    line += " slot " + std::to_string(f->oVft / static_cast<int>(sizeof(void*)) - 6);
    EXPECT_EQ(f->funckind, FUNC_DISPATCH) << line;
    EXPECT_EQ(f->cParamsOpt, 0) << line;
    for (uint32_t i = 0; i < named; ++i)
        SysFreeString(names[i]);
    BSTR name = nullptr, doc = nullptr;
    EXPECT_EQ(info->GetDocumentation(f->memid, &name, &doc, nullptr, nullptr), S_OK);
    line += " " + TakeText(name) + " [" + TakeText(doc) + "]";
    info->ReleaseFuncDesc(f);
    return line;
}

// A call through the type information, arguments in declared order.
HRESULT CallThrough(ITypeInfo* info, IDispatch* object, MEMBERID id, uint16_t flags,
                    std::vector<Variant> args, Variant* result, uint32_t* argErr = nullptr) {
    DispatchArguments params(args, flags);
    *result = Variant(); // the call writes the variant without freeing what it held
    return info->Invoke(object, id, flags, params.get(), &result->get(), nullptr, argErr);
}

} // namespace

TEST(DnsTypeInfo, BrowsingListsEveryMemberOfTheInterface) {
    LateBound dns = CreateDns();
    ASSERT_TRUE(dns.valid());
    ITypeInfo* info = TypeInfoOf(dns);
    ASSERT_NE(info, nullptr);

    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->guid, trivex::IID_IKelvorinDNS);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->cVars, 0);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->memidConstructor, MEMBERID_NIL);
    EXPECT_EQ(attr->memidDestructor, MEMBERID_NIL);
    EXPECT_EQ(attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE),
              TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE);
    const uint16_t functions = attr->cFuncs;
    info->ReleaseTypeAttr(attr);

    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_EQ(TakeText(name), "IKelvorinDNS");
    EXPECT_EQ(TakeText(doc), "IKelvorinDNS Interface");

    const std::vector<std::string> expected = {
        "method GetIPFromName(BSTR strHostName) -> BSTR #1 slot 1 GetIPFromName [method GetIPFromName]",
        "method GetNameFromIP(BSTR strIP) -> BSTR #2 slot 2 GetNameFromIP [method GetNameFromIP]",
        "get Timeout() -> long #3 slot 3 Timeout [property Timeout]",
        "put Timeout(long) -> void #3 slot 4 Timeout [property Timeout]",
        "method Whois(BSTR strDomain) -> BSTR #4 slot 5 Whois [method Whois]",
        "method MXLookup(BSTR strDNSServer, BSTR strDomain) -> long #6 slot 6 MXLookup [method MXLookup]",
        "method MXServerList(long nIndex) -> BSTR #7 slot 7 MXServerList [method MXServerList]",
        "get WhoisServer() -> BSTR #8 slot 8 WhoisServer [property WhoisServer]",
        "put WhoisServer(BSTR) -> void #8 slot 9 WhoisServer [property WhoisServer]",
        "method GetSystemError() -> long #10 slot 10 GetSystemError [method GetSystemError]",
        "get Version() -> BSTR #12 slot 11 Version [property Version]",
    };
    std::vector<std::string> listed;
    for (uint32_t i = 0; i < functions; ++i)
        listed.push_back(Describe(info, i));
    EXPECT_EQ(listed, expected);

    // Past the end, and members that do not exist.
    FUNCDESC* none = reinterpret_cast<FUNCDESC*>(1);
    EXPECT_EQ(info->GetFuncDesc(functions, &none), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(none, nullptr);
    BSTR names[2] = {};
    uint32_t named = 7;
    EXPECT_EQ(info->GetNames(5, names, 2, &named), TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(named, 0u);
    EXPECT_EQ(info->GetDocumentation(99, &name, nullptr, nullptr, nullptr), TYPE_E_ELEMENTNOTFOUND);
    // A short name array gets what fits.
    ASSERT_EQ(info->GetNames(6, names, 2, &named), S_OK);
    EXPECT_EQ(named, 2u);
    EXPECT_EQ(TakeText(names[0]), "MXLookup");
    EXPECT_EQ(TakeText(names[1]), "strDNSServer");
    info->Release();

    ITypeInfo* second = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(dns.dispatch()->GetTypeInfo(1, 0, &second), DISP_E_BADINDEX);
    EXPECT_EQ(second, nullptr);
}

TEST(DnsTypeInfo, NamesAndCallsGoThroughTheTypeInformation) {
    LateBound dns = CreateDns();
    ITypeInfo* info = TypeInfoOf(dns);
    ASSERT_NE(info, nullptr);

    std::u16string member = u"mxlookup", param = u"STRDOMAIN";
    char16_t* names[] = {member.data(), param.data()};
    MEMBERID ids[2] = {};
    EXPECT_EQ(info->GetIDsOfNames(names, 2, ids), S_OK);
    EXPECT_EQ(ids[0], 6);
    EXPECT_EQ(ids[1], 1);

    // The calls reach the object: what one puts, the object's own IDispatch reads back, and the reverse.
    Variant result;
    EXPECT_EQ(CallThrough(info, dns.dispatch(), 3, DISPATCH_PROPERTYPUT, {Variant::Long(12)}, &result), S_OK);
    EXPECT_EQ(NumberProperty(dns, u"Timeout"), 12);
    EXPECT_EQ(dns.Put(u"WhoisServer", Variant::String("whois.example.test")), S_OK);
    EXPECT_EQ(CallThrough(info, dns.dispatch(), 8, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.type(), VT_BSTR);
    EXPECT_EQ(result.toUtf8(), "whois.example.test");
    EXPECT_EQ(CallThrough(info, dns.dispatch(), 7, DISPATCH_METHOD, {Variant::String("3")}, &result), S_OK);
    EXPECT_EQ(result.toUtf8(), "[ERROR] Invalid Parameter.");
    EXPECT_EQ(CallThrough(info, dns.dispatch(), 10, DISPATCH_METHOD, {}, &result), S_OK);
    EXPECT_EQ(result.type(), VT_I4);
    EXPECT_EQ(result.toLong(), 87);
    EXPECT_EQ(CallThrough(info, dns.dispatch(), 12, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, &result),
              S_OK);
    EXPECT_EQ(result.toUtf8(), "1, 0, 0, 1");

    // The same checks as the object's own Invoke.
    uint32_t argErr = 99;
    EXPECT_EQ(CallThrough(info, dns.dispatch(), 6, DISPATCH_METHOD,
                          {Variant::String("127.0.0.1"), Variant::String("x")}, &result, &argErr),
              S_OK);
    EXPECT_EQ(CallThrough(info, dns.dispatch(), 6, DISPATCH_METHOD, {Variant::String("a")}, &result),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(CallThrough(info, dns.dispatch(), 7, DISPATCH_METHOD, {Variant::String("x")}, &result, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
    EXPECT_EQ(CallThrough(info, dns.dispatch(), 12, DISPATCH_PROPERTYPUT, {Variant::Long(1)}, &result),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(CallThrough(info, dns.dispatch(), 5, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(CallThrough(info, nullptr, 10, DISPATCH_METHOD, {}, &result), E_INVALIDARG);
    info->Release();
}

TEST(DnsTypeInfo, SlotsAreInTheOrderCallersOfOtherLanguagesIndex) {
    LateBound dns = CreateDns();
    ITypeInfo* info = TypeInfoOf(dns);
    ASSERT_NE(info, nullptr);
    // A caller without our header finds the functions by their position in the table.
    void** slots = *reinterpret_cast<void***>(info);
    using GetTypeAttrFn = HRESULT (*)(void*, TYPEATTR**);
    using ReleaseTypeAttrFn = void (*)(void*, TYPEATTR*);
    using GetFuncDescFn = HRESULT (*)(void*, uint32_t, FUNCDESC**);
    using ReleaseFuncDescFn = void (*)(void*, FUNCDESC*);
    using GetDocumentationFn = HRESULT (*)(void*, MEMBERID, BSTR*, BSTR*, uint32_t*, BSTR*);
    using OutPointerFn = HRESULT (*)(void*, void**);
    using ContainingLibFn = HRESULT (*)(void*, void**, uint32_t*);

    TYPEATTR* attr = nullptr;
    ASSERT_EQ(reinterpret_cast<GetTypeAttrFn>(slots[3])(info, &attr), S_OK);
    EXPECT_EQ(attr->guid, trivex::IID_IKelvorinDNS);
    reinterpret_cast<ReleaseTypeAttrFn>(slots[19])(info, attr);
    FUNCDESC* f = nullptr;
    ASSERT_EQ(reinterpret_cast<GetFuncDescFn>(slots[5])(info, 5, &f), S_OK);
    EXPECT_EQ(f->memid, 6);
    EXPECT_EQ(f->cParams, 2);
    reinterpret_cast<ReleaseFuncDescFn>(slots[20])(info, f);
    BSTR name = nullptr;
    ASSERT_EQ(reinterpret_cast<GetDocumentationFn>(slots[12])(info, 12, &name, nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(TakeText(name), "Version");
    // What a browser does not need answers "not implemented" and leaves nothing behind.
    void* comp = reinterpret_cast<void*>(1);
    EXPECT_EQ(reinterpret_cast<OutPointerFn>(slots[4])(info, &comp), E_NOTIMPL);
    EXPECT_EQ(comp, nullptr);
    void* lib = reinterpret_cast<void*>(1);
    uint32_t index = 0;
    EXPECT_EQ(reinterpret_cast<ContainingLibFn>(slots[18])(info, &lib, &index), E_NOTIMPL);
    EXPECT_EQ(lib, nullptr);
    ITypeInfo* same = nullptr;
    ASSERT_EQ(info->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&same)), S_OK);
    EXPECT_EQ(same, info);
    same->Release();
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(info->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    info->Release();
}

TEST(DnsTypeInfo, TypeInformationOutlivesItsObjectAndKeepsTheModuleLoaded) {
    auto canUnload = Export<DllCanUnloadNowFn>("DllCanUnloadNow");
    ASSERT_NE(canUnload, nullptr);
    ITypeInfo* info = nullptr;
    {
        LateBound dns = CreateDns();
        info = TypeInfoOf(dns);
        ASSERT_NE(info, nullptr);
        // Each request hands out a reference of its own.
        ITypeInfo* again = TypeInfoOf(dns);
        EXPECT_EQ(again, info);
        again->Release();
    }
    EXPECT_EQ(canUnload(), S_FALSE);
    BSTR name = nullptr;
    EXPECT_EQ(info->GetDocumentation(3, &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(TakeText(name), "Timeout");
    EXPECT_EQ(info->AddRef(), 2u);
    EXPECT_EQ(info->Release(), 1u);
    EXPECT_EQ(info->Release(), 0u);
    EXPECT_EQ(canUnload(), S_OK);
}
