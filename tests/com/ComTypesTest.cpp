// Strings, GUIDs and VARIANT conversions of the COM layer.
#include "com/Com.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace com;

TEST(ComStrings, LengthPrefixCarriesEmbeddedZerosAndTheTerminatorFollows) {
    const char16_t text[] = {u'a', 0, u'b'};
    BSTR s = SysAllocStringLen(text, 3);
    ASSERT_NE(s, nullptr);
    uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<unsigned char*>(s) - 4, 4);
    EXPECT_EQ(prefix, 6u); // bytes, not characters
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(s[3], 0);
    EXPECT_EQ(Utf8FromBstr(s), std::string("a\0b", 3));
    SysFreeString(s);

    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(Utf8FromBstr(nullptr), "");
    SysFreeString(nullptr);
    BSTR empty = SysAllocString(u"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0u);
    SysFreeString(empty);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
}

TEST(ComStrings, NarrowAndWideConversionsRoundTripAndReplaceWhatCannotBeCarried) {
    struct Case {
        std::string utf8;
        std::u16string wide;
    } exact[] = {
        {"plain", u"plain"},
        {"h\xC3\xB4te", u"h\u00F4te"},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"}, // a surrogate pair
        {"", u""},
    };
    for (const Case& c : exact) {
        EXPECT_EQ(Utf16FromUtf8(c.utf8), c.wide) << c.utf8;
        EXPECT_EQ(Utf8FromUtf16(c.wide), c.utf8) << c.utf8;
    }
    // Broken input never reads past its end and becomes '?'.
    EXPECT_EQ(Utf16FromUtf8("a\xC3"), u"a?");
    EXPECT_EQ(Utf16FromUtf8("\xF0\x9F"), u"??");
    EXPECT_EQ(Utf16FromUtf8("\xC0\x80"), u"??");        // overlong zero
    EXPECT_EQ(Utf16FromUtf8("\xED\xA0\x80x"), u"???x"); // an encoded surrogate
    EXPECT_EQ(Utf8FromUtf16(std::u16string(1, char16_t(0xD800)) + u"x"), "?x");
    EXPECT_EQ(Utf8FromUtf16(std::u16string(1, char16_t(0xDC00))), "?");
}

TEST(ComGuids, ParseAndFormatInRegistryForm) {
    const std::optional<GUID> g = ParseGuid("{d94a2b33-B840-11D1-8042-00aa00336a3e}");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->Data1, 0xD94A2B33u);
    EXPECT_EQ(g->Data2, 0xB840);
    EXPECT_EQ(g->Data3, 0x11D1);
    EXPECT_EQ(g->Data4[0], 0x80);
    EXPECT_EQ(g->Data4[7], 0x3E);
    EXPECT_EQ(GuidToString(*g), "{D94A2B33-B840-11D1-8042-00AA00336A3E}");
    for (const char* bad :
         {"", "{}", "D94A2B33-B840-11D1-8042-00AA00336A3E", "{D94A2B33-B840-11D1-8042-00AA00336A3}",
          "{D94A2B33-B840-11D1-8042-00AA00336A3EE}", "{D94A2B33B840-11D1-8042-00AA00336A3E0}",
          "{G94A2B33-B840-11D1-8042-00AA00336A3E}", "{D94A2B33-B840-11D1-8042+00AA00336A3E}"})
        EXPECT_FALSE(ParseGuid(bad)) << bad;
    EXPECT_EQ(GuidToString(IID_IDispatch), "{00020400-0000-0000-C000-000000000046}");
}

namespace {
VARIANT Of(VARTYPE vt, int64_t bits = 0) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    v.llVal = bits;
    return v;
}
} // namespace

