#include "com/TypeInfo.h"

#include <atomic>
#include <new>

namespace com {

namespace {

// IUnknown's three slots and IDispatch's four come before the interface's own members.
constexpr size_t kDispatchSlots = 7;
// The most in-arguments a member may have for Invoke to build its call.
constexpr size_t kMaxArgs = 3;

template <typename... A>
HRESULT CallSlot(void* instance, size_t slot, A... args) {
    // The interface's table as every caller of the binary contract sees it: the instance first, then the
    // arguments in declared order.
    using Fn = HRESULT (*)(void*, A...);
    void** table = *static_cast<void***>(instance);
    return reinterpret_cast<Fn>(table[slot])(instance, args...);
}

// Builds the call's argument list one converted argument at a time, then adds the retval pointer.
template <typename... A>
HRESULT CallWith(void* instance, size_t slot, const std::vector<VARIANT>& in, void* out, VARTYPE outVt,
                 A... args) {
    constexpr size_t next = sizeof...(A);
    if (next == in.size()) {
        switch (outVt) {
        case VT_BSTR:
            return CallSlot(instance, slot, args..., static_cast<BSTR*>(out));
        case VT_I4:
            return CallSlot(instance, slot, args..., static_cast<LONG*>(out));
        case VT_EMPTY:
            return CallSlot(instance, slot, args...);
        default:
            return DISP_E_BADVARTYPE;
        }
    }
    if constexpr (next < kMaxArgs) {
        if (in[next].vt == VT_BSTR)
            return CallWith(instance, slot, in, out, outVt, args..., in[next].bstrVal);
        if (in[next].vt == VT_I4)
            return CallWith(instance, slot, in, out, outVt, args..., in[next].lVal);
    }
    return DISP_E_BADVARTYPE;
}

INVOKEKIND InvokeKind(MemberKind kind) {
    return kind == MemberKind::Method        ? INVOKE_FUNC
           : kind == MemberKind::PropertyGet ? INVOKE_PROPERTYGET
                                             : INVOKE_PROPERTYPUT;
}

template <typename T>
void ClearOut(T** out) {
    if (out)
        *out = nullptr;
}

class DispatchTypeInfo final : public ITypeInfo {
public:
    DispatchTypeInfo(TypeLibDesc lib, void (*lock)(), void (*unlock)())
        : m_lib(std::move(lib)), m_unlock(unlock) {
        if (lock)
            lock();
    }

    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_ITypeInfo) {
            *object = static_cast<ITypeInfo*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG left = --m_refs;
        if (left == 0) {
            void (*unlock)() = m_unlock;
            delete this;
            if (unlock)
                unlock();
        }
        return left;
    }

    HRESULT GetTypeAttr(TYPEATTR** attr) override;
    HRESULT GetFuncDesc(uint32_t index, FUNCDESC** desc) override;
    HRESULT GetNames(MEMBERID id, BSTR* names, uint32_t maxNames, uint32_t* count) override;
    HRESULT GetIDsOfNames(char16_t** names, uint32_t count, MEMBERID* ids) override {
        return GetIDsOfNamesFrom(m_lib, names, count, ids);
    }
    HRESULT Invoke(void* instance, MEMBERID id, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, uint32_t* argErr) override;
    HRESULT GetDocumentation(MEMBERID id, BSTR* name, BSTR* docString, uint32_t* helpContext,
                             BSTR* helpFile) override;
    void ReleaseTypeAttr(TYPEATTR* attr) override { delete attr; }
    void ReleaseFuncDesc(FUNCDESC* desc) override {
        if (!desc)
            return;
        delete[] desc->lprgelemdescParam;
        delete desc;
    }

