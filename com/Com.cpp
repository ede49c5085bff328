#include "com/Com.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace com {

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_ITypeInfo = {0x00020401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_NULL = {};

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

std::optional<GUID> ParseGuid(std::string_view text) {
    // {8-4-4-4-12}
    if (text.size() != 38 || text.front() != '{' || text.back() != '}')
        return std::nullopt;
    std::string_view body = text.substr(1, 36);
    uint8_t bytes[16];
    size_t n = 0;
    for (size_t i = 0; i < body.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (body[i] != '-')
                return std::nullopt;
            ++i;
            continue;
        }
        const int hi = HexDigit(body[i]);
        const int lo = i + 1 < body.size() ? HexDigit(body[i + 1]) : -1;
        if (hi < 0 || lo < 0 || n >= 16)
            return std::nullopt;
        bytes[n++] = static_cast<uint8_t>(hi * 16 + lo);
        i += 2;
    }
    if (n != 16)
        return std::nullopt;
    GUID g;
    g.Data1 = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
    g.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    g.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
    std::memcpy(g.Data4, bytes + 8, 8);
    return g;
}

std::string GuidToString(const GUID& g) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                  g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5],
                  g.Data4[6], g.Data4[7]);
    return buffer;
}

BSTR SysAllocStringLen(const char16_t* text, uint32_t length) {
    // The prefix holds the byte count in 32 bits.
    if (length > (std::numeric_limits<uint32_t>::max() - 8) / 2)
        return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(4 + size_t(length) * 2 + 2));
    if (!block)
        return nullptr;
    const uint32_t bytes = length * 2;
    std::memcpy(block, &bytes, 4);
    auto* chars = reinterpret_cast<char16_t*>(block + 4);
    if (text && length)
        std::memcpy(chars, text, size_t(length) * 2);
    else if (length)
        std::memset(chars, 0, size_t(length) * 2);
    chars[length] = 0;
    return chars;
}

BSTR SysAllocString(const char16_t* text) {
    if (!text)
        return nullptr;
    uint32_t n = 0;
    while (text[n])
        ++n;
    return SysAllocStringLen(text, n);
}

void SysFreeString(BSTR text) {
    if (text)
        std::free(reinterpret_cast<unsigned char*>(text) - 4);
}

uint32_t SysStringLen(BSTR text) {
    if (!text)
        return 0;
    uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<unsigned char*>(text) - 4, 4);
    return bytes / 2;
}

