#include "sending/MergeMacros.h"

const std::array<MergeMacro, 18> MergeMacros{{
    {1087, "&Email", "Inserts Email Macro", "$*MergeEmail*$", "G-Email"},
    {1088, "&Title", "Inserts Title Macro", "$*MergeTitle*$", "G-Title"},
    {1089, "&First Name", "Inserts First Name Macro", "$*MergeFirstName*$", "G-FirstName"},
    {1090, "&Last Name", "Inserts Last Name Macro", "$*MergeLastName*$", "G-LastName"},
    {1091, "&Country", "Inserts Country Macro", "$*MergeCountry*$", "G-Country"},
    {1092, "&State", "Inserts State Macro", "$*MergeState*$", "G-State"},
    {1093, "C&ity", "Inserts City Macro", "$*MergeCity*$", "G-City"},
    {1124, "Address &1", "Inserts Address 1 Macro", "$*MergeAddress1*$", "G-Address1"},
    {1094, "Address &2", "Inserts Address 2 Macro", "$*MergeAddress2*$", "G-Address2"},
    {1095, "&ZIP Code", "Inserts ZIP Code Macro", "$*MergeZIPCode*$", "G-ZIPCode"},
    {1096, "&Phone", "Inserts Phone Macro", "$*MergePhone*$", "G-Phone"},
    {1097, "Fa&x", "Inserts Fax Macro", "$*MergeFax*$", "G-Fax"},
    {1098, "C&ompany", "Inserts Company Macro", "$*MergeCompany*$", "G-Company"},
    {1099, "&Job Title", "Inserts Job Title Macro", "$*MergeJobTitle*$", "G-JobTitle"},
    {1100, "&Web Site", "Inserts Web Site Macro", "$*MergeWebSite*$", "G-WebSite"},
    {1125, "IP &Address", "Inserts IP Address Macro", "$*MergeIPAddress*$", "G-IP"},
    {1126, "&Date Added", "Inserts Date Added Macro", "$*MergeDateAdded*$", "G-Date"},
    {1127, "Additio&nal Field", "Inserts Additional Field Macro", "$*MergeAdditionalField*$", "G-Add"},
}};

QString OneLine(const QString& value) {
    if (!value.contains(QLatin1Char('\r')) && !value.contains(QLatin1Char('\n')))
        return value;
    QString out = value;
    out.replace(QLatin1String("\r\n"), QLatin1String(" "));
    out.replace(QLatin1Char('\r'), QLatin1Char(' '));
    out.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return out;
}

QString MergeSubject(const QString& subject, const RecipientValue& valueOf) {
    QString text = subject;
    for (const MergeMacro& m : MergeMacros) {
        const QString macro = QString::fromLatin1(m.macro);
        if (text.contains(macro))
            text.replace(macro, OneLine(valueOf(QString::fromLatin1(m.column))), Qt::CaseSensitive);
    }
    return text;
}
