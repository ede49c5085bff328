// Run from an installed prefix's bin folder (the install test copies it there beside the program): prints
// the folder the program takes its shipped files from, then what Network Tools' name-to-address command
// gives for each argument, one line each ("failure: ..." when the DNS component could not be used).
#include "core/Paths.h"
#include "tools/NetworkTools.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("program folder: %s\n", ProgramFolder().toUtf8().constData());
    for (int i = 1; i < argc; ++i) {
        const nettools::DnsOutcome out = nettools::NameToAddress(QString::fromLocal8Bit(argv[i]));
        if (out.failure.isEmpty())
            std::printf("%s: %s\n", argv[i], out.text.toUtf8().constData());
        else
            std::printf("%s: failure: %s\n", argv[i], out.failure.toUtf8().constData());
    }
    return 0;
}
