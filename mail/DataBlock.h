#pragma once
// The bytes DATA carries for a message. Internal to the mail library.
#include <QByteArray>
#include <QList>

#include <limits>

namespace mail {

// The size of the pieces DATA is written in; the next piece goes when the socket has taken most of the
// last, so a large message is never queued whole.
constexpr qsizetype kDataPiece = 1024 * 1024;

// The message as DATA carries it, made a piece at a time: every line ended by CR LF, a leading "."
// doubled, then ".". The message comes in pieces (a file's encoded content is one, shared with the
// cache), and a large one goes out without a second copy of it in memory.
class DataBlock {
public:
    explicit DataBlock(const QList<QByteArray>& message) : m_message(message) {}

    // The size of the whole block.
    qint64 size() const {
        qint64 n = 0;
        DataBlock counter(m_message);
        counter.run(std::numeric_limits<qsizetype>::max(),
                    [&n](const char*, qsizetype length) { n += length; });
        return n;
    }

    bool atEnd() const { return m_done; }

    // The next piece of the block, of about maxBytes.
    QByteArray next(qsizetype maxBytes) {
        QByteArray out;
        out.reserve(maxBytes + 8);
        run(maxBytes, [&out](const char* bytes, qsizetype length) { out.append(bytes, length); });
        return out;
    }

private:
    template <typename Out>
    void run(qsizetype maxBytes, Out&& put) {
        qsizetype written = 0;
        while (m_piece < m_message.size() && written < maxBytes) {
            const QByteArray& piece = m_message[m_piece];
            const char* p = piece.constData();
            const qsizetype n = piece.size();
            while (m_at < n && written < maxBytes) {
                const char c = p[m_at++];
                if (c == '\r' || c == '\n') {
                    // a CR LF split between two pieces is one line end
                    if (c == '\r' && m_at < n && p[m_at] == '\n')
                        ++m_at;
                    else if (c == '\r' && m_at == n && NextStartsWithLf())
                        m_skipLf = true;
                    put("\r\n", 2);
                    written += 2;
                    m_lineStart = true;
                    continue;
                }
                if (m_lineStart && c == '.') {
                    put(".", 1);
                    ++written;
                }
                // the rest of the line up to its end, or up to the piece's size, in one go
                const qsizetype room = maxBytes - written;
                const qsizetype limit = room < n - m_at ? m_at + room : n;
                qsizetype end = m_at;
                while (end < limit && p[end] != '\r' && p[end] != '\n')
                    ++end;
                put(p + m_at - 1, end - m_at + 1);
                written += end - m_at + 1;
                m_at = end;
                m_lineStart = false;
            }
            if (m_at >= n) {
                ++m_piece;
                m_at = m_skipLf ? 1 : 0;
                m_skipLf = false;
            }
        }
        if (m_piece >= m_message.size() && !m_done) {
            if (!m_lineStart)
                put("\r\n", 2);
            put(".\r\n", 3);
            m_done = true;
        }
    }

    bool NextStartsWithLf() const {
        return m_piece + 1 < m_message.size() && m_message[m_piece + 1].startsWith('\n');
    }

    const QList<QByteArray>& m_message;
    qsizetype m_piece = 0;
    qsizetype m_at = 0;
    bool m_lineStart = true;
    bool m_skipLf = false;
    bool m_done = false;
};

} // namespace mail
