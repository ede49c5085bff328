#pragma once
// Opening a file with the program the desktop associates with its type (a log, a saved message). Behind
// an interface so tests record what would be opened instead of starting a program.
#include <QString>

class FileOpener {
public:
    virtual ~FileOpener() = default;
    // True when the desktop accepted the request (what it shows is up to the associated program).
    virtual bool openFile(const QString& path) = 0;
};

// The opener in use: the desktop's own unless a test put another in place.
FileOpener& CurrentFileOpener();
// Puts an opener in place (not owned); nullptr restores the desktop's.
void SetFileOpener(FileOpener* opener);
