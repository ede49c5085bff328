#pragma once
#include <QString>
#include <array>

// One recipient field: its label as the user sees it and its column in [Emails].
struct RecipientField {
    const char* label;
    const char* column;
};

// The 18 recipient fields in the one order used everywhere (dialogs, merge macros, import and export).
inline constexpr std::array<RecipientField, 18> RecipientFields{{
    {"Email Address", "G-Email"},
    {"Title", "G-Title"},
    {"First Name", "G-FirstName"},
    {"Last Name", "G-LastName"},
    {"Country", "G-Country"},
    {"State", "G-State"},
    {"City", "G-City"},
    {"Address 1", "G-Address1"},
    {"Address 2", "G-Address2"},
    {"ZIP Code", "G-ZIPCode"},
    {"Phone", "G-Phone"},
    {"Fax", "G-Fax"},
    {"Company", "G-Company"},
    {"Job Title", "G-JobTitle"},
    {"Web Site", "G-WebSite"},
    {"IP Address", "G-IP"},
    {"Date Added", "G-Date"},
    {"Additional Field", "G-Add"},
}};

// The column for a label, or an empty text when the label names no field.
QString ColumnForLabel(const QString& label);
