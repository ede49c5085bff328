#pragma once
#include <QString>
#include <QStringList>

// The folders every part of the program shares. Paths use "/" and folder paths end with "/".

// Where an installed program's shipped files lie, from the install prefix (the executable is in "bin").
inline constexpr const char* kInstalledDataFolder = "share/velanto";

// The folder of the shipped files: Group.mdb, the Help pages, the template pictures. Run from the build
// tree it is the folder of the executable; installed (<prefix>/bin/Velanto) it is <prefix>/share/velanto.
QString ProgramFolder();
void SetProgramFolderForTesting(const QString& folder);

// The per-user data folder (Group.mdb, History, ImportBody). Set once at start-up.
QString DataPath();
void SetDataPath(const QString& folder);

// The data folder for a given application-data folder: the program folder's "Application Data/" is the
// fallback when there is none or ours cannot be made in it. Creates the folders it names, mode 0700.
// A folder on the way that is a symbolic link or another user's is never used: the result is then empty
// and *wrongFolder names it. When no folder can be made at all, the result is empty and *tried names
// the folders tried, in order.
QString ResolveDataPath(const QString& appDataFolder, const QString& programFolder,
                        QString* wrongFolder = nullptr, QStringList* tried = nullptr);

// The private per-user temporary folder (mode 0700), created on first use.
QString TempFolder();

// The user's database file: always the copy in DataPath, never the shipped one.
QString UserDatabasePath();
