#include "transfer/ImportFileReader.h"

#include <QBuffer>
#include <QFileInfo>
#include <cstring>

namespace {

// Windows-1252 code points for the bytes 0x80 to 0x9F; the five unassigned bytes keep their C1 value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString decodeCp1252(const QByteArray& bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *d++ = QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
    }
    return out;
}

// Text without a BOM is taken for UTF-16 when most of its even (BE) or odd (LE) bytes are zero and the
// others almost never are: plain text in UTF-16 looks like that, Western text in 8 bits never does.
// The file's size decides whether it can be UTF-16 at all; its first bytes are the sample.
enum class Utf16Guess { None, LittleEndian, BigEndian };
Utf16Guess guessUtf16(const QByteArray& first, qint64 fileSize) {
    if (fileSize / 2 < 2 || fileSize % 2 != 0)
        return Utf16Guess::None;
    const qsizetype sample = std::min<qsizetype>(first.size() / 2, 4096);
    if (sample < 2)
        return Utf16Guess::None;
    qsizetype evenZero = 0, oddZero = 0;
    for (qsizetype i = 0; i < sample; ++i) {
        evenZero += first[2 * i] == 0;
        oddZero += first[2 * i + 1] == 0;
    }
    if (oddZero * 10 >= sample * 7 && evenZero * 20 <= sample)
        return Utf16Guess::LittleEndian;
    if (evenZero * 10 >= sample * 7 && oddZero * 20 <= sample)
        return Utf16Guess::BigEndian;
    return Utf16Guess::None;
}

// A UTF-8 check fed block by block: a sequence cut by a block boundary carries over. It accepts exactly
// what a strict decoder accepts (no overlong forms, no surrogates, nothing above U+10FFFF).
class Utf8Check {
public:
    void feed(const unsigned char* p, qsizetype n) {
        qsizetype i = 0;
        while (i < n && m_valid) {
            if (m_need == 0) {
                // Plain ASCII eight bytes at a time: most import files are nothing else.
                while (i + 8 <= n) {
                    quint64 word;
                    std::memcpy(&word, p + i, 8);
                    if (word & 0x8080808080808080ULL)
                        break;
                    i += 8;
                }
                if (i >= n)
                    break;
                const unsigned char c = p[i++];
                if (c < 0x80)
                    continue;
                m_low = 0x80;
                m_high = 0xBF;
                if (c >= 0xC2 && c <= 0xDF) {
                    m_need = 1;
                } else if (c == 0xE0) {
                    m_need = 2;
                    m_low = 0xA0;
                } else if ((c >= 0xE1 && c <= 0xEC) || c == 0xEE || c == 0xEF) {
                    m_need = 2;
                } else if (c == 0xED) {
                    m_need = 2;
                    m_high = 0x9F;
                } else if (c == 0xF0) {
                    m_need = 3;
                    m_low = 0x90;
                } else if (c >= 0xF1 && c <= 0xF3) {
                    m_need = 3;
                } else if (c == 0xF4) {
                    m_need = 3;
                    m_high = 0x8F;
                } else {
                    m_valid = false;
                }
            } else {
                const unsigned char c = p[i++];
                if (c < m_low || c > m_high) {
                    m_valid = false;
                    break;
                }
                --m_need;
                m_low = 0x80;
                m_high = 0xBF;
            }
        }
    }
    bool valid() const { return m_valid; }
    // Valid and not ending inside a sequence.
    bool complete() const { return m_valid && m_need == 0; }

private:
    int m_need = 0;
    unsigned char m_low = 0x80;
    unsigned char m_high = 0xBF;
    bool m_valid = true;
};

// Counts lines as ReadRecord cuts them without quotes, one code unit at a time; NUL units are skipped because
// the decoded text drops them (so CR NUL LF is one line end, as in the text).
class LineCounter {
public:
    void unit(char16_t u) {
        if (u == 0)
            return;
        if (u == u'\n') {
            if (!m_afterCr)
                ++m_ends;
            m_afterCr = false;
            m_open = false;
        } else if (u == u'\r') {
            ++m_ends;
            m_afterCr = true;
            m_open = false;
        } else {
            m_afterCr = false;
            m_open = true;
        }
    }
    qint64 lines() const { return m_ends + (m_open ? 1 : 0); }

private:
    qint64 m_ends = 0;
    bool m_afterCr = false;
    bool m_open = false;
};

} // namespace

bool ImportFileReader::Open(const QString& path, Scope scope) {
    m_file.setFileName(path);
    m_device = nullptr;
    // Only a plain file has an end to read to: a pipe would block the open itself, a device may never end.
    if (!QFileInfo(path).isFile() || !m_file.open(QIODevice::ReadOnly)) {
        m_failed = true;
        m_atEnd = true;
        return false;
    }
    m_device = &m_file;
    return start(scope);
}

bool ImportFileReader::Open(QIODevice* device, Scope scope) {
    m_device = device;
    return start(scope);
}

