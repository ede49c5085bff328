// The per-user registry file and the registry scripts applied to it.
#include "com/Registry.h"
#include "com/Registrar.h"
#include "tests/support/TimeBounds.h"

#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace com;

namespace {
std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

constexpr char kScript[] = R"(HKCR
{
    My.Thing.1 = s 'My Thing'
    {
        CLSID = s '{11111111-2222-3333-4444-555555555555}'
    }
    NoRemove CLSID
    {
        ForceRemove {11111111-2222-3333-4444-555555555555} = s 'My Thing'
        {
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            'Implemented Categories'
            {
                ForceRemove {7DD95801-9882-11CF-9FA9-00AA006C42C4}
            }
        }
        val Shared = s 'x'
    }
}
)";
constexpr char kClassKey[] = "CLSID\\{11111111-2222-3333-4444-555555555555}";
} // namespace

TEST(ComRegistry, KeysIgnoreLetterCaseAndTreesStayApart) {
    Registry r;
    r.SetValue("CLSID\\{ABC}\\InprocServer32", "", "/a.so");
    r.SetValue("CLSID\\{ABC}x", "", "sibling with a common prefix");
    r.SetValue("clsid\\{abc}", "Name", "v");
    EXPECT_TRUE(r.KeyExists("CLSID"));
    EXPECT_TRUE(r.KeyExists("Clsid\\{Abc}"));
    EXPECT_EQ(r.GetValue("CLSID\\{ABC}", "NAME"), "v");
    EXPECT_EQ(r.SubKeys("CLSID"), (std::vector<std::string>{"{ABC}", "{ABC}x"}));
    EXPECT_TRUE(r.DeleteTree("CLSID\\{abc}"));
    EXPECT_FALSE(r.KeyExists("CLSID\\{ABC}\\InprocServer32"));
    EXPECT_EQ(r.GetValue("CLSID\\{ABC}x"), "sibling with a common prefix");
    EXPECT_FALSE(r.DeleteKeyIfLeaf("CLSID"));
    EXPECT_FALSE(r.DeleteTree("CLSID\\{ABC}"));
}

TEST(ComRegistry, FileLivesInTheUsersOwnDataFolder) {
    const std::string savedData = std::getenv("XDG_DATA_HOME");
    const std::string savedHome = std::getenv("HOME");
    ::setenv("XDG_DATA_HOME", "/abs/data", 1);
    EXPECT_EQ(Registry::DefaultPath(), "/abs/data/velanto-com/classes.reg");
    ::setenv("XDG_DATA_HOME", "relative/data", 1); // not absolute: ignored, as the XDG rules say
    EXPECT_EQ(Registry::DefaultPath(), savedHome + "/.local/share/velanto-com/classes.reg");
    // Without HOME the account's home folder is used, never a folder every user can write to, where
    // anyone could plant a registry that makes the program load a module of theirs.
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("HOME");
    const passwd* account = ::getpwuid(::getuid());
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(Registry::DefaultPath(),
              std::string(account->pw_dir) + "/.local/share/velanto-com/classes.reg");
    ::setenv("HOME", savedHome.c_str(), 1);
    ::setenv("XDG_DATA_HOME", savedData.c_str(), 1);
}

TEST(ComRegistry, FileRoundTripKeepsEveryCharacter) {
    Registry r;
    r.SetValue("A\\Key with spaces", "", "tab\there\nline\r\\back");
    r.SetValue("A\\Key with spaces", "named\tvalue", "");
    r.CreateKey("Empty\\Leaf");
    Registry back;
    ASSERT_TRUE(back.Parse(r.Serialize()));
    EXPECT_EQ(back.GetValue("A\\Key with spaces"), "tab\there\nline\r\\back");
    EXPECT_EQ(back.GetValue("A\\Key with spaces", "named\tvalue"), "");
    EXPECT_TRUE(back.KeyExists("Empty\\Leaf"));
    EXPECT_EQ(back.Serialize(), r.Serialize());
    for (const char* bad : {"not a registry", "VELANTO-REGISTRY 1\nX\tfoo\n",
                            "VELANTO-REGISTRY 1\nK\tbad\\q\n", "VELANTO-REGISTRY 1\nV\tname\tvalue\n"})
        EXPECT_FALSE(Registry().Parse(bad)) << bad;
}

TEST(ComRegistry, CorruptFileIsNeverOverwrittenAndWritesAreAtomic) {
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("sub/classes.reg").toStdString();
    {
        RegistryTransaction tx(path);
        ASSERT_TRUE(tx.ok());
        tx.registry().SetValue("K", "", "v");
        ASSERT_TRUE(tx.Commit());
    }
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(QString::fromStdString(path.substr(0, path.rfind('/')))).entryList(QDir::Files).size(), 2)
        << "only the file and its lock, no temporary left";

    std::ofstream(path) << "garbage";
    RegistryTransaction tx(path);
    EXPECT_FALSE(tx.ok());
    EXPECT_FALSE(tx.Commit());
    EXPECT_EQ(ReadFile(path), "garbage");
    EXPECT_FALSE(ReadRegistry(path));
}

