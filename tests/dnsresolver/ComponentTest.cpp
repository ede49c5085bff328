// The DNS object's frame through the COM layer: registration, creation by ProgID, the simple members and
// the checks of late-bound calls. Nothing here touches the network.
#include "com/Creation.h"
#include "com/Registry.h"
#include "com/TypeLib.h"
#include "com/VersionInfo.h"
#include "tests/dnsresolver/Harness.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace com;
using namespace dnstest;

namespace {
constexpr char kClsid[] = "{D94A2B33-B840-11D1-8042-00AA00336A3E}";
const CLSID kDnsClsid = *ParseGuid(kClsid);
} // namespace

TEST(DnsComponent, NewObjectStartsWithItsDefaults) {
    LateBound dns = CreateDns();
    ASSERT_TRUE(dns.valid());
    EXPECT_EQ(Number(dns, u"GetSystemError"), 0);
    EXPECT_EQ(NumberProperty(dns, u"Timeout"), 30);
    EXPECT_EQ(TextProperty(dns, u"WhoisServer"), "whois.iana.org");
    EXPECT_EQ(TextProperty(dns, u"Version"), "1, 0, 0, 1");
}

TEST(DnsComponent, TimeoutIsStoredInMillisecondsWithoutWrapping) {
    struct Case {
        LONG put;
        LONG get;
    } cases[] = {{1, 1},
                 {0, 0},
                 {45, 45},
                 {-5, -5},
                 // 3,000,000 s does not fit 32-bit milliseconds: clamped, never wrapped to a negative wait.
                 {3000000, 2147483},
                 {-3000000, -2147483}};
    LateBound dns = CreateDns();
    for (const Case& c : cases) {
        EXPECT_EQ(dns.Put(u"Timeout", Variant::Long(c.put)), S_OK);
        EXPECT_EQ(NumberProperty(dns, u"Timeout"), c.get) << c.put;
    }
}

TEST(DnsComponent, WhoisServerTakesAnyTextIncludingEmpty) {
    LateBound dns = CreateDns();
    for (const char* value : {"", "whois.example.test", "127.0.0.1", "hôte.test"}) {
        EXPECT_EQ(dns.Put(u"WhoisServer", Variant::String(value)), S_OK);
        EXPECT_EQ(TextProperty(dns, u"WhoisServer"), value);
    }
    // A missing string counts as empty.
    EXPECT_EQ(dns.Put(u"WhoisServer", Variant::NullString()), S_OK);
    EXPECT_EQ(TextProperty(dns, u"WhoisServer"), "");
}

