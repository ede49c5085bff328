#pragma once
// The five built-in newsletter documents and how one is filled in with the sender's details.
#include <QString>
#include <QStringList>

// The placeholders the stored documents carry besides the company name "TorvaleCo" and the
// unsubscribe subject "UnsubscribeNow": a host name and an address no user would type.
inline constexpr const char* TemplateWebHost = "www.sender-web-site.invalid";
inline constexpr const char* TemplateUnsubscribeAddress = "unsubscribe-box@sender-mail-list.invalid";

// "Government", "Health", "Legal", "Sports", "Travel": the list texts, in row order.
QStringList TemplateNames();
// "Template1.jpg" ... "Template5.jpg".
QString TemplateImageName(int row);
// The stored document of a row, unchanged, with CR LF line ends; empty for a row that does not exist.
QString StoredTemplate(int row);

struct TemplateValues {
    QString company;
    QString webSite;
    QString unsubscribeEmail;
    QString unsubscribeSubject;
};

// Every occurrence of the five placeholders, case-sensitive, in one pass over the document, so no value
// is searched again for another placeholder: the row's picture name by the file URL of the program
// folder's copy of it, then the company, web site, address and subject. Each value is written as text:
// HTML-escaped in text and attributes, and percent-encoded inside a "mailto:" address (keeping "@" and
// "+") and its query (blanks as %20).
QString FillTemplate(const QString& document, int row, const TemplateValues& values,
                     const QString& programFolder);
