#pragma once
// The choices the main window offers for its message, and the sending method the account stores: each
// an enum in the code, a text only where it is shown or stored. The texts are mapped here once.
#include <QString>

#include <optional>

// The main window's Format list.
enum class MessageFormat { Html, Text };
// The main window's Priority list.
enum class MessagePriority { Low, Normal, High };
// How the message goes out; the account stores it as its key text ("Personal", "Bulk", "Third").
enum class SendingMethod { Personal, Bulk, Third };

// "HTML", "Text"; and back (nothing for a text the list does not hold).
QString FormatText(MessageFormat format);
std::optional<MessageFormat> FormatFromText(const QString& text);

// "Low", "Normal", "High"; and back.
QString PriorityText(MessagePriority priority);
std::optional<MessagePriority> PriorityFromText(const QString& text);

// The stored key text of a method, and back; a key that names none reads as Personal, as the account
// dialog has always shown it.
QString SendingMethodKey(SendingMethod method);
SendingMethod SendingMethodFromKey(const QString& key);
// The sending-method list's text ("Personal Sending", "Bulk Sending", "3rd Party Sending").
QString SendingMethodText(SendingMethod method);
// The list's text for a stored key; empty for a key that names no method.
QString SendingMethodTextOfKey(const QString& key);
