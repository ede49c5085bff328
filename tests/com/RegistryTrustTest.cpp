// Which class registry files and modules are read: the machine-wide part overlaid by the user's, and
// nothing another user could have planted. Planting needs another owner, so those cases run as root
// (as CI does) and are skipped elsewhere.
#include "com/Creation.h"
#include "com/Registry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace com;

namespace {

constexpr uid_t kOtherUser = 65534; // nobody
constexpr char kClsid[] = "{CCCCCCCC-0000-0000-0000-000000000001}";
// Already loaded by every process, so reaching it proves the registry was read without loading anything
// new; it is no component, so creation stops with CO_E_ERRORINDLL.
constexpr char kLibc[] = "/lib/x86_64-linux-gnu/libc.so.6";
// A small library no test loads otherwise.
constexpr char kSmallLibrary[] = "/usr/lib/x86_64-linux-gnu/libz.so.1";

// Sets environment variables for one test and puts the old values back afterwards.
class ScopedEnvironment {
public:
    void set(const char* name, const std::string& value) {
        remember(name);
        ::setenv(name, value.c_str(), 1);
    }
    void unset(const char* name) {
        remember(name);
        ::unsetenv(name);
    }
    ~ScopedEnvironment() {
        for (const auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

private:
    void remember(const char* name) {
        for (const auto& saved : m_saved)
            if (saved.first == name)
                return;
        const char* old = std::getenv(name);
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

class RegistryTrust : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        env.set("XDG_DATA_HOME", root() + "/user");
        env.set("XDG_DATA_DIRS", root() + "/machine1:" + root() + "/machine2");
    }

    std::string root() const { return m_dir.path().toStdString(); }
    std::string userFile() const { return root() + "/user/velanto-com/classes.reg"; }
    std::string machineFile(int n) const {
        return root() + "/machine" + std::to_string(n) + "/velanto-com/classes.reg";
    }

    // A registry file naming one class: ProgID -> CLSID -> module.
    static void Write(const std::string& path, const std::string& progId, const std::string& module) {
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path.substr(0, path.rfind('/')))));
        Registry r;
        r.SetValue(progId + "\\CLSID", "", kClsid);
        r.SetValue(std::string("CLSID\\") + kClsid + "\\InprocServer32", "", module);
        QFile f(QString::fromStdString(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::fromStdString(r.Serialize()));
        f.close();
        ::chmod(path.c_str(), 0644);
        ::chmod(path.substr(0, path.rfind('/')).c_str(), 0755);
    }

    static HRESULT Create(const std::string& progId) {
        void* object = nullptr;
        const HRESULT hr = CreateObjectByProgID(progId, IID_IDispatch, &object);
        EXPECT_EQ(object, nullptr);
        return hr;
    }

    static std::string Notes() {
        std::string all;
        for (const std::string& n : RegistryNotes())
            all += n + "\n";
        return all;
    }

