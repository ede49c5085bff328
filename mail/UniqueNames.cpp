#include "mail/UniqueNames.h"

#include "mail/MimeSupport.h"

#include <QRegularExpression>

namespace mail {

void UniqueNames::Take(const QString& name) {
    taken_.insert(Key(name));
}

bool UniqueNames::IsTaken(const QString& name) const {
    return taken_.contains(Key(name));
}

QString UniqueNames::Claim(const QString& name) {
    if (!IsTaken(name)) {
        Take(name);
        return name;
    }
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    QString stem = dot > 0 ? name.left(dot) : name;
    QString ext = dot > 0 ? name.mid(dot) : QString();
    if (ext.toUtf8().size() > kMaxPartNameBytes / 2) { // no room for a number before it: count at the end
        stem = name;
        ext.clear();
    }
    static const QRegularExpression counted(QStringLiteral(" \\(\\d+\\)$"));
    stem.remove(counted);
    // Every number tried and found taken is a distinct name already taken, so the tries of all claims
    // together never exceed the claims plus the names taken.
    int& next = next_[Key(stem) + QChar(0) + Key(ext)];
    if (next < 2)
        next = 2;
    for (;; ++next) {
        const QString suffix = QStringLiteral(" (%1)").arg(next) + ext;
        const QString candidate = CutToUtf8Bytes(stem, kMaxPartNameBytes - suffix.toUtf8().size()) + suffix;
        if (!IsTaken(candidate)) {
            ++next;
            Take(candidate);
            return candidate;
        }
    }
}

} // namespace mail
