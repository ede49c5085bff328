#pragma once
// indexOf with memory, for scanners whose searches start at positions that only grow: a found position
// is reused while it lies ahead, and a search that found nothing is never repeated from a later start.
// A text with many openers and no closer then costs one scan, not one per opener.
#include <QByteArray>
#include <QString>

#include <concepts>
#include <utility>

template <typename Text>
requires std::same_as<Text, QString> || std::same_as<Text, QByteArray>
class ForwardFinder {
public:
    // The text must outlive the finder. Bytes are compared as they are; text says whether letter case
    // counts.
    ForwardFinder(const Text& text, Text needle) requires std::same_as<Text, QByteArray>
        : text_(text), needle_(std::move(needle)) {}
    ForwardFinder(const Text& text, Text needle, Qt::CaseSensitivity cs) requires std::same_as<Text, QString>
        : text_(text), needle_(std::move(needle)), cs_(cs) {}

    // The needle's first position at or after start, else -1.
    qsizetype from(qsizetype start) {
        if (missingFrom_ >= 0 && start >= missingFrom_)
            return -1;
        if (found_ >= start && lastStart_ <= start)
            return found_;
        lastStart_ = start;
        if constexpr (std::same_as<Text, QString>)
            found_ = text_.indexOf(needle_, start, cs_);
        else
            found_ = text_.indexOf(needle_, start);
        if (found_ < 0)
            missingFrom_ = start;
        return found_;
    }

private:
    const Text& text_;
    Text needle_;
    Qt::CaseSensitivity cs_ = Qt::CaseSensitive;
    qsizetype found_ = -1;
    qsizetype lastStart_ = -1;
    qsizetype missingFrom_ = -1;
};