TEST(ComVariants, ConversionToLongAndText) {
    struct Case {
        const char* what;
        VARIANT in;
        VARTYPE to;
        HRESULT hr;
        LONG number;
        std::string text;
    };
    VARIANT r8 = Of(VT_R8);
    r8.dblVal = 2.6;
    VARIANT big = Of(VT_R8);
    big.dblVal = 3e9;
    VARIANT i2 = Of(VT_I2);
    i2.iVal = -7;
    VARIANT boolTrue = Of(VT_BOOL);
    boolTrue.boolVal = -1;
    VARIANT ui4 = Of(VT_UI4);
    ui4.ulVal = 4000000000u;
    const Case cases[] = {
        {"empty to long", Of(VT_EMPTY), VT_I4, S_OK, 0, ""},
        {"empty to text", Of(VT_EMPTY), VT_BSTR, S_OK, 0, ""},
        {"short", i2, VT_I4, S_OK, -7, ""},
        {"short to text", i2, VT_BSTR, S_OK, 0, "-7"},
        {"double rounds", r8, VT_I4, S_OK, 3, ""},
        {"double too big", big, VT_I4, DISP_E_OVERFLOW, 0, ""},
        {"unsigned too big", ui4, VT_I4, DISP_E_OVERFLOW, 0, ""},
        {"boolean", boolTrue, VT_I4, S_OK, -1, ""},
        {"null", Of(VT_NULL), VT_I4, DISP_E_TYPEMISMATCH, 0, ""},
        {"interface", Of(VT_DISPATCH), VT_BSTR, DISP_E_TYPEMISMATCH, 0, ""},
    };
    for (const Case& c : cases) {
        VARIANT out;
        VariantInit(&out);
        EXPECT_EQ(VariantChangeType(&out, &c.in, c.to), c.hr) << c.what;
        if (c.hr == S_OK && c.to == VT_I4) {
            EXPECT_EQ(out.lVal, c.number) << c.what;
        }
        if (c.hr == S_OK && c.to == VT_BSTR) {
            EXPECT_EQ(Utf8FromBstr(out.bstrVal), c.text) << c.what;
        }
        VariantClear(&out);
    }

    // Texts to numbers: decimal only, blanks around allowed, 32-bit range.
    const std::pair<const char*, HRESULT> texts[] = {{"42", S_OK},
                                                     {" -42 ", S_OK},
                                                     {"+5", S_OK},
                                                     {"", DISP_E_TYPEMISMATCH},
                                                     {"4x", DISP_E_TYPEMISMATCH},
                                                     {"2147483648", DISP_E_OVERFLOW},
                                                     {"-2147483648", S_OK},
                                                     {"99999999999999999999", DISP_E_OVERFLOW}};
    for (const auto& [text, hr] : texts) {
        VARIANT in = Of(VT_BSTR);
        in.bstrVal = BstrFromUtf8(text);
        VARIANT out;
        VariantInit(&out);
        EXPECT_EQ(VariantChangeType(&out, &in, VT_I4), hr) << text;
        VariantClear(&in);
        VariantClear(&out);
    }

    // By reference: the value behind the pointer.
    LONG target = 11;
    VARIANT ref = Of(VT_I4 | VT_BYREF);
    ref.plVal = &target;
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(VariantChangeType(&out, &ref, VT_BSTR), S_OK);
    EXPECT_EQ(Utf8FromBstr(out.bstrVal), "11");
    VariantClear(&out);
    VARIANT nullRef = Of(VT_BSTR | VT_BYREF);
    EXPECT_EQ(VariantChangeType(&out, &nullRef, VT_BSTR), DISP_E_BADVARTYPE);
}

TEST(ComVariants, CopyOwnsItsOwnString) {
    VARIANT a = Of(VT_BSTR);
    a.bstrVal = BstrFromUtf8("text");
    VARIANT b;
    VariantInit(&b);
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_NE(a.bstrVal, b.bstrVal);
    VariantClear(&a);
    EXPECT_EQ(a.vt, VT_EMPTY);
    EXPECT_EQ(Utf8FromBstr(b.bstrVal), "text");
    VariantClear(&b);
}
