#pragma once
// The DNS object's dual interface as early-bound callers see it: the seven IDispatch slots, then these
// members in this slot order. Its identities and the description its IDispatch serves.
#include "com/Com.h"
#include "com/TypeLib.h"

namespace trivex {

// {D94A2B33-B840-11D1-8042-00AA00336A3E}
constexpr com::CLSID CLSID_KelvorinDNS = {
    0xD94A2B33, 0xB840, 0x11D1, {0x80, 0x42, 0x00, 0xAA, 0x00, 0x33, 0x6A, 0x3E}};
// {D94A2B32-B840-11D1-8042-00AA00336A3E}
constexpr com::IID IID_IKelvorinDNS = {
    0xD94A2B32, 0xB840, 0x11D1, {0x80, 0x42, 0x00, 0xAA, 0x00, 0x33, 0x6A, 0x3E}};
// {D94A2B23-B840-11D1-8042-00AA00336A3E}
constexpr com::GUID LIBID_KelvorinDNSLib = {
    0xD94A2B23, 0xB840, 0x11D1, {0x80, 0x42, 0x00, 0xAA, 0x00, 0x33, 0x6A, 0x3E}};

constexpr char kProgId[] = "Kelvorin.DNS.1";
constexpr char kDefaultWhoisServer[] = "whois.iana.org";

struct IKelvorinDNS : com::IDispatch {
    virtual com::HRESULT GetIPFromName(com::BSTR strHostName, com::BSTR* rVal) = 0;
    virtual com::HRESULT GetNameFromIP(com::BSTR strIP, com::BSTR* rVal) = 0;
    virtual com::HRESULT get_Timeout(com::LONG* pVal) = 0;
    virtual com::HRESULT put_Timeout(com::LONG newVal) = 0;
    virtual com::HRESULT Whois(com::BSTR strDomain, com::BSTR* bsInfo) = 0;
    virtual com::HRESULT MXLookup(com::BSTR strDNSServer, com::BSTR strDomain, com::LONG* nCount) = 0;
    virtual com::HRESULT MXServerList(com::LONG nIndex, com::BSTR* Server) = 0;
    virtual com::HRESULT get_WhoisServer(com::BSTR* pVal) = 0;
    virtual com::HRESULT put_WhoisServer(com::BSTR newVal) = 0;
    virtual com::HRESULT GetSystemError(com::LONG* nError) = 0;
    virtual com::HRESULT get_Version(com::BSTR* pVal) = 0;

protected:
    ~IKelvorinDNS() = default;
};

// The type library the module registers (library, class, interface and members with DISPIDs).
const com::TypeLibDesc& KelvorinTypeLib();

} // namespace trivex
