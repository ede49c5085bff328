// The compact row store behind the recipient grids: what goes in comes out unchanged, whatever its
// length or script, across block boundaries, after replacing and removing rows.
#include "recipients/CompactRows.h"

#include <gtest/gtest.h>

namespace {

QString W(const char* text) {
    return QString::fromUtf8(text);
}

QString Repeat(const char* text, int times) {
    return W(text).repeated(times);
}

void ExpectRow(const CompactRows& rows, size_t row, const GridRecipient& expected) {
    EXPECT_EQ(rows.text(row, 0), expected.firstName) << "row " << row;
    EXPECT_EQ(rows.text(row, 1), expected.lastName) << "row " << row;
    EXPECT_EQ(rows.text(row, 2), expected.email) << "row " << row;
}

} // namespace

TEST(CompactRows, TextsComeBackAsTheyWentIn) {
    const std::vector<GridRecipient> cases = {
        {W(""), W(""), W("")},
        {W("Ann"), W("Lee"), W("ann@example.com")},
        {W("Zoë"), W("Ørsted-Ñúñez"), W("zoë@exämple.de")},
        {W("太郎"), W("山田"), W("taro@例え.jp")},
        {W("🙂 emoji"), W("\t tab and blank "), W("a'b\"c%d_e[f]")},
        // Lengths around the one- and two-byte length prefixes, and a long one.
        {Repeat("a", 127), Repeat("b", 128), Repeat("c", 129)},
        {Repeat("é", 16383), Repeat("x", 16384), Repeat("y", 70000)},
    };
    CompactRows rows;
    for (const GridRecipient& r : cases)
        rows.append(r);
    // The same rows handed over as UTF-8, as the database read does.
    for (const GridRecipient& r : cases)
        rows.append(r.firstName.toUtf8(), r.lastName.toUtf8(), r.email.toUtf8());
    ASSERT_EQ(rows.size(), cases.size() * 2);
    for (size_t i = 0; i < rows.size(); ++i)
        ExpectRow(rows, i, cases[i % cases.size()]);
    EXPECT_EQ(rows.text(rows.size(), 0), QString());
    EXPECT_EQ(rows.text(0, 3), QString());
}

TEST(CompactRows, ManyRowsAndRowsLargerThanABlockStayIntact) {
    CompactRows rows;
    rows.reserve(60000);
    const QString huge = Repeat("0123456789", 300000); // 3 MB: more than one block
    for (int i = 0; i < 60000; ++i) {
        if (i == 25000)
            rows.append({huge, W("Big"), W("big@example.com")});
        else
            rows.append(QString::number(i).toUtf8(), QByteArrayView("Last"),
                        (QStringLiteral("r%1@example.com").arg(i)).toUtf8());
    }
    ASSERT_EQ(rows.size(), 60000u);
    for (int i : {0, 1, 24999, 25001, 40000, 59999})
        ExpectRow(rows, size_t(i), {QString::number(i), W("Last"), QStringLiteral("r%1@example.com").arg(i)});
    ExpectRow(rows, 25000, {huge, W("Big"), W("big@example.com")});
    // Compact: well under the 3 QStrings a row would cost (some 200 bytes for rows like these).
    EXPECT_LT(rows.bytesHeld(), size_t(60000) * 60 + huge.size() + (size_t(2) << 20));

    rows.clear();
    EXPECT_EQ(rows.size(), 0u);
    rows.append({W("After"), W("Clear"), W("after@example.com")});
    ExpectRow(rows, 0, {W("After"), W("Clear"), W("after@example.com")});
}

TEST(CompactRows, ReplaceAndRemoveKeepTheOtherRowsInPlace) {
    CompactRows rows;
    for (const char* name : {"a", "b", "c", "d"})
        rows.append({W(name), W(name), W(name) + W("@x.com")});
    rows.replace(1, {W("Bee"), W("Longer last name than before"), W("bee@x.com")});
    rows.remove(0);
    rows.remove(2);
    rows.replace(7, {W("out of range"), W(""), W("")});
    rows.remove(9);
    ASSERT_EQ(rows.size(), 2u);
    ExpectRow(rows, 0, {W("Bee"), W("Longer last name than before"), W("bee@x.com")});
    ExpectRow(rows, 1, {W("c"), W("c"), W("c@x.com")});
    const GridRecipient row = rows.row(1);
    EXPECT_EQ(row.email, W("c@x.com"));
}
