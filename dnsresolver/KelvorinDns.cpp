#include "dnsresolver/KelvorinDns.h"

#include "com/TypeInfo.h"

#include <climits>
#include <new>

namespace trivex {

using namespace com;

namespace {
constexpr int32_t kInvalidParameter = 87;
constexpr int32_t kMessageTooLong = 10040;

std::string Narrow(BSTR text) {
    return Utf8FromBstr(text);
}

// Texts that arrive from the network: UTF-8 when they are valid UTF-8, else single-byte Latin-1.
BSTR WideFromBytes(const std::string& bytes) {
    const std::u16string wide = Utf16FromUtf8(bytes);
    if (Utf8FromUtf16(wide) == bytes)
        return SysAllocStringLen(wide.data(), static_cast<uint32_t>(wide.size()));
    std::u16string latin;
    latin.reserve(bytes.size());
    for (unsigned char c : bytes)
        latin.push_back(static_cast<char16_t>(c));
    return SysAllocStringLen(latin.data(), static_cast<uint32_t>(latin.size()));
}
} // namespace

HRESULT KelvorinDns::Create(IUnknown* outer, const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (outer && !(iid == IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    KelvorinDns* dns = new (std::nothrow) KelvorinDns(outer);
    if (!dns)
        return E_OUTOFMEMORY;
    // Final construction: the default whois server.
    try {
        dns->m_whoisServer = kDefaultWhoisServer;
    } catch (const std::bad_alloc&) {
        delete dns;
        return E_OUTOFMEMORY;
    }
    dns->m_inner.AddRef();
    const HRESULT hr = outer ? dns->m_inner.QueryInterface(iid, object) : dns->QueryInterface(iid, object);
    dns->m_inner.Release(); // the caller's reference (if any) keeps it alive
    return hr;
}

KelvorinDns::KelvorinDns(IUnknown* outer) {
    m_inner.self = this;
    m_outer = outer ? outer : &m_inner;
    ModuleLock();
}

KelvorinDns::~KelvorinDns() {
    m_resolver.reset();
    if (m_typeInfo)
        m_typeInfo->Release();
    ModuleUnlock();
}

HRESULT KelvorinDns::Inner::QueryInterface(const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown) {
        *object = static_cast<IUnknown*>(this);
    } else if (iid == IID_IDispatch || iid == IID_IKelvorinDNS) {
        *object = static_cast<IKelvorinDNS*>(self);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(*object)->AddRef();
    return S_OK;
}

ULONG KelvorinDns::Inner::AddRef() {
    return ++self->m_refs;
}

ULONG KelvorinDns::Inner::Release() {
    const ULONG left = --self->m_refs;
    if (left == 0)
        delete self;
    return left;
}

HRESULT KelvorinDns::QueryInterface(const IID& iid, void** object) {
    return m_outer->QueryInterface(iid, object);
}

ULONG KelvorinDns::AddRef() {
    return m_outer->AddRef();
}

ULONG KelvorinDns::Release() {
    return m_outer->Release();
}

HRESULT KelvorinDns::GetTypeInfoCount(uint32_t* count) {
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT KelvorinDns::GetTypeInfo(uint32_t index, LCID, ITypeInfo** typeInfo) {
    if (!typeInfo)
        return E_POINTER;
    *typeInfo = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    const HRESULT hr = LoadTypeInfo();
    if (Failed(hr))
        return hr;
    m_typeInfo->AddRef();
    *typeInfo = m_typeInfo;
    return S_OK;
}

HRESULT KelvorinDns::LoadTypeInfo() {
    if (m_typeInfo)
        return S_OK;
    TypeLibDesc lib;
    const HRESULT hr = LoadRegTypeLib(LIBID_KelvorinDNSLib, 1, 0, &lib);
    if (Failed(hr))
        return hr;
    // Invoke calls the members' slots with the declared types: a library that declares anything other than
    // what this module implements (a stale or altered file) must not be used.
    if (SerializeTypeLib(lib) != SerializeTypeLib(KelvorinTypeLib()))
        return TYPE_E_CANTLOADLIBRARY;
    return CreateDispatchTypeInfo(std::move(lib), &m_typeInfo, ModuleLock, ModuleUnlock);
}

HRESULT KelvorinDns::GetIDsOfNames(const IID& iid, char16_t** names, uint32_t count, LCID, DISPID* ids) {
    if (!(iid == IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    const HRESULT hr = LoadTypeInfo();
    if (Failed(hr))
        return hr;
    return m_typeInfo->GetIDsOfNames(names, count, ids);
}

HRESULT KelvorinDns::Invoke(DISPID id, const IID& iid, LCID, uint16_t flags, DISPPARAMS* params,
                            VARIANT* result, EXCEPINFO* exception, uint32_t* argErr) {
    if (!(iid == IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    const HRESULT hr = LoadTypeInfo();
    if (Failed(hr))
        return hr;
    // The type information checks the arguments and calls the member through this interface's table.
    return m_typeInfo->Invoke(static_cast<IKelvorinDNS*>(this), id, flags, params, result, exception, argErr);
}

void KelvorinDns::Store(const LookupResult& result, BSTR* out) {
    if (result.failed)
        m_lastError = result.error;
    *out = WideFromBytes(result.text);
}

HRESULT KelvorinDns::GetIPFromName(BSTR strHostName, BSTR* rVal) {
    if (!rVal)
        return E_POINTER;
    Store(trivex::GetIPFromName(Narrow(strHostName), m_timeoutMs), rVal);
    return S_OK;
}

HRESULT KelvorinDns::GetNameFromIP(BSTR strIP, BSTR* rVal) {
    if (!rVal)
        return E_POINTER;
    Store(trivex::GetNameFromIP(Narrow(strIP), m_timeoutMs), rVal);
    return S_OK;
}

HRESULT KelvorinDns::get_Timeout(LONG* pVal) {
    if (!pVal)
        return E_POINTER;
    *pVal = m_timeoutMs / 1000;
    return S_OK;
}

HRESULT KelvorinDns::put_Timeout(LONG newVal) {
    // Seconds to milliseconds in 64 bits, clamped to what 32 bits hold rather than wrapped.
    const int64_t ms = static_cast<int64_t>(newVal) * 1000;
    m_timeoutMs = static_cast<int32_t>(ms > INT32_MAX ? INT32_MAX : ms < INT32_MIN ? INT32_MIN : ms);
    return S_OK;
}

HRESULT KelvorinDns::Whois(BSTR strDomain, BSTR* bsInfo) {
    if (!bsInfo)
        return E_POINTER;
    Store(trivex::Whois(Narrow(strDomain), m_whoisServer, m_timeoutMs), bsInfo);
    return S_OK;
}

HRESULT KelvorinDns::MXLookup(BSTR strDNSServer, BSTR strDomain, LONG* nCount) {
    if (!nCount)
        return E_POINTER;
    m_lastError = 0;
    m_resolver.reset();
    if (!strDNSServer || !strDomain) {
        *nCount = -kInvalidParameter;
        return S_OK;
    }
    m_resolver = std::make_unique<MxResolver>(ParseServerList(Narrow(strDNSServer)));
    const int32_t count = QueryMx(*m_resolver, Narrow(strDomain), m_timeoutMs);
    *nCount = count == -1 ? -static_cast<LONG>(m_resolver->error) : count;
    // A list of only what fitted the reply datagram is not the whole list: the caller learns it from the
    // last error, the Windows Sockets number for a message longer than its buffer.
    if (m_resolver->incomplete)
        m_lastError = kMessageTooLong;
    return S_OK;
}

HRESULT KelvorinDns::MXServerList(LONG nIndex, BSTR* Server) {
    if (!Server)
        return E_POINTER;
    if (m_resolver && nIndex >= 1 && static_cast<size_t>(nIndex) <= m_resolver->list.size()) {
        *Server = WideFromBytes(m_resolver->list[static_cast<size_t>(nIndex) - 1].host);
        return S_OK;
    }
    m_lastError = kInvalidParameter;
    *Server = BstrFromUtf8("[ERROR] Invalid Parameter.");
    return S_OK;
}

HRESULT KelvorinDns::get_WhoisServer(BSTR* pVal) {
    if (!pVal)
        return E_POINTER;
    *pVal = WideFromBytes(m_whoisServer);
    return S_OK;
}

HRESULT KelvorinDns::put_WhoisServer(BSTR newVal) {
    m_whoisServer = Narrow(newVal);
    return S_OK;
}

HRESULT KelvorinDns::GetSystemError(LONG* nError) {
    if (!nError)
        return E_POINTER;
    *nError = m_lastError;
    return S_OK;
}

HRESULT KelvorinDns::get_Version(BSTR* pVal) {
    if (!pVal)
        return E_POINTER;
    *pVal = BstrFromUtf8(ModuleVersionText());
    return S_OK;
}

} // namespace trivex