    // The interface has no variables, is not a module, and refers to no other type callers could load.
    HRESULT GetVarDesc(uint32_t, VARDESC** desc) override {
        ClearOut(desc);
        return TYPE_E_ELEMENTNOTFOUND;
    }
    void ReleaseVarDesc(VARDESC*) override {}
    HRESULT GetDllEntry(MEMBERID, INVOKEKIND, BSTR* dllName, BSTR* name, uint16_t* ordinal) override {
        ClearOut(dllName);
        ClearOut(name);
        if (ordinal)
            *ordinal = 0;
        return TYPE_E_BADMODULEKIND;
    }
    HRESULT AddressOfMember(MEMBERID, INVOKEKIND, void** address) override {
        ClearOut(address);
        return TYPE_E_BADMODULEKIND;
    }
    HRESULT GetTypeComp(ITypeComp** comp) override {
        ClearOut(comp);
        return E_NOTIMPL;
    }
    HRESULT GetRefTypeOfImplType(uint32_t, HREFTYPE*) override { return E_NOTIMPL; }
    HRESULT GetImplTypeFlags(uint32_t, int32_t*) override { return E_NOTIMPL; }
    HRESULT GetRefTypeInfo(HREFTYPE, ITypeInfo** info) override {
        ClearOut(info);
        return E_NOTIMPL;
    }
    HRESULT CreateInstance(IUnknown*, const IID&, void** object) override {
        ClearOut(object);
        return E_NOTIMPL;
    }
    HRESULT GetMops(MEMBERID, BSTR* mops) override {
        ClearOut(mops);
        return E_NOTIMPL;
    }
    HRESULT GetContainingTypeLib(ITypeLib** lib, uint32_t*) override {
        ClearOut(lib);
        return E_NOTIMPL;
    }

private:
    ~DispatchTypeInfo() = default;
    const MemberDesc* Find(MEMBERID id) const {
        for (const MemberDesc& m : m_lib.members)
            if (m.dispid == id)
                return &m;
        return nullptr;
    }