std::u16string Utf16FromUtf8(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp = 0;
        size_t extra = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            out.push_back(u'?');
            ++i;
            continue;
        }
        if (i + extra >= s.size()) {
            out.push_back(u'?');
            ++i;
            continue;
        }
        bool ok = true;
        for (size_t k = 1; k <= extra; ++k) {
            const unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        const bool overlong =
            (extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
        if (!ok || overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(u'?');
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += extra + 1;
    }
    return out;
}

std::string Utf8FromUtf16(std::u16string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            out.push_back('?');
            continue;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

BSTR BstrFromUtf8(std::string_view text) {
    const std::u16string wide = Utf16FromUtf8(text);
    if (wide.size() > std::numeric_limits<uint32_t>::max() / 4)
        return nullptr;
    return SysAllocStringLen(wide.data(), static_cast<uint32_t>(wide.size()));
}

std::string Utf8FromBstr(BSTR text) {
    if (!text)
        return {};
    return Utf8FromUtf16(std::u16string_view(text, SysStringLen(text)));
}

void VariantInit(VARIANT* v) {
    if (!v)
        return;
    v->vt = VT_EMPTY;
    v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
    v->llVal = 0;
}

HRESULT VariantClear(VARIANT* v) {
    if (!v)
        return E_INVALIDARG;
    switch (v->vt) {
    case VT_BSTR:
        SysFreeString(v->bstrVal);
        break;
    case VT_UNKNOWN:
        if (v->punkVal)
            v->punkVal->Release();
        break;
    case VT_DISPATCH:
        if (v->pdispVal)
            v->pdispVal->Release();
        break;
    default:
        break;
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
    if (!dest || !src)
        return E_INVALIDARG;
    if (dest == src)
        return S_OK;
    VARIANT copy = *src;
    if (src->vt == VT_BSTR && src->bstrVal) {
        copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
        if (!copy.bstrVal)
            return E_OUTOFMEMORY;
    } else if (src->vt == VT_UNKNOWN && src->punkVal) {
        src->punkVal->AddRef();
    } else if (src->vt == VT_DISPATCH && src->pdispVal) {
        src->pdispVal->AddRef();
    }
    VariantClear(dest);
    *dest = copy;
    return S_OK;
}

namespace {
// The plain value behind a by-reference variant, for reading only.
bool Deref(const VARIANT* src, VARIANT* out) {
    *out = *src;
    if (!(src->vt & VT_BYREF))
        return true;
    const VARTYPE base = src->vt & ~VT_BYREF;
    out->vt = base;
    out->llVal = 0;
    if (!src->plVal)
        return false;
    switch (base) {
    case VT_I4:
        out->lVal = *src->plVal;
        return true;
    case VT_BSTR:
        out->bstrVal = *src->pbstrVal;
        return true;
    case VT_VARIANT:
        if (src->pvarVal->vt & VT_BYREF)
            return false;
        *out = *src->pvarVal;
        return true;
    default:
        return false;
    }
}

std::optional<int64_t> Integral(const VARIANT& v) {
    switch (v.vt) {
    case VT_EMPTY:
        return 0;
    case VT_I2:
        return v.iVal;
    case VT_I4:
    case VT_INT:
        return v.lVal;
    case VT_UI1:
        return v.bVal;
    case VT_UI2:
        return v.uiVal;
    case VT_UI4:
    case VT_UINT:
        return v.ulVal;
    case VT_BOOL:
        return v.boolVal ? -1 : 0;
    default:
        return std::nullopt;
    }
}
} // namespace

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, VARTYPE target) {
    if (!dest || !src)
        return E_INVALIDARG;
    VARIANT value;
    if (!Deref(src, &value))
        return DISP_E_BADVARTYPE;
    VARIANT out;
    VariantInit(&out);
    if (target == VT_I4) {
        std::optional<int64_t> n = Integral(value);
        if (!n && value.vt == VT_R8) {
            const double d = value.dblVal;
            if (!(d >= -2147483648.5 && d < 2147483647.5))
                return DISP_E_OVERFLOW;
            n = static_cast<int64_t>(d < 0 ? d - 0.5 : d + 0.5);
        }
        if (!n && value.vt == VT_BSTR) {
            std::string text = Utf8FromBstr(value.bstrVal);
            const size_t first = text.find_first_not_of(' ');
            const size_t last = text.find_last_not_of(' ');
            if (first == std::string::npos)
                return DISP_E_TYPEMISMATCH;
            text = text.substr(first, last - first + 1);
            int64_t parsed = 0;
            const char* begin = text.data();
            if (*begin == '+')
                ++begin;
            auto [ptr, ec] = std::from_chars(begin, text.data() + text.size(), parsed);
            if (ec == std::errc::result_out_of_range)
                return DISP_E_OVERFLOW;
            if (ec != std::errc() || ptr != text.data() + text.size())
                return DISP_E_TYPEMISMATCH;
            n = parsed;
        }
        if (!n)
            return DISP_E_TYPEMISMATCH;
        if (*n < std::numeric_limits<LONG>::min() || *n > std::numeric_limits<LONG>::max())
            return DISP_E_OVERFLOW;
        out.vt = VT_I4;
        out.lVal = static_cast<LONG>(*n);
    } else if (target == VT_BSTR) {
        out.vt = VT_BSTR;
        if (value.vt == VT_BSTR) {
            out.bstrVal =
                value.bstrVal ? SysAllocStringLen(value.bstrVal, SysStringLen(value.bstrVal)) : nullptr;
            if (value.bstrVal && !out.bstrVal)
                return E_OUTOFMEMORY;
        } else if (value.vt == VT_EMPTY) {
            out.bstrVal = SysAllocStringLen(u"", 0);
        } else if (std::optional<int64_t> n = Integral(value); n && value.vt != VT_BOOL) {
            out.bstrVal = BstrFromUtf8(std::to_string(*n));
        } else if (value.vt == VT_BOOL) {
            out.bstrVal = BstrFromUtf8(value.boolVal ? "True" : "False");
        } else {
            return DISP_E_TYPEMISMATCH;
        }
    } else if (target == value.vt && !(target == VT_UNKNOWN || target == VT_DISPATCH || target == VT_BSTR)) {
        out = value;
    } else {
        return DISP_E_TYPEMISMATCH;
    }
    VariantClear(dest);
    *dest = out;
    return S_OK;
}

} // namespace com
