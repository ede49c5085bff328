#pragma once
// Every section and key of the settings store, spelled exactly as stored: the INI file is case-sensitive
// and older files must keep reading the same values. Below the names, the table of the settings the
// program reads with the value a missing key stands for.

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

// A stored setting and what it reads as while its key is missing.
struct SettingEntry {
    const char* section;
    const char* key;
    const char* missing; // "" is the empty text
};

// The one table of defaults: every reader takes a missing key as the value here (GetSetting(entry)),
// so a default is never typed twice. A reader that wants another value for a missing key has its own
// row below, with the reason; do not merge such a row into its neighbour.
//
// Two readings on purpose bypass the table and read the bare stored text (GetSetting(section, key)):
// - the checks before a send run and before a support request take "Name", "Email", "Server" and "Port"
//   as stored: a missing key means the account was never saved, and port 25 must not hide that;
// - the support request's settings report lists what the store holds, so a missing key shows as an
//   empty value even where the program itself works with a default.
namespace Setting {
// Options
inline constexpr SettingEntry OptionsTips{Sections::Options, Keys::Tips, "1"};
inline constexpr SettingEntry OptionsFirstTip{Sections::Options, Keys::FirstTip, ""};

// Account
inline constexpr SettingEntry AccountName{Sections::Account, Keys::Name, ""};
inline constexpr SettingEntry AccountEmail{Sections::Account, Keys::Email, ""};
inline constexpr SettingEntry AccountServer{Sections::Account, Keys::Server, ""};
inline constexpr SettingEntry AccountPort{Sections::Account, Keys::Port, "25"};
inline constexpr SettingEntry AccountAuth{Sections::Account, Keys::Auth, "0"};
inline constexpr SettingEntry AccountUsername{Sections::Account, Keys::Username, ""};
inline constexpr SettingEntry AccountPassword{Sections::Account, Keys::Password, ""};
inline constexpr SettingEntry AccountAuthMode{Sections::Account, Keys::AuthMode, "AUTH LOGIN"};
inline constexpr SettingEntry AccountMethod{Sections::Account, Keys::Method, "Personal"};
inline constexpr SettingEntry AccountToField{Sections::Account, Keys::ToField, "Email Address"};
inline constexpr SettingEntry AccountBCCField{Sections::Account, Keys::BCCField, "Group"};
inline constexpr SettingEntry AccountThirdField{Sections::Account, Keys::ThirdField, "Torvale SMTP Server"};
inline constexpr SettingEntry AccountThirdPath{Sections::Account, Keys::ThirdPath, ""};
// "HeaderEncoding" has two readings of a missing key, and the difference is intended. Every message
// builder (send run, preview, message export) encodes the subjects of an account never confirmed as
// quoted-printable, which carries any character safely...
inline constexpr SettingEntry AccountHeaderEncoding{Sections::Account, Keys::HeaderEncoding,
                                                    "Quoted Printable"};
// ...while the account dialog proposes "None" for it: once the user confirms the dialog, the stored
// choice applies. Making the two agree would change either the mail of a fresh installation or what
// the dialog proposes.
inline constexpr SettingEntry AccountHeaderEncodingShown{Sections::Account, Keys::HeaderEncoding, "None"};
inline constexpr SettingEntry AccountEncoding{Sections::Account, Keys::Encoding, "Quoted Printable"};
inline constexpr SettingEntry AccountAttachmentEncoding{Sections::Account, Keys::AttachmentEncoding,
                                                        "Base 64"};
inline constexpr SettingEntry AccountCharSet{Sections::Account, Keys::CharSet, "Western European (Windows)"};
inline constexpr SettingEntry AccountTextPart{Sections::Account, Keys::TextPart, "1"};
inline constexpr SettingEntry AccountExtended{Sections::Account, Keys::Extended, "0"};
inline constexpr SettingEntry AccountDSNNotify{Sections::Account, Keys::DSNNotify,
                                               "Do not send command to server"};
inline constexpr SettingEntry AccountDSNReturn{Sections::Account, Keys::DSNReturn,
                                               "Do not send command to server"};

// Signature. The signature dialog shows its built-in signature for a missing "Message" (that text lives
// with the dialog, so it passes it itself); the main window reads a missing one as empty, which only a
// hand-edited file can give, since the dialog stores both keys together.
inline constexpr SettingEntry SignatureStatus{Sections::Signature, Keys::Status, "0"};
inline constexpr SettingEntry SignatureMessage{Sections::Signature, Keys::Message, ""};

// Thread sections
inline constexpr SettingEntry SmtpThreadMode{Sections::SmtpThread, Keys::Mode, "Second"};
inline constexpr SettingEntry Pop3ThreadMode{Sections::Pop3Thread, Keys::Mode, "Second"};
inline constexpr SettingEntry Imap4ThreadMode{Sections::Imap4Thread, Keys::Mode, "Second"};
} // namespace Setting