qint64 ImportFileReader::readBlock(QByteArray* block) {
    block->resize(BlockSize);
    const qint64 n = m_device->read(block->data(), BlockSize);
    if (n < 0) {
        m_failed = true;
        block->clear();
        return -1;
    }
    block->resize(n);
    return n;
}

bool ImportFileReader::start(Scope scope) {
    m_size = m_device->size();
    m_failed = false;
    m_atEnd = false;
    m_lineCount = 0;
    m_pending.clear();
    m_pos = m_scan = 0;
    m_pendingEnd = false;

    QByteArray first;
    if (readBlock(&first) < 0) {
        m_atEnd = true;
        return false;
    }
    qint64 bomLength = 0;
    bool eightBit = false;
    // Only a mark at the very start is a BOM; the same bytes later in the file are text.
    if (first.startsWith("\xEF\xBB\xBF")) {
        m_encoding = Encoding::Utf8;
        bomLength = 3;
    } else if (first.startsWith("\xFF\xFE")) {
        m_encoding = Encoding::Utf16LE;
        bomLength = 2;
    } else if (first.startsWith("\xFE\xFF")) {
        m_encoding = Encoding::Utf16BE;
        bomLength = 2;
    } else {
        switch (guessUtf16(first, m_size)) {
        case Utf16Guess::LittleEndian:
            m_encoding = Encoding::Utf16LE;
            break;
        case Utf16Guess::BigEndian:
            m_encoding = Encoding::Utf16BE;
            break;
        case Utf16Guess::None:
            eightBit = true;
            break;
        }
    }

    if (scope == Scope::WholeFile) {
        if (!scanWhole(bomLength, eightBit)) {
            m_atEnd = true;
            return false;
        }
    } else if (eightBit) {
        // From the first block alone: a sequence cut off by the block's end counts as valid when more
        // of the file follows.
        Utf8Check check;
        check.feed(reinterpret_cast<const unsigned char*>(first.constData()), first.size());
        const bool more = first.size() < m_size;
        m_encoding = (more ? check.valid() : check.complete()) ? Encoding::Utf8 : Encoding::Windows1252;
    }

    m_bomLength = bomLength;
    return Rewind();
}

bool ImportFileReader::Rewind() {
    m_pending.clear();
    m_pos = 0;
    startRecord();
    m_skipLine = false;
    m_pendingEnd = false;
    m_linesBefore = m_firstLine = m_lastLine = 0;
    if (!m_device || !m_device->seek(m_bomLength)) {
        m_failed = true;
        m_atEnd = true;
        return false;
    }
    m_atEnd = false;
    switch (m_encoding) {
    case Encoding::Utf8:
        m_decoder = QStringDecoder(QStringConverter::Utf8);
        break;
    case Encoding::Utf16LE:
        m_decoder = QStringDecoder(QStringConverter::Utf16LE);
        break;
    case Encoding::Utf16BE:
        m_decoder = QStringDecoder(QStringConverter::Utf16BE);
        break;
    case Encoding::Windows1252:
        break;
    }
    return true;
}

// One pass over every byte: settles UTF-8 against Windows-1252 (for 8-bit text) and counts the lines.
// Nothing of the file is kept.
bool ImportFileReader::scanWhole(qint64 from, bool check8Bit) {
    if (!m_device->seek(from)) {
        m_failed = true;
        return false;
    }
    const bool utf16 = m_encoding == Encoding::Utf16LE || m_encoding == Encoding::Utf16BE;
    const bool bigEndian = m_encoding == Encoding::Utf16BE;
    Utf8Check check;
    LineCounter lines;
    QByteArray block;
    int carry = -1; // a UTF-16 byte whose partner lies in the next block
    for (;;) {
        const qint64 n = readBlock(&block);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        const auto* p = reinterpret_cast<const unsigned char*>(block.constData());
        if (utf16) {
            qsizetype i = 0;
            if (carry >= 0) {
                lines.unit(bigEndian ? char16_t(carry << 8 | p[0]) : char16_t(p[0] << 8 | carry));
                i = 1;
                carry = -1;
            }
            for (; i + 1 < n; i += 2)
                lines.unit(bigEndian ? char16_t(p[i] << 8 | p[i + 1]) : char16_t(p[i + 1] << 8 | p[i]));
            if (i < n)
                carry = p[i];
        } else {
            if (check8Bit)
                check.feed(p, n);
            // CR, LF and NUL never occur inside a UTF-8 sequence, so bytes count like units.
            for (qsizetype i = 0; i < n; ++i)
                if (p[i] <= '\r')
                    lines.unit(p[i]);
                else
                    lines.unit(u'x');
        }
    }
    if (check8Bit)
        m_encoding = check.complete() ? Encoding::Utf8 : Encoding::Windows1252;
    m_lineCount = lines.lines();
    return true;
}

bool ImportFileReader::ReadText(QString* text) {
    text->clear();
    while (!m_atEnd && text->isEmpty()) {
        QByteArray block;
        const qint64 n = readBlock(&block);
        if (n <= 0) {
            m_atEnd = true;
            break;
        }
        *text = m_encoding == Encoding::Windows1252 ? decodeCp1252(block) : m_decoder.decode(block);
        text->remove(QChar(0));
    }
    return !text->isEmpty();
}

