// The text rules of the editing control: colour values, the charset a file is read with, script literals.
#include "editor/HtmlText.h"

#include <gtest/gtest.h>

using namespace htmltext;

TEST(HtmlText, ColoursReadAsBrowsersReadThem) {
    EXPECT_EQ(NormalizeColor(QStringLiteral("#FF8000")), QStringLiteral("#ff8000"));
    EXPECT_EQ(NormalizeColor(QStringLiteral(" #abc ")), QStringLiteral("#aabbcc"));
    EXPECT_EQ(NormalizeColor(QStringLiteral("Red")), QStringLiteral("#ff0000"));
    EXPECT_EQ(NormalizeColor(QStringLiteral("navy")), QStringLiteral("#000080"));
    // Lenient forms written by old editors and by hand.
    EXPECT_EQ(NormalizeColor(QStringLiteral("ff0000")), QStringLiteral("#ff0000"));
    EXPECT_EQ(NormalizeColor(QStringLiteral("#ff00")), QStringLiteral("#ff0000"));
    EXPECT_EQ(NormalizeColor(QStringLiteral("123")), QStringLiteral("#010203"));
    EXPECT_EQ(NormalizeColor(QStringLiteral("chucknorris")), QStringLiteral("#c00000"));
    EXPECT_EQ(NormalizeColor(QStringLiteral("#1234567890ab")), QStringLiteral("#125690"));
    EXPECT_EQ(NormalizeColor(QString()), QString());
    EXPECT_EQ(NormalizeColor(QStringLiteral("transparent")), QString());
}

TEST(HtmlText, CharsetFromMarkBytesOrDeclaration) {
    // The file says it itself: the engine reads the mark or the declaration.
    EXPECT_EQ(ChooseCharset("\xEF\xBB\xBF<p>x</p>"), QByteArray());
    EXPECT_EQ(ChooseCharset("\xFF\xFE<\0p\0"), QByteArray());
    EXPECT_EQ(
        ChooseCharset("<html><head><META http-equiv=Content-Type content='text/html; charset=iso-8859-2'>"
                      "</head><body>\xE9</body></html>"),
        QByteArray());
    EXPECT_EQ(ChooseCharset("<head><meta charset=\"windows-1251\"></head>\xE9"), QByteArray());
    // A charset mentioned in the body is no declaration.
    EXPECT_EQ(ChooseCharset("<body><p>meta charset=x</p><meta charset=koi8-r>\xE9</body>"),
              QByteArrayLiteral("windows-1252"));
    // Undeclared: UTF-8 when the bytes are valid UTF-8, else Windows-1252.
    EXPECT_EQ(ChooseCharset("<p>caf\xC3\xA9</p>"), QByteArrayLiteral("utf-8"));
    EXPECT_EQ(ChooseCharset("<p>caf\xE9</p>"), QByteArrayLiteral("windows-1252"));
}

TEST(HtmlText, OnlyTextIsTakenForADocument) {
    const struct {
        QByteArray bytes;
        bool text;
    } cases[] = {
        {QByteArray(), true},
        {"<p>caf\xC3\xA9</p>\r\n\t\f", true},
        {"<p>caf\xE9 \x80 \x1B</p>", true}, // Windows-1252 and stray control characters are still text
        {"\xEF\xBB\xBF<p>x</p>", true},
        {QByteArray("\xFF\xFE<\0p\0>\0\x00\x01", 10),
         true}, // UTF-16 with a mark: its zero bytes belong to it
        {QByteArray("\xFE\xFF\0<\0p\0>", 8), true},
        {QByteArray("<p>x\0</p>", 9), false},
        {QByteArray("\xEF\xBB\xBF<p>\0", 7), false},
        {QByteArray("%PDF-1.4\n\x80\0\0\x01", 13), false},
        {QByteArray("\xFF\xFE<\0\0\0p\0", 8), false}, // a zero character in UTF-16
        {QByteArray("\xFE\xFF\0<\0\0", 6), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsText(c.bytes), c.text) << c.bytes.toHex().constData();
}

TEST(HtmlText, ScriptLiteralsCannotBeBrokenOutOf) {
    EXPECT_EQ(JsString(QStringLiteral("a\"b\\c")), QStringLiteral("\"a\\\"b\\\\c\""));
    EXPECT_EQ(JsString(QStringLiteral("1\n2\r")), QStringLiteral("\"1\\u000a2\\u000d\""));
    EXPECT_EQ(JsString(QString(QChar(0x2028))), QStringLiteral("\"\\u2028\""));
    EXPECT_EQ(JsString(QStringLiteral("</script>")), QStringLiteral("\"\\u003c/script\\u003e\""));
    EXPECT_EQ(AttributeText(QStringLiteral("a\"<b>&")), QStringLiteral("a&quot;&lt;b&gt;&amp;"));
}
