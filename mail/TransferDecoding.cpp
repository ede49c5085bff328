#include "mail/TransferDecoding.h"

#include <array>
#include <cstring>

namespace mail {

namespace {

// Of a uuencoded line only the length character and at most 84 characters after it carry data; the
// rest of a longer line is kept from piling up in memory.
constexpr qsizetype kMaxUuLine = 128;

constexpr std::array<qint8, 256> Base64Values() {
    std::array<qint8, 256> values{};
    for (auto& v : values)
        v = -1;
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i)
        values[static_cast<uchar>(alphabet[i])] = static_cast<qint8>(i);
    return values;
}

constexpr std::array<qint8, 256> kBase64 = Base64Values();

} // namespace

void TransferDecoder::Base64Char(char c, QByteArray* out) {
    const qint8 v = kBase64[static_cast<uchar>(c)];
    if (v >= 0) {
        bits_ = bits_ << 6 | quint32(v);
        if (++count_ == 4) {
            out->append(char(bits_ >> 16)).append(char(bits_ >> 8)).append(char(bits_));
            count_ = 0;
        }
        return;
    }
    if (c != '=')
        return; // line ends, blanks and whatever else a mailer put in between
    // padding closes the group begun; padding after it is padding still
    if (count_ == 1)
        cut_ = true; // one character says nothing whole
    else if (count_ == 2)
        out->append(char(bits_ >> 4));
    else if (count_ == 3)
        out->append(char(bits_ >> 10)).append(char(bits_ >> 2));
    count_ = 0;
}

// A line of uuencode: its first character says how many bytes it holds. A line shorter than that lost
// its trailing blanks in transit (mailers strip them), and blanks are zero bits: the missing characters
// read as blanks.
void TransferDecoder::UuLine(QByteArrayView line, QByteArray* out) {
    if (line.endsWith('\r'))
        line.chop(1);
    if (phase_ == AfterEnd)
        return;
    if (phase_ == BeforeBegin) {
        if (line.startsWith("begin "))
            phase_ = InData;
        return;
    }
    if (line.trimmed() == "end") {
        phase_ = AfterEnd;
        return;
    }
    if (line.isEmpty())
        return; // a line of no bytes that lost its one blank
    const int length = (line[0] - ' ') & 63;
    auto value = [&](qsizetype at) { return quint32(((at < line.size() ? line[at] : ' ') - ' ') & 63); };
    for (int done = 0, at = 1; done < length; done += 3, at += 4) {
        const quint32 bits = value(at) << 18 | value(at + 1) << 12 | value(at + 2) << 6 | value(at + 3);
        const char three[3] = {char(bits >> 16), char(bits >> 8), char(bits)};
        out->append(three, qMin(3, length - done));
    }
}

void TransferDecoder::Feed(QByteArrayView encoded, QByteArray* out) {
    if (kind_ == Base64) {
        out->reserve(out->size() + encoded.size() / 4 * 3 + 3);
        for (char c : encoded)
            Base64Char(c, out);
        return;
    }
    while (!encoded.isEmpty()) {
        const void* nl = std::memchr(encoded.data(), '\n', size_t(encoded.size()));
        const qsizetype upTo = nl ? static_cast<const char*>(nl) - encoded.data() : encoded.size();
        line_.append(encoded.first(qMin(upTo, qMax<qsizetype>(0, kMaxUuLine - line_.size()))));
        if (!nl)
            return;
        UuLine(line_, out);
        line_.clear();
        encoded = encoded.sliced(upTo + 1);
    }
}

void TransferDecoder::Finish(QByteArray* out) {
    if (kind_ == Base64) {
        whole_ = count_ == 0 && !cut_;
        if (count_ > 1) // what there is of the last group: the part is reported as cut all the same
            Base64Char('=', out);
        count_ = 0;
        return;
    }
    if (!line_.isEmpty())
        UuLine(line_, out);
    line_.clear();
    whole_ = phase_ == AfterEnd;
}

} // namespace mail