    ScopedEnvironment env;

private:
    QTemporaryDir m_dir;
};

TEST_F(RegistryTrust, TheUsersFileOverridesTheMachineWideOnesKeyByKey) {
    Write(machineFile(2), "Shared.Thing", "/machine2/old.so");
    Write(machineFile(1), "Shared.Thing", "/machine1/newer.so");
    {
        RegistryTransaction tx(machineFile(1));
        ASSERT_TRUE(tx.ok());
        tx.registry().SetValue("Machine.Only\\CLSID", "", kClsid);
        tx.registry().SetValue(std::string("CLSID\\") + kClsid + "\\InprocServer32", "ThreadingModel",
                               "Apartment");
        ASSERT_TRUE(tx.Commit());
    }
    const std::string server = std::string("CLSID\\") + kClsid + "\\InprocServer32";
    std::optional<Registry> view = ReadRegistry();
    ASSERT_TRUE(view);
    // The first folder of XDG_DATA_DIRS wins over the later ones.
    EXPECT_EQ(view->GetValue(server), "/machine1/newer.so");
    EXPECT_EQ(view->GetValue(server, "ThreadingModel"), "Apartment");

    Write(userFile(), "User.Thing", "/user/mine.so");
    view = ReadRegistry();
    ASSERT_TRUE(view);
    // The user's key replaces the machine's key with all its values; keys only the machine has stay.
    EXPECT_EQ(view->GetValue(server), "/user/mine.so");
    EXPECT_FALSE(view->GetValue(server, "ThreadingModel"));
    EXPECT_EQ(view->GetValue("Machine.Only\\CLSID"), kClsid);
    EXPECT_EQ(view->GetValue("Shared.Thing\\CLSID"), kClsid);
    EXPECT_TRUE(view->KeyExists("User.Thing"));
    EXPECT_EQ(Notes(), "");

    // Registrations go to the user's file unless the register tool asks for the machine-wide one.
    EXPECT_EQ(Registry::DefaultPath(), userFile());
    env.set(kMachineRegistryVariable, root() + "/machine2");
    EXPECT_EQ(Registry::DefaultPath(), machineFile(2));
}

TEST_F(RegistryTrust, ARegistryAnotherUserCouldWriteIsNeverLoaded) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "planting a file of another user needs root";
    struct Case {
        const char* what;
        bool machineWide;
        int up; // where the fault lies, and what the note names: 0 the file, 1 its folder, 2 the one above
        std::function<void(const std::string& file)> plant;
        const char* fault;
    };
    const auto folderOf = [](const std::string& file) { return file.substr(0, file.rfind('/')); };
    const Case cases[] = {
        {"user's file of another owner", false, 0,
         [](const std::string& f) { ASSERT_EQ(::chown(f.c_str(), kOtherUser, kOtherUser), 0); },
         "belongs to another user"},
        {"user's folder of another owner", false, 1,
         [&](const std::string& f) { ASSERT_EQ(::chown(folderOf(f).c_str(), kOtherUser, kOtherUser), 0); },
         "belongs to another user"},
        {"user's file others can write", false, 0,
         [](const std::string& f) { ASSERT_EQ(::chmod(f.c_str(), 0666), 0); }, "group or others can write"},
        {"user's folder the group can write", false, 1,
         [&](const std::string& f) { ASSERT_EQ(::chmod(folderOf(f).c_str(), 0775), 0); },
         "group or others can write"},
        {"user's file is a link", false, 0,
         [](const std::string& f) {
             ASSERT_EQ(::rename(f.c_str(), (f + ".real").c_str()), 0);
             ASSERT_EQ(::symlink((f + ".real").c_str(), f.c_str()), 0);
         },
         "symbolic link"},
        {"machine-wide file of another owner", true, 0,
         [](const std::string& f) { ASSERT_EQ(::chown(f.c_str(), kOtherUser, kOtherUser), 0); },
         "belongs to another user"},
        // Whoever owns a folder above can swap the user's folder for one of their own.
        {"folder above the user's folder of another owner", false, 2,
         [&](const std::string& f) {
             ASSERT_EQ(::chown(folderOf(folderOf(f)).c_str(), kOtherUser, kOtherUser), 0);
         },
         "belongs to another user"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string progId = "Planted.Thing" + std::to_string(++n);
        const std::string file = c.machineWide ? machineFile(1) : userFile();
        Write(file, progId, kLibc);
        // Trusted as written: the registry is read and leads to the module.
        EXPECT_EQ(Create(progId), CO_E_ERRORINDLL);
        c.plant(file);
        EXPECT_EQ(Create(progId), CO_E_CLASSSTRING);
        const std::string notes = Notes();
        EXPECT_NE(notes.find(c.fault), std::string::npos) << notes;
        std::string named = file;
        for (int up = 0; up < c.up; ++up)
            named = folderOf(named);
        EXPECT_NE(notes.find("ignoring " + named + ":"), std::string::npos) << notes;
        // Nor is a planted file ever written to.
        RegistryTransaction tx(file);
        EXPECT_FALSE(tx.ok());
        QDir(QString::fromStdString(root() + "/user")).removeRecursively();
        QDir(QString::fromStdString(root() + "/machine1")).removeRecursively();
    }
}

TEST_F(RegistryTrust, AModuleAnotherUserCouldWriteIsNeverLoaded) {
    const std::string source = kSmallLibrary; // loading a copy is visible: RTLD_NOLOAD finds it
    if (!QFile::exists(QString::fromStdString(source)))
        GTEST_SKIP() << source << " is not installed";
    const std::string folder = root() + "/modules";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    ::chmod(folder.c_str(), 0755);
    struct Case {
        const char* what;
        std::string module;
        bool needsRoot;
        std::function<void(const std::string&)> plant;
        const char* fault;
    };
    const Case cases[] = {
        {"relative path", "libz.so.1", false, [](const std::string&) {}, "not absolute"},
        {"module others can write", folder + "/writable.so", false,
         [](const std::string& m) { ASSERT_EQ(::chmod(m.c_str(), 0666), 0); }, "group or others can write"},
        {"module in a folder others can write", root() + "/open/module.so", false,
         [](const std::string& m) { ASSERT_EQ(::chmod(m.substr(0, m.rfind('/')).c_str(), 0777), 0); },
         "others can write"},
        {"module of another owner", folder + "/planted.so", true,
         [](const std::string& m) { ASSERT_EQ(::chown(m.c_str(), kOtherUser, kOtherUser), 0); },
         "belongs to another user"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && ::geteuid() != 0)
            continue;
        if (c.module[0] == '/') {
            ASSERT_TRUE(QDir().mkpath(QString::fromStdString(c.module.substr(0, c.module.rfind('/')))));
            ASSERT_TRUE(QFile::copy(QString::fromStdString(source), QString::fromStdString(c.module)));
            ::chmod(c.module.c_str(), 0644);
            c.plant(c.module);
        }
        const std::string progId = "Module.Thing" + std::to_string(++n);
        Write(userFile(), progId, c.module);
        EXPECT_EQ(Create(progId), CO_E_DLLNOTFOUND);
        const std::string notes = Notes();
        EXPECT_NE(notes.find(c.fault), std::string::npos) << notes;
        if (c.module[0] == '/') {
            EXPECT_EQ(::dlopen(c.module.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "the module was loaded";
        }
    }
    // A folder only the user's group may also write (a build tree under a umask of 002) is no reason to
    // refuse the user's own module: it is loaded, and being no component it lacks DllGetClassObject.
    const std::string groupFolder = root() + "/group";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(groupFolder)));
    ::chmod(groupFolder.c_str(), 0775);
    ASSERT_TRUE(QFile::copy(QString::fromStdString(source), QString::fromStdString(groupFolder + "/own.so")));
    ::chmod((groupFolder + "/own.so").c_str(), 0755);
    Write(userFile(), "Module.Own", groupFolder + "/own.so");
    EXPECT_EQ(Create("Module.Own"), CO_E_ERRORINDLL) << Notes();
}

// The folders above a module decide as much as its own: whoever may rename in one of them can put another
// module in its place. A sticky folder (as /tmp) lets no one rename what is not theirs.
TEST_F(RegistryTrust, AModuleBelowAFolderOthersCouldChangeIsNeverLoaded) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "planting a folder of another user needs root";
    if (!QFile::exists(QString::fromLatin1(kSmallLibrary)))
        GTEST_SKIP() << kSmallLibrary << " is not installed";
    struct Case {
        const char* what;
        uid_t owner;
        gid_t group;
        mode_t mode;
        const char* fault; // nullptr: the module is loaded
    };
    const Case cases[] = {
        {"above it a folder of another user", kOtherUser, kOtherUser, 0755, "belongs to another user"},
        {"above it a folder another group can write", 0, kOtherUser, 0775, "group or others can write"},
        {"above it a folder everyone can write", 0, 0, 0777, "others can write"},
        {"above it a sticky folder everyone can write", 0, 0, 01777, nullptr},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string above = root() + "/above" + std::to_string(++n);
        const std::string module = above + "/lib/module.so";
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(above + "/lib")));
        ::chmod((above + "/lib").c_str(), 0755);
        // A copy of its own per case: once loaded, a module stays loaded.
        ASSERT_TRUE(QFile::copy(QString::fromLatin1(kSmallLibrary), QString::fromStdString(module)));
        ::chmod(module.c_str(), 0644);
        ASSERT_EQ(::chown(above.c_str(), c.owner, c.group), 0);
        ASSERT_EQ(::chmod(above.c_str(), c.mode), 0);
        const std::string progId = "Below.Thing" + std::to_string(n);
        Write(userFile(), progId, module);
        EXPECT_EQ(Create(progId), c.fault ? CO_E_DLLNOTFOUND : CO_E_ERRORINDLL);
        const std::string notes = Notes();
        if (c.fault) {
            EXPECT_NE(notes.find("ignoring " + above + ": "), std::string::npos) << notes;
            EXPECT_NE(notes.find(c.fault), std::string::npos) << notes;
            EXPECT_EQ(::dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "the module was loaded";
        } else {
            EXPECT_EQ(notes, "");
        }
    }
}

