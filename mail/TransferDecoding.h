#pragma once
// The transfer encodings whose data can end early, undone piece by piece: base64 and uuencode. Each
// says at its end whether the data was whole, so a cut part is never taken for a whole one.
#include <QByteArray>
#include <QByteArrayView>

namespace mail {

class TransferDecoder {
public:
    enum Kind { Base64, Uuencode };
    explicit TransferDecoder(Kind kind) : kind_(kind) {}

    // Appends the bytes an encoded piece gives to out.
    void Feed(QByteArrayView encoded, QByteArray* out);
    // The end of the encoded data: what was held back goes to out.
    void Finish(QByteArray* out);
    // After Finish: true when the data ended where its encoding says it ends (base64 on a whole group of
    // four, uuencode at its "end" line).
    bool Whole() const { return whole_; }
    // Back to the state before the first piece.
    void Reset() { *this = TransferDecoder(kind_); }

private:
    void Base64Char(char c, QByteArray* out);
    void UuLine(QByteArrayView line, QByteArray* out);

    Kind kind_;
    bool whole_ = false;
    // base64: the bits of the group begun, how many characters it has, and whether a group was cut
    quint32 bits_ = 0;
    int count_ = 0;
    bool cut_ = false;
    // uuencode: where the reading is, and the start of the line begun
    enum Phase { BeforeBegin, InData, AfterEnd } phase_ = BeforeBegin;
    QByteArray line_;
};

} // namespace mail
