#include "recipients/CompactRows.h"

#include <cstring>

namespace {

// Blocks of 1 MiB: large enough that a million rows need only ~60 of them, small enough that the last,
// partly used one wastes little. A row larger than a block gets a block of its own.
constexpr size_t kBlockBytes = size_t(1) << 20;

// Lengths are written as 7-bit groups, low first, so the usual short text costs one byte.
size_t lengthBytes(size_t length) {
    size_t n = 1;
    while (length >= 0x80) {
        length >>= 7;
        ++n;
    }
    return n;
}

char* putLength(char* out, size_t length) {
    while (length >= 0x80) {
        *out++ = char(0x80 | (length & 0x7f));
        length >>= 7;
    }
    *out++ = char(length);
    return out;
}

const char* getLength(const char* in, size_t* length) {
    size_t value = 0;
    int shift = 0;
    unsigned char c = 0;
    do {
        c = static_cast<unsigned char>(*in++);
        value |= size_t(c & 0x7f) << shift;
        shift += 7;
    } while (c & 0x80);
    *length = value;
    return in;
}

char* putText(char* out, QByteArrayView text) {
    out = putLength(out, size_t(text.size()));
    if (!text.isEmpty())
        std::memcpy(out, text.data(), size_t(text.size()));
    return out + text.size();
}

constexpr int kBlockShift = 32;

} // namespace

void CompactRows::clear() {
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_blockSizes.clear();
    m_used = 0;
    m_rows.clear();
    m_rows.shrink_to_fit();
}

void CompactRows::reserve(size_t rows) {
    m_rows.reserve(rows);
}

char* CompactRows::place(size_t bytes, uint64_t* position) {
    if (m_blocks.empty() || m_used + bytes > m_blockSizes.back()) {
        const size_t size = std::max(bytes, kBlockBytes);
        m_blocks.push_back(std::make_unique<char[]>(size));
        m_blockSizes.push_back(size);
        m_used = 0;
    }
    *position = (uint64_t(m_blocks.size() - 1) << kBlockShift) | uint64_t(m_used);
    char* out = m_blocks.back().get() + m_used;
    m_used += bytes;
    return out;
}

const char* CompactRows::at(uint64_t position) const {
    return m_blocks[size_t(position >> kBlockShift)].get() + size_t(position & 0xffffffffu);
}

void CompactRows::append(QByteArrayView firstName, QByteArrayView lastName, QByteArrayView email) {
    const size_t bytes = lengthBytes(size_t(firstName.size())) + size_t(firstName.size()) +
                         lengthBytes(size_t(lastName.size())) + size_t(lastName.size()) +
                         lengthBytes(size_t(email.size())) + size_t(email.size());
    uint64_t position = 0;
    char* out = place(bytes, &position);
    out = putText(out, firstName);
    out = putText(out, lastName);
    putText(out, email);
    m_rows.push_back(position);
}

void CompactRows::append(const GridRecipient& row) {
    append(row.firstName.toUtf8(), row.lastName.toUtf8(), row.email.toUtf8());
}

void CompactRows::replace(size_t row, const GridRecipient& recipient) {
    if (row >= m_rows.size())
        return;
    append(recipient);
    m_rows[row] = m_rows.back();
    m_rows.pop_back();
}

void CompactRows::remove(size_t row) {
    if (row < m_rows.size())
        m_rows.erase(m_rows.begin() + std::ptrdiff_t(row));
}

QString CompactRows::text(size_t row, int field) const {
    if (row >= m_rows.size() || field < 0 || field > 2)
        return QString();
    const char* in = at(m_rows[row]);
    size_t length = 0;
    for (int f = 0;; ++f) {
        in = getLength(in, &length);
        if (f == field)
            return QString::fromUtf8(in, qsizetype(length));
        in += length;
    }
}

GridRecipient CompactRows::row(size_t row) const {
    return {text(row, 0), text(row, 1), text(row, 2)};
}

size_t CompactRows::bytesHeld() const {
    size_t bytes = m_rows.capacity() * sizeof(uint64_t);
    for (size_t size : m_blockSizes)
        bytes += size;
    return bytes;
}
