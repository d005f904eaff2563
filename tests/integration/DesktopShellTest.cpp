// QtShell: programs started without a shell, documents and addresses handed to the desktop's
// opener or to the program the MIME database names. The opener is xdg-open, looked up on
// PATH; these cases put a recording xdg-open first on PATH and give GIO private
// XDG folders whose only program is a recording player for WAV files, so nothing real is
// launched.

#include "platform/shell/QtShell.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {

using namespace wsx::platform;

bool writeExecutable(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) return false;
    file.close();
    return file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                               QFileDevice::ExeOwner);
}

QStringList readLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

class DesktopShell : public ::testing::Test {
protected:
    // GLib reads the XDG folders once per process: one folder for all cases.
    static void SetUpTestSuite() {
        s_bin = std::make_unique<QTemporaryDir>();
        writeExecutable(s_bin->filePath("xdg-open"),
                        "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$WSX_TEST_OPENED\"\n"
                        "exit \"${WSX_TEST_OPENER_STATUS:-0}\"\n");
        writeExecutable(s_bin->filePath("player"),
                        "#!/bin/sh\nprintf 'player %s\\n' \"$@\" >> \"$WSX_TEST_OPENED\"\n");
        // GLib reads the XDG folders once per process: set them before its first look.
        QDir root(s_bin->path());
        root.mkpath("data/applications");
        root.mkpath("config");
        root.mkpath("system");
        QFile::link("/usr/share/mime", root.filePath("system/mime"));
        QFile entry(root.filePath("data/applications/player.desktop"));
        if (entry.open(QIODevice::WriteOnly))
            entry.write("[Desktop Entry]\nType=Application\nName=Player\nExec=" +
                        s_bin->filePath("player").toUtf8() + " %f\nMimeType=audio/x-wav;\n");
        entry.close();
        QFile cache(root.filePath("data/applications/mimeinfo.cache"));
        if (cache.open(QIODevice::WriteOnly))
            cache.write("[MIME Cache]\naudio/x-wav=player.desktop;\n");
        cache.close();
        qputenv("XDG_DATA_HOME", root.filePath("data").toLocal8Bit());
        qputenv("XDG_DATA_DIRS", root.filePath("system").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", root.filePath("config").toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", root.filePath("config").toLocal8Bit());
        qputenv("PATH", s_bin->path().toLocal8Bit() + ':' + qgetenv("PATH"));
        qunsetenv("BROWSER");
        qunsetenv("DEFAULT_BROWSER");
    }
    static void TearDownTestSuite() { s_bin.reset(); }

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qunsetenv("WSX_TEST_OPENER_STATUS");
        opened = dir.filePath("opened.txt");
        qputenv("WSX_TEST_OPENED", opened.toLocal8Bit());
    }

    // What the opener was given, once it has run: the file may exist before its line is
    // written whole (a started program writes it on its own time).
    QStringList openerArguments() {
        const auto written = [&] {
            QFile file(opened);
            return file.open(QIODevice::ReadOnly) && file.readAll().endsWith('\n');
        };
        if (!QTest::qWaitFor(written, 5000)) return {};
        return readLines(opened);
    }

    static std::unique_ptr<QTemporaryDir> s_bin;
    QTemporaryDir dir;
    QString opened;
    QtShell shell;
};

std::unique_ptr<QTemporaryDir> DesktopShell::s_bin;

TEST_F(DesktopShell, StartProgramTakesThePathLiterally) {
    // Spaces and shell syntax in the path would split or run something else through a shell.
    const QString program = dir.filePath("系统 信息; touch hacked");
    const QString ran = dir.filePath("ran");
    ASSERT_TRUE(writeExecutable(program, "#!/bin/sh\ntouch \"" + ran.toUtf8() + "\"\n"));

    EXPECT_TRUE(shell.StartProgram(program.toStdString()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(ran); }, 5000))
        << "the program did not run";
    EXPECT_FALSE(QFile::exists(dir.filePath("hacked")));
}