TEST(DnsComponent, MembersAreFoundByNameInAnyLetterCase) {
    LateBound dns = CreateDns();
    EXPECT_EQ(Number(dns, u"gEtSyStEmErRoR"), 0);
    EXPECT_EQ(NumberProperty(dns, u"TIMEOUT"), 30);
    Variant result;
    EXPECT_EQ(dns.Method(u"GetSystemErrors", {}, &result), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(dns.Method(u"", {}, &result), DISP_E_UNKNOWNNAME);
}

TEST(DnsComponent, WrongArgumentsGiveDispatchErrorsNeverACrash) {
    LateBound dns = CreateDns();
    struct Case {
        const char16_t* member;
        uint16_t flags;
        std::vector<Variant> args;
        HRESULT expected;
        uint32_t argErr;
    } cases[] = {
        {u"MXLookup", DISPATCH_METHOD, {Variant::String("127.0.0.1")}, DISP_E_BADPARAMCOUNT, 0},
        {u"MXServerList", DISPATCH_METHOD, {}, DISP_E_BADPARAMCOUNT, 0},
        {u"GetIPFromName",
         DISPATCH_METHOD,
         {Variant::String("a"), Variant::String("b"), Variant::String("c")},
         DISP_E_BADPARAMCOUNT,
         0},
        {u"MXServerList", DISPATCH_METHOD, {Variant::String("first")}, DISP_E_TYPEMISMATCH, 0},
        {u"MXLookup",
         DISPATCH_METHOD,
         {Variant::String("127.0.0.1"), Variant::Raw([] {
              VARIANT v;
              VariantInit(&v);
              v.vt = VT_DISPATCH;
              return v;
          }())},
         DISP_E_TYPEMISMATCH,
         0},
        {u"Timeout", DISPATCH_PROPERTYPUT, {Variant::String("99999999999")}, DISP_E_OVERFLOW, 0},
        {u"Version", DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND, 0},
        {u"Version", DISPATCH_PROPERTYPUT, {Variant::String("2")}, DISP_E_MEMBERNOTFOUND, 0},
    };
    for (const Case& c : cases) {
        uint32_t argErr = 12345;
        Variant result;
        EXPECT_EQ(dns.Call(c.member, c.flags, c.args, &result, &argErr), c.expected)
            << Utf8FromUtf16(c.member);
        if (c.expected == DISP_E_TYPEMISMATCH) {
            EXPECT_EQ(argErr, c.argErr);
        }
    }
    // Convertible arguments are converted the way script callers expect.
    EXPECT_EQ(Text(dns, u"MXServerList", {Variant::String(" 2 ")}), "[ERROR] Invalid Parameter.");
    EXPECT_EQ(dns.Put(u"Timeout", Variant::String("7")), S_OK);
    EXPECT_EQ(NumberProperty(dns, u"Timeout"), 7);

    // Raw calls with inconsistent parameter blocks are refused.
    char16_t name[] = u"GetIPFromName";
    char16_t* names[] = {name};
    DISPID id = 0;
    ASSERT_EQ(dns.dispatch()->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 1);
    DISPPARAMS broken;
    broken.cArgs = 1; // but no argument array
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(dns.dispatch()->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &broken, &out, nullptr, nullptr),
              E_INVALIDARG);
    EXPECT_EQ(dns.dispatch()->Invoke(99, IID_NULL, 0, DISPATCH_METHOD, &broken, &out, nullptr, nullptr),
              E_INVALIDARG);
    DISPPARAMS empty;
    EXPECT_EQ(dns.dispatch()->Invoke(99, IID_NULL, 0, DISPATCH_METHOD, &empty, &out, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(dns.dispatch()->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, nullptr, &out, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
}

TEST(DnsComponent, ResultListNeedsALookupAndMissingArgumentsAreRefused) {
    LateBound dns = CreateDns();
    // Before any lookup: the error text and 87.
    EXPECT_EQ(Text(dns, u"MXServerList", {Variant::Long(1)}), "[ERROR] Invalid Parameter.");
    EXPECT_EQ(Number(dns, u"GetSystemError"), 87);
    // A missing string: -87 at once; the lookup also resets the last error.
    EXPECT_EQ(Number(dns, u"MXLookup", {Variant::String("127.0.0.1"), Variant::NullString()}), -87);
    EXPECT_EQ(Number(dns, u"GetSystemError"), 0);
    EXPECT_EQ(Number(dns, u"MXLookup", {Variant::NullString(), Variant::String("example.test")}), -87);
    // A host name where an address belongs ends the search before anything is sent.
    EXPECT_EQ(
        Number(dns, u"MXLookup", {Variant::String("dns.example.test"), Variant::String("example.test")}), 0);
    // No server at all: nothing can be asked.
    EXPECT_EQ(Number(dns, u"MXLookup", {Variant::String(" , ,"), Variant::String("example.test")}), -5);
    for (LONG index : {0, 1, -1})
        EXPECT_EQ(Text(dns, u"MXServerList", {Variant::Long(index)}), "[ERROR] Invalid Parameter.");
}

TEST(DnsComponent, ExportsAnswerForTheirClassOnly) {
    EnsureRegistered();
    auto getClassObject = Export<DllGetClassObjectFn>("DllGetClassObject");
    auto canUnload = Export<DllCanUnloadNowFn>("DllCanUnloadNow");
    ASSERT_TRUE(getClassObject && canUnload);

    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(IID_IDispatch, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(getClassObject(kDnsClsid, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(getClassObject(kDnsClsid, IID_IDispatch, &object), E_NOINTERFACE);

    EXPECT_EQ(canUnload(), S_OK);
    {
        LateBound dns = CreateDns();
        EXPECT_EQ(canUnload(), S_FALSE);
    }
    EXPECT_EQ(canUnload(), S_OK);

    IClassFactory* factory = nullptr;
    ASSERT_EQ(getClassObject(kDnsClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    EXPECT_EQ(factory->LockServer(1), S_OK);
    factory->Release();
    EXPECT_EQ(canUnload(), S_FALSE);
    ASSERT_EQ(getClassObject(kDnsClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(factory->LockServer(0), S_OK);
    factory->Release();
    EXPECT_EQ(canUnload(), S_OK);
}

namespace {
// An outer object that counts the references its aggregated part hands to it.
struct Outer final : IUnknown {
    int refs = 1;
    HRESULT QueryInterface(const IID&, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG Release() override { return static_cast<ULONG>(--refs); }
};
} // namespace

TEST(DnsComponent, AggregatedObjectDelegatesToItsOuterObject) {
    EnsureRegistered();
    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(kDnsClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    Outer outer;
    void* object = nullptr;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IDispatch, &object), CLASS_E_NOAGGREGATION);
    IUnknown* inner = nullptr;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    EXPECT_EQ(outer.refs, 2); // the interface's reference belongs to the outer object
    dispatch->Release();
    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(inner->Release(), 0u);
    factory->Release();
    auto canUnload = Export<DllCanUnloadNowFn>("DllCanUnloadNow");
    EXPECT_EQ(canUnload(), S_OK);
}

TEST(DnsComponent, VersionIsReadableFromTheModuleFile) {
    std::optional<FileVersionInfo> info = GetFileVersionInfo(ModulePath());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->fileVersionMS, 0x00010000u);
    EXPECT_EQ(info->fileVersionLS, 0x00000001u);
    EXPECT_EQ(info->productVersionMS, 0x00010000u);
    EXPECT_EQ(info->productVersionLS, 0x00000001u);
    EXPECT_EQ(info->fileType, kFileTypeDll);
    EXPECT_EQ(info->strings["FileVersion"], "1, 0, 0, 1");
    EXPECT_EQ(info->strings["ProductVersion"], "1, 0, 0, 1");
    EXPECT_EQ(info->strings["OriginalFilename"], "trivex.DLL");
    EXPECT_EQ(info->strings["InternalName"], "Kelvorin DNS");
    EXPECT_EQ(info->strings["FileDescription"], "Kelvorin DNS Object");
    // A file without the block has no version.
    EXPECT_FALSE(GetFileVersionInfo(BinDir() + "/velanto-regsvr"));
}

TEST(DnsComponent, DispatchByNameAndTypeInformationNeedTheRegisteredLibrary) {
    EnsureRegistered();
    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(kDnsClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    const std::string saved = std::getenv("XDG_DATA_HOME");
    const std::string empty = saved + "/no-registration";
    ::setenv("XDG_DATA_HOME", empty.c_str(), 1);
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    char16_t name[] = u"Version";
    char16_t* names[] = {name};
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), TYPE_E_LIBNOTREGISTERED);
    uint32_t count = 0;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(dispatch->GetTypeInfo(0, 0, &info), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(info, nullptr);
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    dispatch->Release();
    factory->Release();
}

TEST(DnsComponent, AlteredTypeLibraryIsRefusedNotTrusted) {
    EnsureRegistered();
    std::optional<Registry> reg = ReadRegistry();
    ASSERT_TRUE(reg);
    const std::optional<std::string> file =
        reg->GetValue("TypeLib\\{D94A2B23-B840-11D1-8042-00AA00336A3E}\\1.0\\0\\linux");
    ASSERT_TRUE(file);
    std::optional<TypeLibDesc> lib = ParseTypeLib([&] {
        std::ifstream in(*file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }());
    ASSERT_TRUE(lib);
    // The same member now claims a number where the module reads a string.
    for (MemberDesc& m : lib->members)
        if (m.name == "GetIPFromName")
            m.params[0].vt = VT_I4;
    std::ofstream(*file) << SerializeTypeLib(*lib);
    {
        LateBound dns;
        ASSERT_EQ(dns.Create("Kelvorin.DNS.1"), S_OK);
        Variant result;
        EXPECT_EQ(dns.Method(u"GetIPFromName", {Variant::Long(12345)}, &result), TYPE_E_CANTLOADLIBRARY);
    }
    ASSERT_EQ(RunRegisterTool(false), 0);
    LateBound dns = CreateDns();
    EXPECT_EQ(TextProperty(dns, u"Version"), "1, 0, 0, 1");
}

TEST(DnsComponent, UnregisteringRemovesExactlyWhatTheScriptOwns) {
    EnsureRegistered();
    // Something of another component under CLSID must survive.
    {
        RegistryTransaction tx;
        ASSERT_TRUE(tx.ok());
        tx.registry().SetValue("CLSID\\{00000000-1111-2222-3333-444444444444}\\InprocServer32", "",
                               "/other.so");
        ASSERT_TRUE(tx.Commit());
    }
    std::optional<Registry> before = ReadRegistry();
    ASSERT_TRUE(before);
    const std::string classKey = std::string("CLSID\\") + kClsid;
    EXPECT_EQ(before->GetValue("Kelvorin.DNS.1\\CLSID"), kClsid);
    EXPECT_EQ(before->GetValue("Kelvorin.DNS\\CurVer"), "Kelvorin.DNS.1");
    EXPECT_EQ(before->GetValue(classKey), "Kelvorin DNS Object");
    EXPECT_EQ(before->GetValue(classKey + "\\InprocServer32"), ModulePath());
    EXPECT_EQ(before->GetValue(classKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(before->GetValue(classKey + "\\ProgID"), "Kelvorin.DNS.1");
    EXPECT_EQ(before->GetValue(classKey + "\\VersionIndependentProgID"), "Kelvorin.DNS");
    EXPECT_TRUE(before->KeyExists(classKey + "\\Programmable"));
    EXPECT_TRUE(
        before->KeyExists(classKey + "\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}"));
    EXPECT_TRUE(
        before->KeyExists(classKey + "\\Implemented Categories\\{7DD95802-9882-11CF-9FA9-00AA006C42C4}"));

    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(RunRegisterTool(true), 0) << round;
        std::optional<Registry> after = ReadRegistry();
        ASSERT_TRUE(after);
        EXPECT_FALSE(after->KeyExists("Kelvorin.DNS.1"));
        EXPECT_FALSE(after->KeyExists("Kelvorin.DNS"));
        EXPECT_FALSE(after->KeyExists(classKey));
        EXPECT_TRUE(after->KeyExists("CLSID"));
        EXPECT_EQ(after->GetValue("CLSID\\{00000000-1111-2222-3333-444444444444}\\InprocServer32"),
                  "/other.so");
        // The type library registration stays.
        EXPECT_TRUE(after->KeyExists("TypeLib\\{D94A2B23-B840-11D1-8042-00AA00336A3E}\\1.0"));
    }
    LateBound gone;
    EXPECT_EQ(gone.Create("Kelvorin.DNS.1"), CO_E_CLASSSTRING);

    // Registering again makes it creatable again, also through the version-independent ProgID.
    ASSERT_EQ(RunRegisterTool(false), 0);
    LateBound dns;
    EXPECT_EQ(dns.Create("Kelvorin.DNS"), S_OK);
    EXPECT_EQ(TextProperty(dns, u"Version"), "1, 0, 0, 1");
}

TEST(DnsComponent, RegisterToolSaysWhichRegistryFileStopsIt) {
    // A damaged registry file is never overwritten; the tool must name it, or the user is left with a
    // bare error number and no idea what to repair.
    const std::string dir = std::string(std::getenv("XDG_DATA_HOME")) + "/damaged";
    const std::string file = dir + "/velanto-com/classes.reg";
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "/velanto-com'").c_str()), 0);
    std::ofstream(file) << "not a registry";
    const std::string command =
        "XDG_DATA_HOME='" + dir + "' '" + BinDir() + "/velanto-regsvr' '" + ModulePath() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    const int status = ::pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(output.find("the class registry " + file + " cannot be read"), std::string::npos) << output;
    std::ifstream in(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "not a registry");
}

// Registered for every user (what the install does), the component is creatable and callable by name by a
// user who never registered anything: the class and its type library come from the machine-wide registry,
// which every user can read whatever the umask of whoever registered it.
TEST(DnsComponent, RegisteredForEveryUserItServesAUserWithoutARegistration) {
    const std::string saved = std::getenv("XDG_DATA_HOME");
    const std::string prefix = saved + "/machine-prefix";
    const std::string command = "umask 077; '" + BinDir() + "/velanto-regsvr' -s --prefix '" + prefix +
                                "' '" + ModulePath() + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string folder = prefix + "/share/velanto-com";
    std::optional<Registry> machine = ReadRegistry(folder + "/classes.reg");
    ASSERT_TRUE(machine);
    const std::optional<std::string> typeLib =
        machine->GetValue("TypeLib\\{D94A2B23-B840-11D1-8042-00AA00336A3E}\\1.0\\0\\linux");
    ASSERT_TRUE(typeLib);
    for (const auto& [path, mode] :
         std::vector<std::pair<std::string, unsigned>>{{folder, 0755u},
                                                       {folder + "/classes.reg", 0644u},
                                                       {typeLib->substr(0, typeLib->rfind('/')), 0755u},
                                                       {*typeLib, 0644u}}) {
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0) << path;
        EXPECT_EQ(st.st_mode & 0777u, mode) << path;
    }

    const std::string savedDirs = std::getenv("XDG_DATA_DIRS") ? std::getenv("XDG_DATA_DIRS") : "";
    const std::string empty = saved + "/never-registered";
    ::setenv("XDG_DATA_HOME", empty.c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (prefix + "/share").c_str(), 1);
    {
        LateBound dns;
        EXPECT_EQ(dns.Create("Kelvorin.DNS.1"), S_OK);
        if (dns.valid()) {
            EXPECT_EQ(TextProperty(dns, u"Version"), "1, 0, 0, 1");
        }
    }
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    if (savedDirs.empty())
        ::unsetenv("XDG_DATA_DIRS");
    else
        ::setenv("XDG_DATA_DIRS", savedDirs.c_str(), 1);
    EXPECT_FALSE(std::ifstream(empty + "/velanto-com/classes.reg").good())
        << "the user's registry was written";
}
