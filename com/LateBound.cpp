#include "com/LateBound.h"

#include "com/Creation.h"

namespace com {

Variant::Variant(const Variant& other) {
    VariantInit(&m_v);
    VariantCopy(&m_v, &other.m_v);
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other)
        VariantCopy(&m_v, &other.m_v);
    return *this;
}

Variant::Variant(Variant&& other) noexcept : m_v(other.m_v) {
    VariantInit(&other.m_v);
}

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        VariantClear(&m_v);
        m_v = other.m_v;
        VariantInit(&other.m_v);
    }
    return *this;
}

Variant Variant::Long(LONG value) {
    Variant v;
    v.m_v.vt = VT_I4;
    v.m_v.lVal = value;
    return v;
}

Variant Variant::String(std::string_view utf8) {
    Variant v;
    v.m_v.vt = VT_BSTR;
    v.m_v.bstrVal = BstrFromUtf8(utf8);
    return v;
}

Variant Variant::NullString() {
    Variant v;
    v.m_v.vt = VT_BSTR;
    v.m_v.bstrVal = nullptr;
    return v;
}

Variant Variant::Raw(const VARIANT& raw) {
    Variant v;
    VariantCopy(&v.m_v, &raw);
    return v;
}

DispatchArguments::DispatchArguments(const std::vector<Variant>& args, uint16_t flags) {
    m_reversed.reserve(args.size());
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        m_reversed.push_back(it->get());
    m_params.rgvarg = m_reversed.empty() ? nullptr : m_reversed.data();
    m_params.cArgs = static_cast<uint32_t>(m_reversed.size());
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        m_params.rgdispidNamedArgs = &m_putId;
        m_params.cNamedArgs = 1;
    }
}

LateBound& LateBound::operator=(LateBound&& other) noexcept {
    if (this != &other) {
        Reset();
        m_dispatch = other.m_dispatch;
        other.m_dispatch = nullptr;
    }
    return *this;
}

HRESULT LateBound::Create(const std::string& progId, const std::string& registryPath) {
    Reset();
    return CreateObjectByProgID(progId, IID_IDispatch, reinterpret_cast<void**>(&m_dispatch), registryPath);
}

void LateBound::Reset() {
    if (m_dispatch)
        m_dispatch->Release();
    m_dispatch = nullptr;
}

HRESULT LateBound::Call(std::u16string_view name, uint16_t flags, const std::vector<Variant>& args,
                        Variant* result, uint32_t* argErr) {
    if (!m_dispatch)
        return E_POINTER;
    std::u16string nameCopy(name);
    char16_t* names[] = {nameCopy.data()};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = m_dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    if (Failed(hr))
        return hr;
    DispatchArguments params(args, flags);
    Variant out;
    EXCEPINFO exception;
    uint32_t err = 0;
    hr = m_dispatch->Invoke(id, IID_NULL, 0, flags, params.get(), &out.get(), &exception, &err);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    if (argErr)
        *argErr = err;
    if (result)
        *result = std::move(out);
    return hr;
}

HRESULT LateBound::Put(std::u16string_view name, const Variant& value) {
    return Call(name, DISPATCH_PROPERTYPUT, {value});
}

} // namespace com