TEST(ComRegistry, LockHeldElsewhereEndsTheWaitInsteadOfHanging) {
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("classes.reg").toStdString();
    // Another registration that hangs while it holds the lock.
    const int holder = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    const auto start = std::chrono::steady_clock::now();
    {
        RegistryTransaction tx(path, 2000);
        EXPECT_FALSE(tx.ok());
        EXPECT_FALSE(tx.Commit()); // no second wait
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(testenv::EndedByItsTimeOut(
        std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 2000));
    // Once the lock is free again, the next update goes through.
    ::close(holder);
    RegistryTransaction tx(path, 300);
    EXPECT_TRUE(tx.ok());
}

TEST(ComRegistry, ConcurrentUpdatesLoseNothing) {
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("classes.reg").toStdString();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&path, t] {
            for (int i = 0; i < 25; ++i) {
                RegistryTransaction tx(path);
                ASSERT_TRUE(tx.ok());
                tx.registry().SetValue("T" + std::to_string(t) + "\\" + std::to_string(i), "", "x");
                ASSERT_TRUE(tx.Commit());
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    std::optional<Registry> r = ReadRegistry(path);
    ASSERT_TRUE(r);
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(r->SubKeys("T" + std::to_string(t)).size(), 25u);
}

TEST(ComRegistrar, RegisterThenUnregisterFollowsTheFlags) {
    Registry r;
    // Left-overs of an older registration under the ForceRemove key go away on register.
    r.SetValue(std::string(kClassKey) + "\\Stale", "", "old");
    // Foreign keys under NoRemove and plain keys survive unregister.
    r.SetValue("CLSID\\{99999999-0000-0000-0000-000000000000}", "", "other");
    r.SetValue("CLSID", "Shared", "someone else's");

    ASSERT_EQ(ApplyRegistryScript(kScript, {{"MODULE", "/opt/it's/thing.so"}}, true, r), S_OK);
    EXPECT_EQ(r.GetValue("My.Thing.1"), "My Thing");
    EXPECT_EQ(r.GetValue("My.Thing.1\\CLSID"), "{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(r.GetValue(std::string(kClassKey) + "\\InprocServer32"), "/opt/it's/thing.so");
    EXPECT_EQ(r.GetValue(std::string(kClassKey) + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_TRUE(r.KeyExists(std::string(kClassKey) +
                            "\\Implemented Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}"));
    EXPECT_FALSE(r.KeyExists(std::string(kClassKey) + "\\Stale"));
    EXPECT_EQ(r.GetValue("CLSID", "Shared"), "x");

    // A foreign subkey under the plain ProgID key keeps that key alive (only the script's part goes).
    r.SetValue("My.Thing.1\\Foreign", "", "keep");
    ASSERT_EQ(ApplyRegistryScript(kScript, {}, false, r), S_OK);
    EXPECT_FALSE(r.KeyExists(kClassKey));
    EXPECT_TRUE(r.KeyExists("CLSID"));
    EXPECT_FALSE(r.GetValue("CLSID", "Shared"));
    EXPECT_EQ(r.GetValue("CLSID\\{99999999-0000-0000-0000-000000000000}"), "other");
    EXPECT_TRUE(r.KeyExists("My.Thing.1\\Foreign"));
    EXPECT_FALSE(r.KeyExists("My.Thing.1\\CLSID"));
    EXPECT_FALSE(r.GetValue("My.Thing.1"));

    // Again: nothing left to remove, nothing else touched.
    const std::string before = r.Serialize();
    ASSERT_EQ(ApplyRegistryScript(kScript, {}, false, r), S_OK);
    EXPECT_EQ(r.Serialize(), before);
}

TEST(ComRegistrar, ScriptsThatDoNotParseChangeNothing) {
    const char* bad[] = {
        "HKLM { Key = s 'v' }",
        "HKCR { Key = s 'unterminated }",
        "HKCR { Key = x 'v' }",
        "HKCR { Key { val = s 'v' } }",
        "HKCR { Key }}",
        "HKCR { Key",
        "HKCR { Key\\Sub = s 'v' }",
        "HKCR { ForceRemove }",
    };
    for (const char* script : bad) {
        Registry r;
        r.SetValue("Existing", "", "v");
        const std::string before = r.Serialize();
        EXPECT_EQ(ApplyRegistryScript(script, {}, true, r), E_INVALIDARG) << script;
        EXPECT_EQ(r.Serialize(), before) << script;
    }
}

TEST(ComRegistrar, UpdatesTheFileInOneStep) {
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("classes.reg").toStdString();
    ASSERT_EQ(UpdateRegistryFromScript(kScript, {{"MODULE", "/m.so"}}, true, path), S_OK);
    std::optional<Registry> r = ReadRegistry(path);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->GetValue(std::string(kClassKey) + "\\InprocServer32"), "/m.so");
    std::ofstream(path) << "garbage";
    EXPECT_NE(UpdateRegistryFromScript(kScript, {}, false, path), S_OK);
    EXPECT_EQ(ReadFile(path), "garbage");
}
