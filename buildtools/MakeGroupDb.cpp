// Build tool: writes an empty recipient database (both tables, no rows) to the path it is given.
#include "core/Database.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: makegroupdb <output file>\n");
        return 2;
    }
    QString error;
    if (!CreateRecipientDatabase(QString::fromLocal8Bit(argv[1]), &error)) {
        std::fprintf(stderr, "makegroupdb: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
