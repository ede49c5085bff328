#include "transfer/ImportFileReader.h"

#include <QBuffer>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

namespace {

// Windows-1252 code points for the bytes 0x80 to 0x9F; the five unassigned bytes keep their C1 value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t cp1252(unsigned char b) {
    return b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b);
}

// Writes the text of Windows-1252 bytes, NULs dropped, to out; returns the end of what it wrote.
char16_t* decodeCp1252(char16_t* out, const unsigned char* p, qsizetype n) {
    for (qsizetype i = 0; i < n; ++i)
        if (p[i] != 0)
            *out++ = cp1252(p[i]);
    return out;
}

// Writes the text of UTF-8 bytes, NULs dropped, to out; a byte that starts no valid sequence (the rules
// of Utf8Check) is read as its Windows-1252 character. Returns the end of what it wrote; *used tells how
// many bytes it read: all of them when last, otherwise all but a sequence the end cuts short.
char16_t* decodeUtf8(char16_t* out, const unsigned char* p, qsizetype n, bool last, qsizetype* used) {
    qsizetype i = 0;
    while (i < n) {
        // Plain ASCII without NULs, the bulk of any list, goes eight bytes at a time.
        constexpr quint64 kLow = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
        while (i + 8 <= n) {
            quint64 v;
            std::memcpy(&v, p + i, 8);
            if ((v & kHigh) != 0 || ((v - kLow) & ~v & kHigh) != 0)
                break;
            for (int k = 0; k < 8; ++k)
                out[k] = p[i + k];
            out += 8;
            i += 8;
        }
        if (i >= n)
            break;
        const unsigned char c = p[i];
        if (c < 0x80) {
            if (c != 0)
                *out++ = c;
            ++i;
            continue;
        }
        int need = 0;
        unsigned char low = 0x80, high = 0xBF;
        char32_t code = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            need = 1;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            need = 2;
            code = c & 0x0F;
            low = c == 0xE0 ? 0xA0 : 0x80;
            high = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            need = 3;
            code = c & 0x07;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF;
        }
        int k = 1;
        for (; need > 0 && k <= need && i + k < n; ++k) {
            const unsigned char t = p[i + k];
            if (t < (k == 1 ? low : 0x80) || t > (k == 1 ? high : 0xBF))
                break;
            code = code << 6 | (t & 0x3F);
        }
        if (need > 0 && k > need) {
            if (code >= 0x10000) {
                *out++ = char16_t(0xD7C0 + (code >> 10));
                *out++ = char16_t(0xDC00 | (code & 0x3FF));
            } else {
                *out++ = char16_t(code);
            }
            i += need + 1;
        } else if (need > 0 && i + k >= n && !last) {
            break; // the rest of the sequence is in the next block
        } else {
            *out++ = cp1252(c);
            ++i;
        }
    }
    *used = i;
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

} // namespace

bool ImportFileReader::Open(const QString& path) {
    m_file.setFileName(path);
    m_device = nullptr;
    // Only a plain file has an end to read to: a pipe would block the open itself, a device may never end.
    if (!QFileInfo(path).isFile() || !m_file.open(QIODevice::ReadOnly)) {
        m_failed = true;
        m_atEnd = true;
        return false;
    }
    m_device = &m_file;
    return start();
}

bool ImportFileReader::Open(QIODevice* device) {
    m_device = device;
    return start();
}

// The next block into m_block: its size, 0 at the end, -1 when the read failed.
qint64 ImportFileReader::readBlock() {
    m_block.resize(BlockSize);
    const qint64 n = m_device->read(m_block.data(), BlockSize);
    if (n < 0) {
        m_failed = true;
        m_block.resize(0);
        return -1;
    }
    m_block.resize(n);
    m_bytesRead += n;
    return n;
}