namespace {
// Whether the file with that device and inode is mapped into this process.
bool Mapped(const struct stat& file) {
    FILE* maps = std::fopen("/proc/self/maps", "r");
    if (!maps)
        return false;
    bool found = false;
    char line[4096];
    while (!found && std::fgets(line, sizeof line, maps)) {
        unsigned devMajor = 0, devMinor = 0;
        unsigned long inode = 0;
        if (std::sscanf(line, "%*s %*s %*s %x:%x %lu", &devMajor, &devMinor, &inode) == 3)
            found = inode == file.st_ino && devMajor == major(file.st_dev) && devMinor == minor(file.st_dev);
    }
    std::fclose(maps);
    return found;
}

// Waits for a child process within the deadline, killing it after; its exit code, or -1.
int Reap(pid_t child, std::chrono::steady_clock::time_point deadline) {
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
} // namespace

// The user's module lies in a folder of the user's own, in a folder root owns, beside another folder
// that holds another user's module under the same name. Root swaps the two folders as fast as it can
// while the user loads the module again and again (each time in a fresh process, as a loaded module stays
// loaded). Each load checks one of the two: the user's own module is loaded when it was the one checked,
// and the other user's module never, not even when the folders change places between check and load.
TEST_F(RegistryTrust, SwappingFoldersWhileAModuleLoadsNeverLoadsTheOtherUsersModule) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as two other users needs root";
    if (!QFile::exists(QString::fromLatin1(kSmallLibrary)))
        GTEST_SKIP() << kSmallLibrary << " is not installed";
    constexpr uid_t kUser = 4242, kPlanter = 4243;
    // Folders both users can reach: the test's own are private to root.
    QTemporaryDir shared(QStringLiteral("/tmp/velanto-swap-XXXXXX"));
    ASSERT_TRUE(shared.isValid());
    ::chmod(shared.path().toUtf8().constData(), 0755);
    const std::string mine = shared.path().toStdString() + "/lib",
                      spare = shared.path().toStdString() + "/spare";
    const auto plant = [](const std::string& folder, uid_t owner) {
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
        ASSERT_TRUE(
            QFile::copy(QString::fromLatin1(kSmallLibrary), QString::fromStdString(folder + "/module.so")));
        ASSERT_EQ(::chmod((folder + "/module.so").c_str(), 0644), 0);
        ASSERT_EQ(::chown((folder + "/module.so").c_str(), owner, owner), 0);
        ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
        ASSERT_EQ(::chown(folder.c_str(), kUser, kUser), 0);
    };
    plant(mine, kUser);
    plant(spare, kPlanter);
    struct stat planted {};
    ASSERT_EQ(::stat((spare + "/module.so").c_str(), &planted), 0);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const pid_t swapper = ::fork();
    ASSERT_GE(swapper, 0);
    if (swapper == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        while (std::chrono::steady_clock::now() < deadline + std::chrono::seconds(5))
            ::renameat2(AT_FDCWD, mine.c_str(), AT_FDCWD, spare.c_str(), RENAME_EXCHANGE);
        ::_exit(0);
    }
    int runs = 0, theirsLoaded = 0, mineLoaded = 0;
    for (; runs < 150 && std::chrono::steady_clock::now() < deadline; ++runs) {
        const pid_t loader = ::fork();
        ASSERT_GE(loader, 0);
        if (loader == 0) {
            if (::setgid(kUser) != 0 || ::setuid(kUser) != 0)
                ::_exit(10);
            if (!LoadModule(mine + "/module.so"))
                ::_exit(0);
            ::_exit(Mapped(planted) ? 2 : 1);
        }
        const int code = Reap(loader, deadline + std::chrono::seconds(5));
        ASSERT_TRUE(code >= 0 && code <= 2) << "the loader ended with " << code;
        theirsLoaded += code == 2;
        mineLoaded += code == 1;
    }
    ::kill(swapper, SIGKILL);
    Reap(swapper, std::chrono::steady_clock::now() + std::chrono::seconds(5));
    EXPECT_GE(runs, 10);
    EXPECT_EQ(theirsLoaded, 0) << "in " << runs << " runs";
    // Both folders were checked in some runs: the swaps did race the loads.
    EXPECT_GT(mineLoaded, 0) << "in " << runs << " runs";
    EXPECT_LT(mineLoaded, runs) << "the folders were never swapped";
}

