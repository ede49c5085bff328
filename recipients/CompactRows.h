#pragma once
#include "recipients/RecipientStore.h"

#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// The rows of a recipient grid held compactly: the three texts of a row (first name, last name, e-mail)
// as UTF-8 one after another in large shared blocks, and per row only its 8-byte position. A million
// rows of ordinary names and addresses take about 60 MB instead of the 250 MB of three QStrings each,
// and appending never copies what is already held. Texts are made into QStrings only when asked for
// (the rows on screen).
class CompactRows {
public:
    CompactRows() = default;
    CompactRows(const CompactRows&) = delete;
    CompactRows& operator=(const CompactRows&) = delete;

    void clear();
    // Room for this many rows in all, so a load of a known count never moves the positions.
    void reserve(size_t rows);
    size_t size() const { return m_rows.size(); }

    // Appends a row from UTF-8 texts (as the database hands them over) or from QStrings.
    void append(QByteArrayView firstName, QByteArrayView lastName, QByteArrayView email);
    void append(const GridRecipient& row);
    // The row's texts are replaced; the old ones stay in their block until clear().
    void replace(size_t row, const GridRecipient& recipient);
    void remove(size_t row);

    // field: 0 first name, 1 last name, 2 e-mail.
    QString text(size_t row, int field) const;
    GridRecipient row(size_t row) const;

    // Bytes held for texts and positions (for the benchmark and tests).
    size_t bytesHeld() const;

private:
    // Where the three texts of a row start: space for `bytes` more, in the current block or a new one.
    char* place(size_t bytes, uint64_t* position);
    const char* at(uint64_t position) const;

    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<size_t> m_blockSizes;
    size_t m_used = 0; // bytes used in the last block
    std::vector<uint64_t> m_rows;
};