// Decides the encoding from the first block, which then stays in m_block to be decoded first.
bool ImportFileReader::start() {
    m_size = m_device->size();
    m_failed = false;
    m_atEnd = false;
    m_pending.resize(0);
    m_pos = 0;
    startRecord();
    m_skipLine = m_pendingEnd = m_started = false;
    m_linesBefore = m_firstLine = m_lastLine = 0;
    m_bytesRead = m_charsDecoded = m_charsDropped = 0;
    m_carry.resize(0);
    if (readBlock() < 0) {
        m_atEnd = true;
        return false;
    }
    const QByteArray& first = m_block;
    m_bomLength = 0;
    bool eightBit = false;
    // Only a mark at the very start is a BOM; the same bytes later in the file are text.
    if (first.startsWith("\xEF\xBB\xBF")) {
        m_encoding = Encoding::Utf8;
        m_bomLength = 3;
    } else if (first.startsWith("\xFF\xFE")) {
        m_encoding = Encoding::Utf16LE;
        m_bomLength = 2;
    } else if (first.startsWith("\xFE\xFF")) {
        m_encoding = Encoding::Utf16BE;
        m_bomLength = 2;
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
    if (eightBit) {
        // A sequence cut off by the block's end counts as valid when more of the file follows.
        Utf8Check check;
        check.feed(reinterpret_cast<const unsigned char*>(first.constData()), first.size());
        const bool more = first.size() < m_size;
        m_encoding = (more ? check.valid() : check.complete()) ? Encoding::Utf8 : Encoding::Windows1252;
    }
    if (m_encoding == Encoding::Utf16LE || m_encoding == Encoding::Utf16BE)
        m_decoder = QStringDecoder(m_encoding == Encoding::Utf16LE ? QStringConverter::Utf16LE
                                                                   : QStringConverter::Utf16BE);
    m_block.remove(0, m_bomLength);
    return true;
}

qint64 ImportFileReader::Position() const {
    const qint64 given = m_charsDropped + m_pos;
    if (m_atEnd && given >= m_charsDecoded)
        return m_size;
    if (m_charsDecoded <= 0)
        return m_bomLength;
    return m_bomLength + (m_bytesRead - m_bomLength) * given / m_charsDecoded;
}

// Decodes the block read last (the first one is read by start) onto the end of *text and reads the next.
// False once there is nothing more to decode.
bool ImportFileReader::appendText(QString* text) {
    if (m_atEnd)
        return false;
    const qsizetype before = text->size();
    const QByteArray* bytes = &m_block;
    if (!m_carry.isEmpty()) {
        m_joined.resize(0);
        m_joined.append(m_carry).append(m_block);
        bytes = &m_joined;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(bytes->constData());
    const qsizetype n = bytes->size();
    const bool last = m_block.isEmpty();
    text->resize(before + n);
    auto* out = reinterpret_cast<char16_t*>(text->data()) + before;
    char16_t* end = out;
    qsizetype used = n;
    switch (m_encoding) {
    case Encoding::Utf8:
        end = decodeUtf8(out, p, n, last, &used);
        break;
    case Encoding::Windows1252:
        end = decodeCp1252(out, p, n);
        break;
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
        end = reinterpret_cast<char16_t*>(m_decoder.appendToBuffer(reinterpret_cast<QChar*>(out), *bytes));
        end = std::remove(out, end, u'\0');
        break;
    }
    // As a decoder does, a mark right after the BOM is dropped with it.
    if (!m_started && end > out && *out == 0xFEFF && m_encoding == Encoding::Utf8 && m_bomLength > 0)
        end = std::copy(out + 1, end, out);
    m_started = m_started || end > out;
    if (m_encoding == Encoding::Utf8)
        m_carry = bytes->sliced(used);
    text->resize(before + (end - out));
    m_charsDecoded += end - out;
    if (last || readBlock() < 0)
        m_atEnd = last || m_failed;
    return true;
}

bool ImportFileReader::ReadText(QString* text) {
    text->resize(0);
    while (text->isEmpty() && appendText(text)) {
    }
    m_charsDropped += text->size();
    return !text->isEmpty();
}

bool ImportFileReader::fill() {
    // Drop what was given out already, so the buffer holds at most the current record and one block.
    // The rest moves to the front of the same buffer: removing from the front would only move the
    // buffer's start, and the next block would then need a new allocation.
    const qsizetype keep = m_pending.size() - m_pos;
    if (m_pos > 0 && keep > 0) {
        QChar* d = m_pending.data();
        std::memmove(d, d + m_pos, size_t(keep) * sizeof(QChar));
    }
    m_pending.resize(keep);
    m_charsDropped += m_pos;
    m_scan -= m_pos;
    if (m_firstBreak >= 0)
        m_firstBreak -= m_pos;
    m_pos = 0;
    const qsizetype before = m_pending.size();
    while (m_pending.size() == before && appendText(&m_pending)) {
    }
    if (m_pending.size() == before) {
        m_pendingEnd = true;
        return false;
    }
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
    record->resize(0); // the caller's string keeps its room from record to record
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
            m_charsDropped += m_pending.size();
            m_pending.resize(0);
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
    record->resize(0);
    record->append(QStringView(m_pending).sliced(m_pos, end - m_pos));
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
