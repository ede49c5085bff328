#include "core/MessageChoices.h"

#include <span>

namespace {
template <typename Enum>
struct Name {
    Enum value;
    const char* text;
};

template <typename Enum>
QString TextOf(Enum value, std::span<const Name<Enum>> names) {
    for (const Name<Enum>& n : names) {
        if (n.value == value)
            return QString::fromLatin1(n.text);
    }
    return QString();
}

template <typename Enum>
std::optional<Enum> ValueOf(const QString& text, std::span<const Name<Enum>> names) {
    for (const Name<Enum>& n : names) {
        if (text == QLatin1String(n.text))
            return n.value;
    }
    return std::nullopt;
}

constexpr Name<MessageFormat> Formats[] = {{MessageFormat::Html, "HTML"}, {MessageFormat::Text, "Text"}};
constexpr Name<MessagePriority> Priorities[] = {
    {MessagePriority::Low, "Low"}, {MessagePriority::Normal, "Normal"}, {MessagePriority::High, "High"}};
constexpr Name<SendingMethod> MethodKeys[] = {
    {SendingMethod::Personal, "Personal"}, {SendingMethod::Bulk, "Bulk"}, {SendingMethod::Third, "Third"}};
constexpr Name<SendingMethod> MethodTexts[] = {{SendingMethod::Personal, "Personal Sending"},
                                               {SendingMethod::Bulk, "Bulk Sending"},
                                               {SendingMethod::Third, "3rd Party Sending"}};
} // namespace

QString FormatText(MessageFormat format) {
    return TextOf<MessageFormat>(format, Formats);
}

std::optional<MessageFormat> FormatFromText(const QString& text) {
    return ValueOf<MessageFormat>(text, Formats);
}

QString PriorityText(MessagePriority priority) {
    return TextOf<MessagePriority>(priority, Priorities);
}

std::optional<MessagePriority> PriorityFromText(const QString& text) {
    return ValueOf<MessagePriority>(text, Priorities);
}

QString SendingMethodKey(SendingMethod method) {
    return TextOf<SendingMethod>(method, MethodKeys);
}

SendingMethod SendingMethodFromKey(const QString& key) {
    return ValueOf<SendingMethod>(key, MethodKeys).value_or(SendingMethod::Personal);
}

QString SendingMethodText(SendingMethod method) {
    return TextOf<SendingMethod>(method, MethodTexts);
}

QString SendingMethodTextOfKey(const QString& key) {
    const std::optional<SendingMethod> method = ValueOf<SendingMethod>(key, MethodKeys);
    return method ? SendingMethodText(*method) : QString();
}
