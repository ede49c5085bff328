#pragma once
// File names made unique among the names of one folder: a taken name gets " (2)", " (3)" ... before its
// extension. Each stem remembers the next number to try, so thousands of parts of one name cost no more
// than as many different names.
#include <QHash>
#include <QSet>
#include <QString>

namespace mail {

class UniqueNames {
public:
    // Letter case counts or not when names are compared (a message's own names ignore it, so no two
    // differ by case alone; the names on disk are compared as the file system does).
    explicit UniqueNames(Qt::CaseSensitivity cs = Qt::CaseInsensitive) : cs_(cs) {}

    // Counts a name as taken (a file that is already there).
    void Take(const QString& name);
    bool IsTaken(const QString& name) const;

    // The name itself when it is free, otherwise "stem (n).ext" with the lowest number above those
    // handed out before for that stem that is free; a taken name that already ends in " (n)" counts on
    // from its stem ("same (2).txt" gives "same (3).txt", not "same (2) (2).txt"). The stem is cut so
    // that the result stays within kMaxPartNameBytes of UTF-8. The result is taken from then on.
    QString Claim(const QString& name);

private:
    QString Key(const QString& name) const { return cs_ == Qt::CaseInsensitive ? name.toLower() : name; }

    Qt::CaseSensitivity cs_;
    QSet<QString> taken_;
    QHash<QString, int> next_; // stem and extension -> next number to try
};

} // namespace mail
