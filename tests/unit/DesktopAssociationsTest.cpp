// The program the desktop's MIME database names for a file, from private XDG folders: the
// system's own applications are out of sight, the MIME types themselves stay known.
#include "platform/shell/DesktopAssociations.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using wsx::platform::defaultProgramFor;
namespace fs = std::filesystem;

namespace {

// A desktop entry for `exec` handling `mimeTypes`. The folder's mimeinfo.cache, which GIO
// reads instead of the entries' MimeType lines, is written by the test as
// update-desktop-database would write it.
void installEntry(const fs::path& applications, const std::string& name, const std::string& exec,
                  const std::string& mimeTypes) {
    std::ofstream(applications / (name + ".desktop"))
        << "[Desktop Entry]\nType=Application\nName=" << name << "\nExec=" << exec
        << " %f\nMimeType=" << mimeTypes << "\n";
}

}  // namespace

TEST(DesktopAssociations, NamesTheDefaultProgramByTypeAliasAndTheUsersChoice) {
    if (!fs::exists("/usr/share/mime/packages/freedesktop.org.xml"))
        GTEST_SKIP() << "no MIME database (Debian package shared-mime-info)";
    wsx::test::TempDir home;
    const fs::path data = home.path() / "data", config = home.path() / "config",
                   system = home.path() / "system", applications = data / "applications";
    fs::create_directories(applications);
    fs::create_directories(config);
    fs::create_directories(system);
    fs::create_directory_symlink("/usr/share/mime", system / "mime");
    // Before GLib's first look at the XDG folders: it reads them once per process.
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("XDG_DATA_DIRS", system.c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("XDG_CONFIG_DIRS", config.c_str(), 1);
    unsetenv("XDG_CURRENT_DESKTOP");

    // A viewer that lists only the CHM type's other name, two browsers, and a PDF reader
    // whose program is not installed.
    installEntry(applications, "chmviewer", "/bin/true", "application/x-chm;");
    installEntry(applications, "firstbrowser", "/bin/true", "text/html;");
    installEntry(applications, "secondbrowser", "/bin/true", "text/html;");
    installEntry(applications, "pdfreader", (home.path() / "missing-reader").string(),
                 "application/pdf;");
    std::ofstream(applications / "mimeinfo.cache")
        << "[MIME Cache]\napplication/x-chm=chmviewer.desktop;\n"
           "text/html=firstbrowser.desktop;secondbrowser.desktop;\n"
           "application/pdf=pdfreader.desktop;\n";
    // The user chose the second browser.
    std::ofstream(config / "mimeapps.list")
        << "[Default Applications]\ntext/html=secondbrowser.desktop;\n";

    EXPECT_EQ(defaultProgramFor("/usr/lib/wanshengxia/record.chm"), "chmviewer.desktop");
    EXPECT_EQ(defaultProgramFor("/opt/录音 工具/help/index.html"), "secondbrowser.desktop");
    EXPECT_EQ(defaultProgramFor("/tmp/manual.pdf"), "");  // its program is not there
    EXPECT_EQ(defaultProgramFor("/tmp/take.wav"), "");    // nobody handles the type
    EXPECT_EQ(defaultProgramFor("/tmp/no-extension"), "");
}
