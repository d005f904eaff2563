// The start-up ("Run") key backed by autostart entries: what is stored, where, and what other
// programs (session managers, desktop-file-validate, GLib) make of it.
#include "platform/registry/AutostartEntry.h"
#include "platform/registry/ProgramFinder.h"
#include "platform/registry/Registry.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <stdlib.h>  // mkdtemp

namespace fs = std::filesystem;
using namespace wsx::registry;
using namespace std::string_literals;

namespace {

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

using wsx::test::TempDir;

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void spit(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string withNul(const std::string& text) { return text + '\0'; }

// Paths that break naive quoting or escaping somewhere along the way to a session manager.
const std::vector<std::string> kHostileTexts = {
    "/usr/lib/wanshengxia/wanshengxia",
    "/home/用户/录音 工具/万声匣",
    " /blank at both ends/ ",
    "  two  blanks  ",
    "/q\"uo'te/\"x\"",
    "/100%/%f %%u %",
    "/$HOME/`id`/$(x)",
    "C:\\Tools\\rec",
    "/trailing\\",
    "\\s\\n are not escapes here",
    "/new\nline\ttab\rcr",
    "/x\n[Desktop Entry]\nExec=/bin/evil\nHidden=true",
    "=#;[]",
};

class RunKeyTest : public ::testing::Test {
protected:
    struct Read {
        LONG rc = -1;
        DWORD type = 0;
        std::string bytes;
    };

    LONG set(std::string_view name, const std::string& bytes) {
        HKEY key = 0;
        EXPECT_EQ(reg.RegOpenKey(HKEY_LOCAL_MACHINE, kRunKey, &key), ERROR_SUCCESS);
        const LONG rc =
            reg.RegSetValueEx(key, name, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                              static_cast<DWORD>(bytes.size()));
        reg.RegCloseKey(key);
        return rc;
    }

    Read get(std::string_view name) {
        Read r;
        HKEY key = 0;
        EXPECT_EQ(reg.RegOpenKey(HKEY_LOCAL_MACHINE, kRunKey, &key), ERROR_SUCCESS);
        DWORD size = 0;
        r.rc = reg.RegQueryValueEx(key, name, &r.type, nullptr, &size);
        if (r.rc == ERROR_SUCCESS) {
            r.bytes.assign(size, '\x7f');
            r.rc = reg.RegQueryValueEx(key, name, &r.type, reinterpret_cast<BYTE*>(r.bytes.data()),
                                       &size);
            r.bytes.resize(size);
        }
        reg.RegCloseKey(key);
        return r;
    }

    fs::path entryFile(std::string_view name) const {
        return folder / autostart::fileNameFor(name);
    }

    TempDir tmp;
    fs::path folder = tmp.path() / "config" / "autostart";
    Registry reg{RegistryEnvironment{folder, ""}};
};

// ----- what is stored --------------------------------------------------------------------

TEST_F(RunKeyTest, AbsentValueIsNotFoundAndReadingCreatesNothing) {
    EXPECT_EQ(get("record").rc, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(RunKeyTest, HostileTextsReadBackExactly) {
    for (const std::string& text : kHostileTexts) {
        SCOPED_TRACE(text);
        ASSERT_EQ(set("record", withNul(text)), ERROR_SUCCESS);
        const Read r = get("record");
        EXPECT_EQ(r.rc, ERROR_SUCCESS);
        EXPECT_EQ(r.type, REG_SZ);
        EXPECT_EQ(r.bytes, withNul(text));
    }
}

TEST_F(RunKeyTest, DataSizeIsKeptWithOrWithoutTerminator) {
    ASSERT_EQ(set("record", "abcde"), ERROR_SUCCESS);  // no NUL at all
    EXPECT_EQ(get("record").bytes, "abcde");
    ASSERT_EQ(set("record", "abc\0\0\0"s), ERROR_SUCCESS);
    EXPECT_EQ(get("record").bytes, "abc\0\0\0"s);
    ASSERT_EQ(set("record", ""), ERROR_SUCCESS);  // size 0
    const Read r = get("record");
    EXPECT_EQ(r.rc, ERROR_SUCCESS);
    EXPECT_EQ(r.bytes, "");
}

TEST_F(RunKeyTest, EmptyTextIsAnEntryPresentButDisabled) {
    ASSERT_EQ(set("record", withNul("/opt/rec")), ERROR_SUCCESS);
    std::string file = slurp(entryFile("record"));
    EXPECT_NE(file.find("\nExec=\"/opt/rec\"\n"), std::string::npos) << file;
    EXPECT_EQ(file.find("Hidden"), std::string::npos) << file;

    ASSERT_EQ(set("record", withNul("")), ERROR_SUCCESS);
    file = slurp(entryFile("record"));
    EXPECT_NE(file.find("\nHidden=true\n"), std::string::npos) << file;
    EXPECT_EQ(file.find("Exec="), std::string::npos) << file;
    EXPECT_EQ(get("record").bytes, withNul(""));
}

TEST_F(RunKeyTest, UnstorableDataIsRefusedAndTheOldValueKept) {
    ASSERT_EQ(set("record", withNul("/ok")), ERROR_SUCCESS);
    for (const std::string& bad : {"\xff\xfe/x"s,
                                   "/a\x01"
                                   "b"s,
                                   "a\0b"s, "\xc0\xaf"s, "\xed\xa0\x80"s, "/cut\xe4\xb8"s}) {
        SCOPED_TRACE(testing::PrintToString(bad));
        EXPECT_EQ(set("record", withNul(bad)), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(get("record").bytes, withNul("/ok"));
}

// ----- where it is stored ----------------------------------------------------------------

TEST_F(RunKeyTest, ValueNamesMapToDistinctFilesInsideTheFolderOnly) {
    const std::vector<std::string> names = {"record", "a/b", "../escape", ".",         "",
                                            "a_2fb",  "a b", "录音",      "x.desktop", "A-B"};
    for (std::size_t i = 0; i < names.size(); ++i)
        ASSERT_EQ(set(names[i], withNul("/v/" + std::to_string(i))), ERROR_SUCCESS) << names[i];
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(get(names[i]).bytes, withNul("/v/" + std::to_string(i))) << names[i];
    EXPECT_EQ(get("RECORD").bytes, withNul("/v/0"));  // value names ignore case
    EXPECT_EQ(get("a-b").bytes, withNul("/v/9"));

    // One file per name, no temporary files left, nothing written outside the folder.
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(tmp.path())) {
        if (entry.is_directory()) continue;
        ++files;
        EXPECT_EQ(entry.path().parent_path(), folder) << entry.path();
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.rfind(autostart::kFilePrefix, 0), 0u) << name;
        EXPECT_TRUE(name.ends_with(".desktop")) << name;
    }
    EXPECT_EQ(files, names.size());
}

TEST_F(RunKeyTest, OtherProgramsEntriesAreNeverTouched) {
    fs::create_directories(folder);
    const std::map<std::string, std::string> foreign = {
        {"record.desktop", "[Desktop Entry]\nType=Application\nName=Other\nExec=/bin/other\n"},
        {"wanshengxia.desktop", "[Desktop Entry]\nType=Application\nName=Mine?\nExec=/x\n"},
        {"wanshengxia-run-record.desktop~", "editor backup\n"},
        {"README", "not a desktop file"},
    };
    std::map<std::string, fs::file_time_type> stamps;
    for (const auto& [name, text] : foreign) {
        spit(folder / name, text);
        fs::last_write_time(folder / name,
                            fs::file_time_type::clock::now() - std::chrono::hours(1));
        stamps[name] = fs::last_write_time(folder / name);
    }

    ASSERT_EQ(set("record", withNul("/opt/rec")), ERROR_SUCCESS);
    ASSERT_EQ(set("record", withNul("")), ERROR_SUCCESS);
    EXPECT_EQ(get("record").bytes, withNul(""));
    EXPECT_EQ(get("wanshengxia").rc, ERROR_FILE_NOT_FOUND);

    for (const auto& [name, text] : foreign) {
        EXPECT_EQ(slurp(folder / name), text) << name;
        EXPECT_EQ(fs::last_write_time(folder / name), stamps[name]) << name;
    }
}

TEST_F(RunKeyTest, MissingFoldersAreCreatedPrivateExistingOnesKeepTheirMode) {
    ASSERT_EQ(set("record", withNul("/opt/rec")), ERROR_SUCCESS);
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(folder.parent_path()).permissions(), fs::perms::owner_all);
    const auto filePerms = fs::status(entryFile("record")).permissions();
    EXPECT_EQ(filePerms & (fs::perms::group_write | fs::perms::others_write), fs::perms::none);

    const fs::path other = tmp.path() / "shared";
    fs::create_directories(other / "autostart");
    const auto mode = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                      fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(other / "autostart", mode);
    Registry shared{RegistryEnvironment{other / "autostart", ""}};
    HKEY key = 0;
    ASSERT_EQ(shared.RegOpenKey(HKEY_LOCAL_MACHINE, kRunKey, &key), ERROR_SUCCESS);
    ASSERT_EQ(shared.RegSetValueEx(key, "record", REG_SZ, reinterpret_cast<const BYTE*>("/x"), 3),
              ERROR_SUCCESS);
    shared.RegCloseKey(key);
    EXPECT_EQ(fs::status(other / "autostart").permissions(), mode);
}

TEST_F(RunKeyTest, WriteFailsCleanlyWhenTheFolderCannotBeMade) {
    spit(tmp.path() / "config", "a file where the config folder should be");
    EXPECT_EQ(set("record", withNul("/opt/rec")), ERROR_ACCESS_DENIED);
    EXPECT_NE(get("record").rc, ERROR_SUCCESS);
}

// ----- reading entries we did not write just now -------------------------------------------

TEST_F(RunKeyTest, UnreadableEntriesAreReportedAndRepairedByTheNextWrite) {
    fs::create_directories(folder);
    const std::vector<std::string> broken = {
        "",
        "not a desktop file\n",
        "[Desktop Entry]\nType=Application\nExec=/x\n",                       // no value field
        "[Desktop Entry]\nX-Wanshengxia-Value=/a\\qb\n",                      // unknown escape
        "[Desktop Entry]\nX-Wanshengxia-Value=/abc\nX-Wanshengxia-Size=2\n",  // size < text
        "[Desktop Entry]\nX-Wanshengxia-Value=/a\nX-Wanshengxia-Value=/b\n",  // duplicate key
        "[Other]\nX-Wanshengxia-Value=/a\n",                                  // wrong first group
    };
    for (const std::string& text : broken) {
        SCOPED_TRACE(text);
        spit(entryFile("record"), text);
        EXPECT_EQ(get("record").rc, ERROR_REGISTRY_CORRUPT);
    }
    ASSERT_EQ(set("record", withNul("/new")), ERROR_SUCCESS);
    EXPECT_EQ(get("record").bytes, withNul("/new"));

    fs::remove(entryFile("record"));
    fs::create_directory(entryFile("record"));  // not a file at all
    EXPECT_EQ(get("record").rc, ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(set("record", withNul("/new")), ERROR_ACCESS_DENIED);
}

TEST_F(RunKeyTest, EntrySwitchedOffBySessionManagerReadsAsEmptyText) {
    for (const char* off : {"Hidden=true\n", "X-GNOME-Autostart-enabled=false\n"}) {
        SCOPED_TRACE(off);
        ASSERT_EQ(set("record", withNul("/opt/rec")), ERROR_SUCCESS);
        std::ofstream(entryFile("record"), std::ios::app) << off;
        EXPECT_EQ(get("record").bytes, withNul(""));
    }
}

// ----- the entry as others read it ---------------------------------------------------------

TEST(AutostartEntryTest, ExecQuotesTheProgramAsOneArgument) {
    EXPECT_EQ(autostart::execFieldFor("/usr/bin/rec"), R"("/usr/bin/rec")");
    EXPECT_EQ(autostart::execFieldFor("/a b/c"), R"("/a b/c")");
    EXPECT_EQ(autostart::execFieldFor(R"(/q"/$x/`y`/\z)"), R"("/q\"/\$x/\`y\`/\\z")");
    EXPECT_EQ(autostart::execFieldFor("/100%/x %f"), R"("/100%%/x %%f")");
    EXPECT_EQ(autostart::execFieldFor("/录音/'x'"), R"("/录音/'x'")");
}

TEST(AutostartEntryTest, StringEscapesApplyAfterQuotingAndKeepEdgeBlanks) {
    const std::string text = "/a\\b\nc";
    std::vector<BYTE> data(text.begin(), text.end());
    data.push_back(0);
    const auto file = autostart::format(data);
    ASSERT_TRUE(file.has_value());
    EXPECT_NE(file->find("\nExec=\"/a\\\\\\\\b\\nc\"\n"), std::string::npos) << *file;
    EXPECT_EQ(autostart::escapeString(" a b "), "\\sa b\\s");
    EXPECT_EQ(autostart::unescapeString("\\sa b\\s"), " a b ");
}

class ToolTest : public RunKeyTest {
protected:
    std::optional<fs::path> tool(const char* name) const {
        const char* path = std::getenv("PATH");
        return ProgramFinder(path != nullptr ? path : "/usr/bin:/bin").find(name);
    }
    // Exit status of a shell command line, its output going to `log`.
    int run(const std::string& command, const fs::path& log) const {
        return std::system((command + " >'" + log.string() + "' 2>&1").c_str());
    }
};

TEST_F(ToolTest, EntriesPassDesktopFileValidate) {
    const auto validator = tool("desktop-file-validate");
    if (!validator)
        GTEST_SKIP() << "desktop-file-validate not installed (Debian package desktop-file-utils)";
    std::vector<std::string> texts = kHostileTexts;
    texts.emplace_back("");  // the disabled entry
    const fs::path log = tmp.path() / "validate.log";
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        ASSERT_EQ(set("record", withNul(text)), ERROR_SUCCESS);
        EXPECT_EQ(run(validator->string() + " '" + entryFile("record").string() + "'", log), 0)
            << slurp(log) << "\n"
            << slurp(entryFile("record"));
    }
}

TEST_F(ToolTest, GLibStartsTheProgramTheEntryNames) {
    const auto gio = tool("gio");
    if (!gio) GTEST_SKIP() << "gio not installed (Debian package libglib2.0-bin)";
    // A program under a folder name full of characters that need quoting. No '%': GLib checks
    // that the program exists before it turns "%%" back into "%", so it refuses such entries
    // even though they follow the Desktop Entry rules.
    const fs::path dir = tmp.path() / "bin dir" / "$x \"q\" `y` \\z 'w'" / "万声匣";
    fs::create_directories(dir);
    const fs::path program = dir / "run me";
    const fs::path marker = tmp.path() / "started";
    spit(program, "#!/bin/sh\nprintf '%s' \"$0\" > '" + marker.string() + "'\n");
    fs::permissions(program, fs::perms::owner_all);
    ASSERT_EQ(set("record", withNul(program.string())), ERROR_SUCCESS);

    const fs::path log = tmp.path() / "gio.log";
    ASSERT_EQ(
        run("timeout 20 " + gio->string() + " launch '" + entryFile("record").string() + "'", log),
        0)
        << slurp(log);
    for (int i = 0; i < 100 && !fs::exists(marker); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(slurp(marker), program.string());
}

}  // namespace
