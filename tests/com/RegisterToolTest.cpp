// The register tool runs a module's code only when the module is trusted: the install runs it as root.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString Replaced(QString text, const QString& module, const QString& folder) {
    return text.replace(QLatin1String("%M"), module).replace(QLatin1String("%F"), folder);
}

TEST(RegisterTool, RunsNothingOfAModuleItDoesNotTrust) {
    struct Case {
        const char* what;
        mode_t folderMode, moduleMode;
        bool throughLink; // named by a relative path through a link of another user
        bool unregister;
        int exitCode;
        const char* said; // %M the module's path, %F its folder's
        const char* marks;
    };
    const Case cases[] = {
        {"trusted", 0755, 0644, false, false, 0, "DllRegisterServer in %M succeeded", "loaded registered "},
        {"trusted, unregistered", 0755, 0644, false, true, 0, "DllUnregisterServer in %M succeeded",
         "loaded unregistered "},
        {"in a folder others can write", 0777, 0644, false, false, 1,
         "refusing to run %M: velanto-com: ignoring %F: others can write to it", ""},
        {"unregistered from a folder others can write", 0777, 0644, false, true, 1,
         "ignoring %F: others can write to it", ""},
        {"the group can write it", 0755, 0664, false, false, 1,
         "ignoring %M: group or others can write to it", ""},
        {"through a link of another user", 0755, 0644, true, false, 1,
         "ignoring %F/theirs: it is a symbolic link of another user", ""},
    };
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.throughLink && ::geteuid() != 0)
            continue; // a link of another user needs root to make
        const QString folder = dir.path() + QStringLiteral("/case%1").arg(++n);
        const QString module = folder + QStringLiteral("/marker.so");
        const QString marker = dir.path() + QStringLiteral("/marks%1").arg(n);
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(QFile::copy(QStringLiteral(VELANTO_TEST_MARKER_MODULE), module));
        ASSERT_EQ(::chmod(QFile::encodeName(module).constData(), c.moduleMode), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), c.folderMode), 0);
        QString named = module;
        QProcess tool;
        if (c.throughLink) {
            const QByteArray link = QFile::encodeName(folder + QStringLiteral("/theirs"));
            ASSERT_EQ(::symlink(".", link.constData()), 0);
            ASSERT_EQ(::lchown(link.constData(), 65534, 65534), 0);
            tool.setWorkingDirectory(folder);
            named = QStringLiteral("theirs/marker.so");
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("VELANTO_TEST_MARKER"), marker);
        tool.setProcessEnvironment(env);
        tool.setProcessChannelMode(QProcess::MergedChannels);
        QStringList args;
        if (c.unregister)
            args << QStringLiteral("-u");
        tool.start(QStringLiteral(VELANTO_REGSVR), args << named);
        ASSERT_TRUE(tool.waitForFinished(60000));
        const QString output = QString::fromUtf8(tool.readAll());
        EXPECT_EQ(tool.exitCode(), c.exitCode) << output.toStdString();
        EXPECT_TRUE(output.contains(Replaced(QString::fromLatin1(c.said), module, folder)))
            << output.toStdString();
        QFile marks(marker);
        EXPECT_EQ(marks.open(QIODevice::ReadOnly) ? marks.readAll().toStdString() : std::string(), c.marks);
    }
}

} // namespace
