#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringDecoder>

#include "transfer/FieldQuotes.h"

// Reads an import file as text in blocks, so that memory stays the same whatever the file's size.
//
// A byte-order mark (UTF-8, UTF-16 LE/BE) decides the encoding and is dropped; without one, UTF-16 is
// recognised by its pattern of zero bytes, bytes that are valid UTF-8 throughout are read as UTF-8 and
// anything else as Windows-1252. NUL characters are dropped: they cannot be stored and would only cut
// a value short. Lines end at CR LF, LF or CR; a line end at the very end makes no further line.
class ImportFileReader {
public:
    enum class Scope {
        WholeFile, // one pass over every byte (holding none of them) decides the encoding and counts lines
        Start,     // the encoding is decided from the first block alone: enough to preview the first line
    };
    enum class Encoding { Utf8, Utf16LE, Utf16BE, Windows1252 };

    // Bytes read from the file at a time.
    static constexpr qint64 BlockSize = qint64(1) << 20;

    ImportFileReader() = default;
    ImportFileReader(const ImportFileReader&) = delete;
    ImportFileReader& operator=(const ImportFileReader&) = delete;

    // False when the file cannot be opened or read, or is no plain file (a pipe, a device); it then reads
    // as empty.
    bool Open(const QString& path, Scope scope = Scope::WholeFile);
    // The same over a device that is open for reading and can seek (a buffer in tests); not owned.
    bool Open(QIODevice* device, Scope scope = Scope::WholeFile);

    qint64 Size() const { return m_size; }
    Encoding TextEncoding() const { return m_encoding; }
    // The number of lines ReadRecord gives without quotes (WholeFile scope only; 0 otherwise).
    qint64 LineCount() const { return m_lineCount; }
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
    // Back to the start of the text, for a second pass.
    bool Rewind();

private:
    bool start(Scope scope);
    bool scanWhole(qint64 from, bool check8Bit);
    qint64 readBlock(QByteArray* block);
    bool fill();
    void startRecord();
    bool skipLine();
    Record giveRecord(QString* record, qsizetype end, qint64 lines);

    QFile m_file;
    QIODevice* m_device = nullptr;
    qint64 m_size = 0;
    qint64 m_lineCount = 0;
    qint64 m_bomLength = 0;
    Encoding m_encoding = Encoding::Utf8;
    QStringDecoder m_decoder;
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