TEST_F(DesktopShell, StartProgramFailsForWhatCannotRun) {
    EXPECT_FALSE(shell.StartProgram(dir.filePath("missing").toStdString()));
    const QString plain = dir.filePath("not-executable");
    QFile file(plain);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(shell.StartProgram(plain.toStdString()));
    EXPECT_FALSE(shell.StartProgram(""));
}

TEST_F(DesktopShell, MissingLocalFileIsFileNotFound) {
    EXPECT_EQ(shell.ShellExecute(dir.filePath("record.chm").toStdString(), SW_SHOWNORMAL),
              SE_ERR_FNF);
    EXPECT_EQ(shell.ShellExecute("", SW_SHOWNORMAL), SE_ERR_FNF);
    EXPECT_FALSE(QFile::exists(opened)) << "the opener ran for a missing file";
}

TEST_F(DesktopShell, LocalFileReachesTheOpenerAsItsUrl) {
    const QString help = dir.filePath("帮助 文件#1.chm");
    QFile file(help);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    EXPECT_GT(shell.ShellExecute(help.toStdString(), SW_SHOWNORMAL), 32);
    const QStringList args = openerArguments();
    ASSERT_EQ(args.size(), 1) << args.join(u'|').toStdString();
    EXPECT_EQ(QUrl(args[0]).toLocalFile(), help);
}

TEST_F(DesktopShell, ALocalFileGoesToTheProgramTheDesktopNamesForItsType) {
    const QString take = dir.filePath("录音 #1.wav");
    QFile file(take);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString help = dir.filePath("record.chm");
    QFile(take).copy(help);

    std::string program;
    EXPECT_GT(shell.FindExecutable(take.toStdString(), program), 32);
    EXPECT_EQ(program, "player.desktop");
    EXPECT_EQ(shell.FindExecutable(help.toStdString(), program), SE_ERR_NOASSOC);
    EXPECT_EQ(program, "");
    EXPECT_EQ(shell.FindExecutable(dir.filePath("gone.wav").toStdString(), program), SE_ERR_FNF);

    // The named program gets the path itself; the opener is not asked.
    EXPECT_GT(shell.ShellExecute(take.toStdString(), SW_SHOWNORMAL), 32);
    EXPECT_EQ(openerArguments(), QStringList{"player " + take});
}

TEST_F(DesktopShell, AddressesReachTheOpenerUnchanged) {
    EXPECT_GT(shell.ShellExecute("https://example.com/info?a=1&b=2", SW_SHOWNORMAL), 32);
    EXPECT_GT(shell.ShellExecute("mailto:someone@example.com", SW_SHOWNORMAL), 32);
    ASSERT_TRUE(QTest::qWaitFor([&] { return readLines(opened).size() == 2; }, 5000));
    const QStringList args = readLines(opened);
    EXPECT_TRUE(args.contains("https://example.com/info?a=1&b=2")) << args.join(u'|').toStdString();
    EXPECT_TRUE(args.contains("mailto:someone@example.com")) << args.join(u'|').toStdString();
}

// xdg-open's "no method available" (3) or a failed launch (4) is a failure the caller can
// tell the user about, for local files as for addresses.
TEST_F(DesktopShell, AnOpenerThatFailsIsNoAssociation) {
    const QString help = dir.filePath("index.html");
    QFile file(help);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    for (const char* status : {"3", "4"}) {
        qputenv("WSX_TEST_OPENER_STATUS", status);
        EXPECT_EQ(shell.ShellExecute(help.toStdString(), SW_SHOWNORMAL), SE_ERR_NOASSOC) << status;
        EXPECT_EQ(shell.ShellExecute("https://example.com/", SW_SHOWNORMAL), SE_ERR_NOASSOC)
            << status;
    }
    EXPECT_EQ(readLines(opened).size(), 4) << "the opener was not asked each time";
}

}  // namespace
