#pragma once
// Every section and key of the settings store, spelled exactly as stored: the INI file is case-sensitive
// and older files must keep reading the same values.

namespace Sections {
inline constexpr const char* Options = "Options";
inline constexpr const char* Account = "Account";
inline constexpr const char* Signature = "Signature";
inline constexpr const char* SmtpThread = "SMTP-Thread";
inline constexpr const char* Pop3Thread = "POP3-Thread";
inline constexpr const char* Imap4Thread = "IMAP4-Thread";
// Reported by the support request; nothing in the program writes them.
inline constexpr const char* Advanced = "Advanced";
inline constexpr const char* MailForwarder = "Mail-Forwarder";
inline constexpr const char* MailResponder = "Mail-Responder";
inline constexpr const char* MailSpam = "Mail-SPAM";
inline constexpr const char* MailSubscribe = "Mail-Subscribe";
inline constexpr const char* MailUnsubscribe = "Mail-Unsubscribe";
} // namespace Sections

namespace Keys {
// Options
inline constexpr const char* Tips = "Tips";
inline constexpr const char* FirstTip = "FirstTip";
// Account
inline constexpr const char* Name = "Name";
inline constexpr const char* Email = "Email";
inline constexpr const char* Server = "Server";
inline constexpr const char* Port = "Port";
inline constexpr const char* Auth = "Auth";
inline constexpr const char* Username = "Username";
inline constexpr const char* Password = "Password";
inline constexpr const char* AuthMode = "AuthMode";
inline constexpr const char* Method = "Method";
inline constexpr const char* ToField = "ToField";
inline constexpr const char* BCCField = "BCCField";
inline constexpr const char* ThirdField = "ThirdField";
inline constexpr const char* ThirdPath = "ThirdPath";
inline constexpr const char* HeaderEncoding = "HeaderEncoding";
inline constexpr const char* Encoding = "Encoding";
inline constexpr const char* AttachmentEncoding = "AttachmentEncoding";
inline constexpr const char* CharSet = "CharSet";
inline constexpr const char* TextPart = "TextPart";
inline constexpr const char* Extended = "Extended";
inline constexpr const char* DSNNotify = "DSNNotify";
inline constexpr const char* DSNReturn = "DSNReturn";
// Signature
inline constexpr const char* Status = "Status";
inline constexpr const char* Message = "Message";
// Thread sections
inline constexpr const char* Mode = "Mode";
} // namespace Keys
