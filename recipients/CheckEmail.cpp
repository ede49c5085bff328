#include "recipients/CheckEmail.h"

#include <QRegularExpression>

namespace {

// The pattern names every letter class in both cases, so it needs no case-insensitive option. Leaving
// that option off matters: with it, the engine folds Unicode case and "[a-z]" would also accept the
// Kelvin sign (U+212A) or the long s (U+017F). Without Unicode properties "\w" is [A-Za-z0-9_].
// Three places are wider than the rule first was, for addresses every mail server delivers today: the
// local part takes every character the usual web rule allows there (WHATWG's "valid e-mail address":
// letters, digits and ! # $ % & ' * + / = ? ^ _ ` { | } ~ -), so o'brien@ and anna+promo@ pass; a
// domain label before the last takes one character or more (x.com, mail.x.org), still beginning with
// a letter or digit; and the last label takes 2 to 63 letters (.online, .museum, .technology). The
// local part's shape stays: dot-separated runs, a single letter alone, or a run of two or more.
const QString& emailPattern() {
    static const QString local = QStringLiteral("[\\w!#$%&'*+/=?^`{|}~-]");
    static const QString pattern = QStringLiteral("^((") + local + QStringLiteral("+\\.)+") + local +
                                   QStringLiteral("+|([a-zA-Z]{1}|") + local + QStringLiteral("{2,}))@") +
                                   QStringLiteral("((([0-1]?[0-9]{1,2}|25[0-5]|2[0-4][0-9])\\.([0-1]?") +
                                   QStringLiteral("[0-9]{1,2}|25[0-5]|2[0-4][0-9])\\.") +
                                   QStringLiteral("([0-1]?[0-9]{1,2}|25[0-5]|2[0-4][0-9])\\.([0-1]?") +
                                   QStringLiteral("[0-9]{1,2}|25[0-5]|2[0-4][0-9])){1}|") +
                                   QStringLiteral("([a-zA-Z0-9][\\w-]*\\.)+[a-zA-Z]{2,63})$");
    return pattern;
}

} // namespace

bool ValidateEmailSilent(const QString& email) {
    if (email.size() > MaxEmailLength)
        return false;
    static const QRegularExpression rule(emailPattern());
    const QRegularExpressionMatch match = rule.match(email);
    // "$" also matches before a final line break; only a match that ends at the very end counts.
    return match.hasMatch() && match.capturedStart(0) == 0 && match.capturedEnd(0) == email.size();
}