bool ImportFileReader::fill() {
    QString more;
    if (!ReadText(&more)) {
        m_pendingEnd = true;
        return false;
    }
    // Drop what was given out already, so the buffer holds at most the current record and one block.
    m_pending.remove(0, m_pos);
    m_scan -= m_pos;
    if (m_firstBreak >= 0)
        m_firstBreak -= m_pos;
    m_pos = 0;
    m_pending += more;
    return true;
}

void ImportFileReader::startRecord() {
    m_scan = m_pos;
    m_quotes.Restart();
    m_firstBreak = -1;
    m_breaks = 0;
}

// Goes past the end of the line that was too long, dropping its text block by block. False at the end.
bool ImportFileReader::skipLine() {
    for (;;) {
        const QChar* s = m_pending.constData();
        const qsizetype n = m_pending.size();
        qsizetype i = m_pos;
        while (i < n && s[i] != u'\r' && s[i] != u'\n')
            ++i;
        m_pos = m_scan = i;
        if (i < n && (s[i] == u'\n' || i + 1 < n || m_pendingEnd)) {
            m_pos = i + (s[i] == u'\r' && i + 1 < n && s[i + 1] == u'\n' ? 2 : 1);
            m_skipLine = false;
            startRecord();
            return true;
        }
        if (m_pendingEnd) {
            m_skipLine = false;
            startRecord();
            return false;
        }
        fill();
    }
}

ImportFileReader::Record ImportFileReader::ReadRecord(QString* record, const RecordRule& rule) {
    record->clear();
    if (m_skipLine && !skipLine())
        return Record::End;
    m_quotes = QuoteScan(rule.delimiter);
    for (;;) {
        const QChar* s = m_pending.constData();
        const qsizetype n = m_pending.size();
        qsizetype i = m_scan;
        qsizetype end = -1; // where the record ends: the first line end outside quotes
        bool stray = false; // a quoted field spanning lines closed as no field closes, or spans too many
        for (; i < n; ++i) {
            const char16_t c = s[i].unicode();
            if (rule.limit >= 0 && i - m_pos > rule.limit)
                break;
            if (!rule.quotes) {
                if (c == u'\r' || c == u'\n') {
                    end = i;
                    break;
                }
                continue;
            }
            const QuoteScan::Kind kind = m_quotes.Step(c);
            if (kind == QuoteScan::Kind::LineEnd) {
                end = i;
                break;
            }
            if (kind == QuoteScan::Kind::BreakInQuotes) {
                // An opening quote stands before, so s[i - 1] is still in the buffer.
                if (m_firstBreak < 0)
                    m_firstBreak = i;
                if (c == u'\r' || s[i - 1] != u'\r')
                    ++m_breaks;
                if (rule.lines >= 0 && m_breaks >= rule.lines) {
                    stray = true;
                    break;
                }
            } else if (kind == QuoteScan::Kind::Stray) {
                stray = true;
                break;
            }
        }
        m_scan = i;
        const bool overLimit = end < 0 && !stray && i < n;
        const bool unclosedAtEnd = end < 0 && !stray && i >= n && m_pendingEnd && m_quotes.InQuotes();
        // The quote protected nothing: the record is its first line, cut as plain text.
        if (stray || ((overLimit || unclosedAtEnd) && m_firstBreak >= 0))
            return giveRecord(record, m_firstBreak, 1);
        if (overLimit) {
            *record = m_pending.mid(m_pos, rule.limit);
            m_skipLine = true;
            m_firstLine = m_lastLine = ++m_linesBefore;
            return Record::TooLong;
        }
        if (end >= 0 || (m_pendingEnd && m_pos < n))
            return giveRecord(record, end >= 0 ? end : n, m_breaks + 1);
        if (m_pendingEnd) {
            m_pending.clear();
            m_pos = 0;
            startRecord();
            return Record::End;
        }
        fill();
    }
}

// Gives the text from m_pos up to end (a line end, or the end of the text) as a record of that many
// lines, and goes past its line end.
ImportFileReader::Record ImportFileReader::giveRecord(QString* record, qsizetype end, qint64 lines) {
    // A CR at the end of the buffer may be the first half of CR LF: look at the next block first.
    if (end + 1 == m_pending.size() && m_pending[end] == u'\r' && !m_pendingEnd) {
        const qsizetype dropped = m_pos;
        if (fill())
            end -= dropped;
    }
    const qsizetype n = m_pending.size();
    *record = m_pending.mid(m_pos, end - m_pos);
    if (end >= n)
        m_pos = n;
    else
        m_pos = end + (m_pending[end] == u'\r' && end + 1 < n && m_pending[end + 1] == u'\n' ? 2 : 1);
    m_firstLine = m_linesBefore + 1;
    m_lastLine = m_linesBefore += lines;
    startRecord();
    return Record::Read;
}

QString DecodeImportText(const QByteArray& bytes) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    ImportFileReader reader;
    QString text, piece;
    if (reader.Open(&buffer))
        while (reader.ReadText(&piece))
            text += piece;
    return text;
}
