#pragma once
// The client side of late binding: an object created by ProgID and called by member name through
// IDispatch (GetIDsOfNames, then Invoke), the way a script host calls a component.
#include "com/Com.h"
#include "com/Registry.h"

#include <string>
#include <string_view>
#include <vector>

namespace com {

// A VARIANT that frees what it holds.
class Variant {
public:
    Variant() { VariantInit(&m_v); }
    ~Variant() { VariantClear(&m_v); }
    Variant(const Variant& other);
    Variant& operator=(const Variant& other);
    Variant(Variant&& other) noexcept;
    Variant& operator=(Variant&& other) noexcept;

    static Variant Long(LONG value);
    static Variant String(std::string_view utf8);
    // A VT_BSTR holding no string at all: a missing text argument.
    static Variant NullString();
    static Variant Raw(const VARIANT& v); // a copy

    VARIANT& get() { return m_v; }
    const VARIANT& get() const { return m_v; }
    VARTYPE type() const { return m_v.vt; }
    LONG toLong() const { return m_v.vt == VT_I4 ? m_v.lVal : 0; }
    std::string toUtf8() const { return m_v.vt == VT_BSTR ? Utf8FromBstr(m_v.bstrVal) : std::string(); }

private:
    VARIANT m_v;
};

// The argument block of one call: the arguments in reverse order (borrowed, not copied) and, for a
// property put, the value named DISPID_PROPERTYPUT.
class DispatchArguments {
public:
    DispatchArguments(const std::vector<Variant>& args, uint16_t flags);
    DispatchArguments(const DispatchArguments&) = delete;
    DispatchArguments& operator=(const DispatchArguments&) = delete;
    DISPPARAMS* get() { return &m_params; }

private:
    std::vector<VARIANT> m_reversed;
    DISPID m_putId = DISPID_PROPERTYPUT;
    DISPPARAMS m_params;
};

class LateBound {
public:
    LateBound() = default;
    ~LateBound() { Reset(); }
    LateBound(const LateBound&) = delete;
    LateBound& operator=(const LateBound&) = delete;
    LateBound(LateBound&& other) noexcept : m_dispatch(other.m_dispatch) { other.m_dispatch = nullptr; }
    LateBound& operator=(LateBound&& other) noexcept;

    // Creates the object by ProgID through the class registry and asks it for IDispatch.
    HRESULT Create(const std::string& progId, const std::string& registryPath = {});
    void Reset();
    bool valid() const { return m_dispatch != nullptr; }
    IDispatch* dispatch() const { return m_dispatch; }

    // Looks the member up by name, then invokes it with the arguments in declared order.
    HRESULT Call(std::u16string_view name, uint16_t flags, const std::vector<Variant>& args,
                 Variant* result = nullptr, uint32_t* argErr = nullptr);
    HRESULT Method(std::u16string_view name, const std::vector<Variant>& args, Variant* result = nullptr) {
        return Call(name, DISPATCH_METHOD, args, result);
    }
    HRESULT Get(std::u16string_view name, Variant* result) {
        return Call(name, DISPATCH_PROPERTYGET, {}, result);
    }
    HRESULT Put(std::u16string_view name, const Variant& value);

private:
    IDispatch* m_dispatch = nullptr;
};

} // namespace com