    std::atomic<ULONG> m_refs{1};
    const TypeLibDesc m_lib;
    void (*m_unlock)();
};

HRESULT DispatchTypeInfo::GetTypeAttr(TYPEATTR** attr) {
    if (!attr)
        return E_INVALIDARG;
    *attr = new (std::nothrow) TYPEATTR{};
    if (!*attr)
        return E_OUTOFMEMORY;
    TYPEATTR& a = **attr;
    a.guid = m_lib.iid;
    a.memidConstructor = MEMBERID_NIL;
    a.memidDestructor = MEMBERID_NIL;
    a.cbSizeInstance = sizeof(void*);
    a.typekind = TKIND_DISPATCH;
    a.cFuncs = static_cast<uint16_t>(m_lib.members.size());
    a.cImplTypes = 1; // IDispatch
    a.cbSizeVft = static_cast<uint16_t>((kDispatchSlots + m_lib.members.size()) * sizeof(void*));
    a.cbAlignment = alignof(void*);
    a.wTypeFlags = TYPEFLAG_FDISPATCHABLE | (m_lib.dual ? TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION : 0);
    a.wMajorVerNum = m_lib.major;
    a.wMinorVerNum = m_lib.minor;
    a.tdescAlias.vt = VT_EMPTY;
    return S_OK;
}

HRESULT DispatchTypeInfo::GetFuncDesc(uint32_t index, FUNCDESC** desc) {
    if (!desc)
        return E_INVALIDARG;
    *desc = nullptr;
    if (index >= m_lib.members.size())
        return TYPE_E_ELEMENTNOTFOUND;
    const MemberDesc& m = m_lib.members[index];
    // The dispatch view: the in-parameters are the parameters, the retval parameter is the return type.
    auto* f = new (std::nothrow) FUNCDESC{};
    const size_t inCount = m.InCount();
    ELEMDESC* params = inCount ? new (std::nothrow) ELEMDESC[inCount]{} : nullptr;
    if (!f || (inCount && !params)) {
        delete f;
        delete[] params;
        return E_OUTOFMEMORY;
    }
    size_t k = 0;
    for (const ParamDesc& p : m.params) {
        if (p.retval)
            continue;
        params[k].tdesc.vt = p.vt;
        params[k].paramdesc.wParamFlags = PARAMFLAG_FIN;
        ++k;
    }
    f->memid = m.dispid;
    f->lprgelemdescParam = params;
    f->funckind = FUNC_DISPATCH;
    f->invkind = InvokeKind(m.kind);
    f->callconv = CC_STDCALL;
    f->cParams = static_cast<int16_t>(inCount);
    f->oVft = static_cast<int16_t>((kDispatchSlots + index) * sizeof(void*));
    const ParamDesc* retval = m.Retval();
    f->elemdescFunc.tdesc.vt = retval ? retval->vt : static_cast<VARTYPE>(VT_VOID);
    *desc = f;
    return S_OK;
}

HRESULT DispatchTypeInfo::GetNames(MEMBERID id, BSTR* names, uint32_t maxNames, uint32_t* count) {
    if (!names || !count)
        return E_INVALIDARG;
    *count = 0;
    const MemberDesc* m = Find(id);
    if (!m)
        return TYPE_E_ELEMENTNOTFOUND;
    if (maxNames == 0)
        return S_OK;
    names[(*count)++] = BstrFromUtf8(m->name);
    // Names are positional: they end at the first parameter that has none (a property put's value).
    for (const ParamDesc& p : m->params) {
        if (*count == maxNames || p.name.empty())
            break;
        if (!p.retval)
            names[(*count)++] = BstrFromUtf8(p.name);
    }
    return S_OK;
}

HRESULT DispatchTypeInfo::GetDocumentation(MEMBERID id, BSTR* name, BSTR* docString, uint32_t* helpContext,
                                           BSTR* helpFile) {
    const std::string* title = &m_lib.interfaceName;
    const std::string* help = &m_lib.interfaceHelp;
    if (id != MEMBERID_NIL) {
        const MemberDesc* m = Find(id);
        if (!m)
            return TYPE_E_ELEMENTNOTFOUND;
        title = &m->name;
        help = &m->help;
    }
    if (name)
        *name = BstrFromUtf8(*title);
    if (docString)
        *docString = BstrFromUtf8(*help);
    if (helpContext)
        *helpContext = 0;
    ClearOut(helpFile); // there is no help file
    return S_OK;
}

HRESULT DispatchTypeInfo::Invoke(void* instance, MEMBERID id, uint16_t flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO*, uint32_t* argErr) {
    if (!instance)
        return E_INVALIDARG;
    DISPPARAMS none;
    PreparedCall call;
    HRESULT hr = PrepareInvoke(m_lib, id, flags, params ? params : &none, &call, argErr);
    if (Failed(hr))
        return hr;
    const size_t slot = kDispatchSlots + static_cast<size_t>(call.member - m_lib.members.data());
    BSTR text = nullptr;
    LONG number = 0;
    const ParamDesc* retval = call.member->Retval();
    const VARTYPE outVt = retval ? retval->vt : static_cast<VARTYPE>(VT_EMPTY);
    void* out = outVt == VT_BSTR ? static_cast<void*>(&text) : static_cast<void*>(&number);
    hr = CallWith(instance, slot, call.args, out, outVt);
    if (Failed(hr)) {
        SysFreeString(text);
        return hr;
    }
    // The result takes the type of the member's retval parameter. The caller's variant is written, never
    // read: what it held is not ours to free.
    VARIANT value;
    VariantInit(&value);
    if (outVt == VT_BSTR) {
        value.vt = VT_BSTR;
        value.bstrVal = text;
    } else if (outVt == VT_I4) {
        value.vt = VT_I4;
        value.lVal = number;
    }
    if (result)
        *result = value;
    else
        VariantClear(&value);
    return hr;
}

} // namespace

HRESULT CreateDispatchTypeInfo(TypeLibDesc lib, ITypeInfo** out, void (*lock)(), void (*unlock)()) {
    if (!out)
        return E_POINTER;
    *out = new (std::nothrow) DispatchTypeInfo(std::move(lib), lock, unlock);
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace com
