#include "core/GetBoundaryMarkPrefix.h"

#include <QRandomGenerator>

QString MakeBoundaryPrefix() {
    QString prefix;
    prefix.reserve(10);
    auto* rng = QRandomGenerator::global();
    for (int position = 1; position <= 10; ++position) {
        if (position % 2 == 1)
            prefix += QChar(u'A' + rng->bounded(26));
        else
            prefix += QChar(u'1' + rng->bounded(9));
    }
    return prefix;
}
