#pragma once
// The DNS object. Every member returns S_OK; failures come back as "[ERROR] " texts or negative counts,
// with the error number kept for GetSystemError.
#include "dnsresolver/KelvorinDnsInterface.h"
#include "dnsresolver/Network.h"

#include <atomic>
#include <memory>
#include <string>

namespace trivex {

// The module's lock count: live objects, factory references and LockServer locks.
void ModuleLock();
void ModuleUnlock();
com::LONG ModuleLockCount();
// The module's version text ("1, 0, 0, 1"), filled when the module is loaded.
const std::string& ModuleVersionText();

class KelvorinDns final : public IKelvorinDNS {
public:
    // A new object with one reference held by the caller through *object (E_OUTOFMEMORY, E_NOINTERFACE or
    // CLASS_E_NOAGGREGATION otherwise). With an outer object it becomes an aggregated part of it, and only
    // IUnknown may be asked for.
    static com::HRESULT Create(com::IUnknown* outer, const com::IID& iid, void** object);

    // IUnknown (delegating to the outer object when aggregated)
    com::HRESULT QueryInterface(const com::IID& iid, void** object) override;
    com::ULONG AddRef() override;
    com::ULONG Release() override;
    // IDispatch
    com::HRESULT GetTypeInfoCount(uint32_t* count) override;
    com::HRESULT GetTypeInfo(uint32_t index, com::LCID lcid, com::ITypeInfo** typeInfo) override;
    com::HRESULT GetIDsOfNames(const com::IID& iid, char16_t** names, uint32_t count, com::LCID lcid,
                               com::DISPID* ids) override;
    com::HRESULT Invoke(com::DISPID id, const com::IID& iid, com::LCID lcid, uint16_t flags,
                        com::DISPPARAMS* params, com::VARIANT* result, com::EXCEPINFO* exception,
                        uint32_t* argErr) override;
    // IKelvorinDNS
    com::HRESULT GetIPFromName(com::BSTR strHostName, com::BSTR* rVal) override;
    com::HRESULT GetNameFromIP(com::BSTR strIP, com::BSTR* rVal) override;
    com::HRESULT get_Timeout(com::LONG* pVal) override;
    com::HRESULT put_Timeout(com::LONG newVal) override;
    com::HRESULT Whois(com::BSTR strDomain, com::BSTR* bsInfo) override;
    com::HRESULT MXLookup(com::BSTR strDNSServer, com::BSTR strDomain, com::LONG* nCount) override;
    com::HRESULT MXServerList(com::LONG nIndex, com::BSTR* Server) override;
    com::HRESULT get_WhoisServer(com::BSTR* pVal) override;
    com::HRESULT put_WhoisServer(com::BSTR newVal) override;
    com::HRESULT GetSystemError(com::LONG* nError) override;
    com::HRESULT get_Version(com::BSTR* pVal) override;

    // The stored time-out in milliseconds (for tests of the arithmetic).
    int32_t timeoutMs() const { return m_timeoutMs; }

private:
    explicit KelvorinDns(com::IUnknown* outer);
    ~KelvorinDns();

    // The non-delegating IUnknown that owns the object's life.
    struct Inner final : com::IUnknown {
        KelvorinDns* self = nullptr;
        com::HRESULT QueryInterface(const com::IID& iid, void** object) override;
        com::ULONG AddRef() override;
        com::ULONG Release() override;
    };

    com::HRESULT LoadTypeInfo();
    void Store(const LookupResult& result, com::BSTR* out);

    std::atomic<com::ULONG> m_refs{0};
    int32_t m_lastError = 0;
    std::string m_whoisServer;
    std::unique_ptr<MxResolver> m_resolver;
    int32_t m_timeoutMs = 30000;
    Inner m_inner;
    com::IUnknown* m_outer = nullptr;
    com::ITypeInfo* m_typeInfo = nullptr; // made from the registered library on first use
};

} // namespace trivex
