#pragma once
// The binary contract between a client and an in-process component: 32-bit integers, GUIDs, HRESULTs,
// length-prefixed UTF-16 strings, VARIANTs and the three base interfaces in their slot order. Plain C++
// only, so a component module links this without pulling in anything else.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace com {

using HRESULT = int32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using DISPID = int32_t;
using LCID = uint32_t;
using VARTYPE = uint16_t;
using BSTR = char16_t*;

constexpr HRESULT Hr(uint32_t value) {
    return static_cast<HRESULT>(value);
}
constexpr bool Succeeded(HRESULT hr) {
    return hr >= 0;
}
constexpr bool Failed(HRESULT hr) {
    return hr < 0;
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = Hr(0x80004001);
constexpr HRESULT E_NOINTERFACE = Hr(0x80004002);
constexpr HRESULT E_POINTER = Hr(0x80004003);
constexpr HRESULT E_FAIL = Hr(0x80004005);
constexpr HRESULT E_UNEXPECTED = Hr(0x8000FFFF);
constexpr HRESULT E_OUTOFMEMORY = Hr(0x8007000E);
constexpr HRESULT E_INVALIDARG = Hr(0x80070057);
constexpr HRESULT E_ACCESSDENIED = Hr(0x80070005);
constexpr HRESULT CLASS_E_NOAGGREGATION = Hr(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = Hr(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = Hr(0x80040154);
constexpr HRESULT REGDB_E_WRITEREGDB = Hr(0x80040151);
constexpr HRESULT REGDB_E_READREGDB = Hr(0x80040150);
constexpr HRESULT CO_E_CLASSSTRING = Hr(0x800401F3);
constexpr HRESULT CO_E_DLLNOTFOUND = Hr(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = Hr(0x800401F9);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = Hr(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = Hr(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = Hr(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = Hr(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = Hr(0x80020006);
constexpr HRESULT DISP_E_NONAMEDARGS = Hr(0x80020007);
constexpr HRESULT DISP_E_BADVARTYPE = Hr(0x80020008);
constexpr HRESULT DISP_E_OVERFLOW = Hr(0x8002000A);
constexpr HRESULT DISP_E_BADINDEX = Hr(0x8002000B);
constexpr HRESULT DISP_E_BADPARAMCOUNT = Hr(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = Hr(0x8002000F);
constexpr HRESULT TYPE_E_LIBNOTREGISTERED = Hr(0x8002801D);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = Hr(0x8002802B);
constexpr HRESULT TYPE_E_BADMODULEKIND = Hr(0x800288BD);
constexpr HRESULT TYPE_E_CANTLOADLIBRARY = Hr(0x80029C4A);

struct GUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};
    friend bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", letters in either case.
std::optional<GUID> ParseGuid(std::string_view text);
// The registry form: braces and upper-case hex digits.
std::string GuidToString(const GUID& guid);

extern const IID IID_IUnknown;
extern const IID IID_IClassFactory;
extern const IID IID_IDispatch;
extern const IID IID_ITypeInfo;
extern const IID IID_NULL;

// Strings: a 32-bit byte length stored just before the characters, and a terminating zero after them.
BSTR SysAllocStringLen(const char16_t* text, uint32_t length);
BSTR SysAllocString(const char16_t* text);
void SysFreeString(BSTR text);
uint32_t SysStringLen(BSTR text);
// The component's narrow texts are UTF-8; characters that cannot be carried become '?'.
BSTR BstrFromUtf8(std::string_view text);
std::string Utf8FromBstr(BSTR text);
std::u16string Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::u16string_view text);

enum VarType : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_INT = 22,
    VT_UINT = 23,
    VT_VOID = 24,
    VT_HRESULT = 25,
    VT_BYREF = 0x4000,
};

struct IUnknown;
struct IDispatch;
struct ITypeInfo;

struct VARIANT {
    VARTYPE vt = VT_EMPTY;
    uint16_t wReserved1 = 0;
    uint16_t wReserved2 = 0;
    uint16_t wReserved3 = 0;
    union {
        int64_t llVal = 0;
        LONG lVal;
        int16_t iVal;
        uint8_t bVal;
        uint16_t uiVal;
        uint32_t ulVal;
        double dblVal;
        int16_t boolVal;
        HRESULT scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        LONG* plVal;
        BSTR* pbstrVal;
        VARIANT* pvarVal;
    };
};

void VariantInit(VARIANT* v);
// Frees what the variant owns (string, interface reference) and leaves it empty.
HRESULT VariantClear(VARIANT* v);
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// Converts to VT_I4 or VT_BSTR the way late-bound callers expect (numbers <-> decimal text, empty -> 0 or
// ""). A value that cannot be converted gives DISP_E_TYPEMISMATCH, one out of range DISP_E_OVERFLOW.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, VARTYPE target);

constexpr uint16_t DISPATCH_METHOD = 1;
constexpr uint16_t DISPATCH_PROPERTYGET = 2;
constexpr uint16_t DISPATCH_PROPERTYPUT = 4;
constexpr uint16_t DISPATCH_PROPERTYPUTREF = 8;
constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_PROPERTYPUT = -3;

// Arguments in reverse order, as the automation convention passes them.
struct DISPPARAMS {
    VARIANT* rgvarg = nullptr;
    DISPID* rgdispidNamedArgs = nullptr;
    uint32_t cArgs = 0;
    uint32_t cNamedArgs = 0;
};

struct EXCEPINFO {
    uint16_t wCode = 0;
    uint16_t wReserved = 0;
    BSTR bstrSource = nullptr;
    BSTR bstrDescription = nullptr;
    BSTR bstrHelpFile = nullptr;
    uint32_t dwHelpContext = 0;
    void* pvReserved = nullptr;
    void* pfnDeferredFillIn = nullptr;
    HRESULT scode = 0;
};

// Interfaces: only pure virtual members, so the vtable holds exactly the slots in declaration order.
struct IUnknown {
    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
    virtual HRESULT LockServer(LONG lock) = 0;

protected:
    ~IClassFactory() = default;
};

struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
    virtual HRESULT GetTypeInfo(uint32_t index, LCID lcid, ITypeInfo** typeInfo) = 0;
    virtual HRESULT GetIDsOfNames(const IID& iid, char16_t** names, uint32_t count, LCID lcid,
                                  DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID id, const IID& iid, LCID lcid, uint16_t flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, uint32_t* argErr) = 0;

protected:
    ~IDispatch() = default;
};

// Type information: the description of one type that late-bound callers browse (attributes, functions,
// names, help strings) and call through. The structures are the caller's to release through the
// matching Release* slot of the object that made them.
using MEMBERID = DISPID;
using HREFTYPE = uint32_t;
constexpr MEMBERID MEMBERID_NIL = -1;

enum TYPEKIND : int32_t {
    TKIND_ENUM = 0,
    TKIND_RECORD = 1,
    TKIND_MODULE = 2,
    TKIND_INTERFACE = 3,
    TKIND_DISPATCH = 4,
    TKIND_COCLASS = 5,
    TKIND_ALIAS = 6,
    TKIND_UNION = 7,
};
enum FUNCKIND : int32_t {
    FUNC_VIRTUAL = 0,
    FUNC_PUREVIRTUAL = 1,
    FUNC_NONVIRTUAL = 2,
    FUNC_STATIC = 3,
    FUNC_DISPATCH = 4,
};
// The same values as the DISPATCH_ flags.
enum INVOKEKIND : int32_t {
    INVOKE_FUNC = 1,
    INVOKE_PROPERTYGET = 2,
    INVOKE_PROPERTYPUT = 4,
    INVOKE_PROPERTYPUTREF = 8,
};
enum CALLCONV : int32_t { CC_CDECL = 1, CC_STDCALL = 4 };

constexpr uint16_t PARAMFLAG_FIN = 0x1;
constexpr uint16_t PARAMFLAG_FOUT = 0x2;
constexpr uint16_t PARAMFLAG_FRETVAL = 0x8;
constexpr uint16_t TYPEFLAG_FDUAL = 0x40;
constexpr uint16_t TYPEFLAG_FOLEAUTOMATION = 0x100;
constexpr uint16_t TYPEFLAG_FDISPATCHABLE = 0x1000;

// Plain structures: value-initialise them ({}) before use.
struct TYPEDESC {
    union {
        TYPEDESC* lptdesc; // VT_PTR, VT_SAFEARRAY
        void* lpadesc;     // VT_CARRAY
        HREFTYPE hreftype; // VT_USERDEFINED
    };
    VARTYPE vt;
};
struct IDLDESC {
    uintptr_t dwReserved;
    uint16_t wIDLFlags;
};
struct PARAMDESC {
    void* pparamdescex; // default values, which this layer never has
    uint16_t wParamFlags;
};
struct ELEMDESC {
    TYPEDESC tdesc;
    union {
        IDLDESC idldesc;
        PARAMDESC paramdesc;
    };
};

struct TYPEATTR {
    GUID guid;
    LCID lcid;
    uint32_t dwReserved;
    MEMBERID memidConstructor;
    MEMBERID memidDestructor;
    char16_t* lpstrSchema;
    ULONG cbSizeInstance;
    TYPEKIND typekind;
    uint16_t cFuncs;
    uint16_t cVars;
    uint16_t cImplTypes;
    uint16_t cbSizeVft;
    uint16_t cbAlignment;
    uint16_t wTypeFlags;
    uint16_t wMajorVerNum;
    uint16_t wMinorVerNum;
    TYPEDESC tdescAlias;
    IDLDESC idldescType;
};

struct FUNCDESC {
    MEMBERID memid;
    HRESULT* lprgscode;
    ELEMDESC* lprgelemdescParam; // cParams entries
    FUNCKIND funckind;
    INVOKEKIND invkind;
    CALLCONV callconv;
    int16_t cParams;
    int16_t cParamsOpt;
    int16_t oVft; // byte offset of the function's slot in the interface's table
    int16_t cScodes;
    ELEMDESC elemdescFunc; // the return type
    uint16_t wFuncFlags;
};

struct VARDESC;
struct ITypeComp;
struct ITypeLib;

struct ITypeInfo : IUnknown {
    virtual HRESULT GetTypeAttr(TYPEATTR** attr) = 0;
    virtual HRESULT GetTypeComp(ITypeComp** comp) = 0;
    virtual HRESULT GetFuncDesc(uint32_t index, FUNCDESC** desc) = 0;
    virtual HRESULT GetVarDesc(uint32_t index, VARDESC** desc) = 0;
    // The member's name, then its parameters' names; *count says how many were filled.
    virtual HRESULT GetNames(MEMBERID id, BSTR* names, uint32_t maxNames, uint32_t* count) = 0;
    virtual HRESULT GetRefTypeOfImplType(uint32_t index, HREFTYPE* ref) = 0;
    virtual HRESULT GetImplTypeFlags(uint32_t index, int32_t* flags) = 0;
    virtual HRESULT GetIDsOfNames(char16_t** names, uint32_t count, MEMBERID* ids) = 0;
    // Calls the member on an object that implements the described interface.
    virtual HRESULT Invoke(void* instance, MEMBERID id, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, uint32_t* argErr) = 0;
    // MEMBERID_NIL describes the type itself. Any of the out-pointers may be null.
    virtual HRESULT GetDocumentation(MEMBERID id, BSTR* name, BSTR* docString, uint32_t* helpContext,
                                     BSTR* helpFile) = 0;
    virtual HRESULT GetDllEntry(MEMBERID id, INVOKEKIND kind, BSTR* dllName, BSTR* name,
                                uint16_t* ordinal) = 0;
    virtual HRESULT GetRefTypeInfo(HREFTYPE ref, ITypeInfo** info) = 0;
    virtual HRESULT AddressOfMember(MEMBERID id, INVOKEKIND kind, void** address) = 0;
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
    virtual HRESULT GetMops(MEMBERID id, BSTR* mops) = 0;
    virtual HRESULT GetContainingTypeLib(ITypeLib** lib, uint32_t* index) = 0;
    virtual void ReleaseTypeAttr(TYPEATTR* attr) = 0;
    virtual void ReleaseFuncDesc(FUNCDESC* desc) = 0;
    virtual void ReleaseVarDesc(VARDESC* desc) = 0;

protected:
    ~ITypeInfo() = default;
};

// The four exports of an in-process server.
using DllGetClassObjectFn = HRESULT (*)(const CLSID& clsid, const IID& iid, void** object);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();
using DllUnregisterServerFn = HRESULT (*)();

} // namespace com