// Without HOME and without an entry in the account database there is no user registry at all: only the
// machine-wide one is read, and nothing is written anywhere (least of all in a shared temporary folder).
TEST_F(RegistryTrust, WithoutAHomeFolderThereIsNoUserRegistry) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "running as a user without an account needs root";
    // Folders that user can reach: the test's own are private to root.
    QTemporaryDir shared(QStringLiteral("/tmp/velanto-homeless-XXXXXX"));
    ASSERT_TRUE(shared.isValid());
    const std::string machine = shared.path().toStdString() + "/machine";
    ::chmod(shared.path().toUtf8().constData(), 0755);
    env.set("XDG_DATA_DIRS", machine);
    uid_t homeless = 54321;
    while (::getpwuid(homeless))
        ++homeless;
    Write(machine + "/velanto-com/classes.reg", "Machine.Thing", kLibc);
    const std::string tmp = shared.path().toStdString() + "/tmp";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(tmp)));
    ::chmod(tmp.c_str(), 01777);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::unsetenv("HOME");
        ::unsetenv("XDG_DATA_HOME");
        ::setenv("TMPDIR", tmp.c_str(), 1);
        if (::setgid(homeless) != 0 || ::setuid(homeless) != 0)
            ::_exit(10);
        if (!Registry::UserPath().empty() || !Registry::DefaultPath().empty())
            ::_exit(11);
        void* object = nullptr;
        if (CreateObjectByProgID("Machine.Thing", IID_IDispatch, &object) != CO_E_ERRORINDLL)
            ::_exit(12);
        const std::string notes = Notes();
        if (notes.find("no user class registry") == std::string::npos ||
            notes.find("only the machine-wide registry") == std::string::npos)
            ::_exit(13);
        RegistryTransaction tx(Registry::DefaultPath());
        if (tx.ok() || Notes().find("no user class registry") == std::string::npos)
            ::_exit(14);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(QDir(QString::fromStdString(tmp)).isEmpty());
}

} // namespace
