#include "core/RecipientFields.h"

QString ColumnForLabel(const QString& label) {
    for (const auto& f : RecipientFields)
        if (label == QLatin1String(f.label))
            return QString::fromLatin1(f.column);
    return QString();
}
