#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringDecoder>

#include "transfer/FieldQuotes.h"

// Reads an import file as text in blocks, once from start to end, so that memory stays the same whatever
// the file's size.
//
// A byte-order mark (UTF-8, UTF-16 LE/BE) decides the encoding and is dropped; without one, the first
// block decides: UTF-16 is recognised by its pattern of zero bytes, bytes that are valid UTF-8 throughout
// are read as UTF-8 and anything else as Windows-1252. In text read as UTF-8 a later byte that starts no
// valid sequence is read as its Windows-1252 character, so nothing of a file that changes after its first
// block is lost. NUL characters are dropped: they cannot be stored and would only cut a value short.
// Lines end at CR LF, LF or CR; a line end at the very end makes no further line.
class ImportFileReader {
public:
    enum class Encoding { Utf8, Utf16LE, Utf16BE, Windows1252 };

    // Bytes read from the file at a time.
    static constexpr qint64 BlockSize = qint64(1) << 20;

    ImportFileReader() = default;
    ImportFileReader(const ImportFileReader&) = delete;
    ImportFileReader& operator=(const ImportFileReader&) = delete;

    // False when the file cannot be opened or read, or is no plain file (a pipe, a device); it then reads
    // as empty.
    bool Open(const QString& path);
    // The same over a device that is open for reading (a buffer in tests); not owned.
    bool Open(QIODevice* device);

    qint64 Size() const { return m_size; }
    Encoding TextEncoding() const { return m_encoding; }
    // The lines ReadRecord has gone past so far.
    qint64 LineCount() const { return m_linesBefore; }
    // The bytes of the file behind the text given out so far: within a block, its share of the block's
    // text; Size() once all of it is given out.
    qint64 Position() const;
    // True once a read failed; what was read before stays valid.
    bool Failed() const { return m_failed; }

    // The next piece of text (at most one block's worth); false at the end.
    bool ReadText(QString* text);

    // How ReadRecord cuts the text. With quotes, a quoted field (QuoteScan) may hold line ends, so one
    // record may span lines. A quoted field that holds a line end and has not closed as a field closes
    // within limit characters and within lines lines, or by the end of the text, protects nothing: the
    // record is then its first line alone, and the next one starts on the line after it. A value < 0
    // sets no limit.
    struct RecordRule {
        QChar delimiter = QLatin1Char('\t');
        bool quotes = false;
        qsizetype limit = -1;
        qsizetype lines = -1;
    };
    enum class Record {
        End,     // nothing more to read
        Read,    // *record holds the next record without its line end
        TooLong, // the next line alone is longer than the limit: *record holds its first limit
                 // characters, and the next call goes on after its end (never holding the rest)
    };
    Record ReadRecord(QString* record, const RecordRule& rule);
    // The numbers (from 1) of the first and the last line of the record ReadRecord gave last.
    qint64 FirstLine() const { return m_firstLine; }
    qint64 LastLine() const { return m_lastLine; }

private:
    bool start();
    qint64 readBlock();
    bool appendText(QString* text);
    bool fill();
    void startRecord();
    bool skipLine();
    Record giveRecord(QString* record, qsizetype end, qint64 lines);

    QFile m_file;
    QIODevice* m_device = nullptr;
    qint64 m_size = 0;
    qint64 m_bomLength = 0;
    Encoding m_encoding = Encoding::Utf8;
    QStringDecoder m_decoder; // UTF-16
    // A UTF-8 sequence cut by the end of a block, and the block it is joined to.
    QByteArray m_carry;
    QByteArray m_joined;
    QByteArray m_block;     // the bytes of one read, reused from block to block
    bool m_started = false; // some text was decoded (a mark at its very start is dropped)
    qint64 m_bytesRead = 0;
    qint64 m_charsDecoded = 0; // the text decoded so far, and of it given out and dropped from m_pending
    qint64 m_charsDropped = 0;
    bool m_failed = false;
    bool m_atEnd = true;
    // ReadRecord's text not yet given out: m_pending from m_pos on; m_scan is where the search for the
    // record's end goes on, in the quoting state m_quotes; m_firstBreak is the first line end the
    // record holds inside quotes (-1: none yet), m_breaks the number of them (CR LF counts once).
    QString m_pending;
    qsizetype m_pos = 0;
    qsizetype m_scan = 0;
    QuoteScan m_quotes;
    qsizetype m_firstBreak = -1;
    qint64 m_breaks = 0;
    qint64 m_linesBefore = 0; // lines given out before the record being read
    qint64 m_firstLine = 0;
    qint64 m_lastLine = 0;
    bool m_skipLine = false;
    bool m_pendingEnd = false;
};

// The text of a whole import file's bytes, by the rules above.
QString DecodeImportText(const QByteArray& bytes);
