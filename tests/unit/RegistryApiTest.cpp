// The registry calls themselves: handles, key paths, buffer sizes, access masks, the
// system-information keys and where the backing folder comes from.
#include "platform/registry/Registry.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include <stdlib.h>  // mkdtemp

namespace fs = std::filesystem;
using namespace wsx::registry;
using namespace std::string_literals;

namespace {

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kMsInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr REGSAM kAboutBoxAccess = 0x2003F;  // what the About box asks for

using wsx::test::TempDir;

const BYTE* bytes(const char* text) { return reinterpret_cast<const BYTE*>(text); }

class RegistryApiTest : public ::testing::Test {
protected:
    HKEY open(const char* path, HKEY root = HKEY_LOCAL_MACHINE) {
        HKEY key = 0;
        EXPECT_EQ(reg.RegOpenKey(root, path, &key), ERROR_SUCCESS) << path;
        return key;
    }
    // A fake program: an executable file, or with exec=false a plain one.
    fs::path program(const std::string& folder, const std::string& name, bool exec = true) {
        const fs::path path = tmp.path() / folder / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "#!/bin/sh\n";
        fs::permissions(path, exec ? fs::perms::owner_all : fs::perms::owner_read);
        return path;
    }
    std::string searchPath(std::initializer_list<const char*> folders) const {
        std::string path;
        for (const char* folder : folders)
            path += (path.empty() ? "" : ":") + (tmp.path() / folder).string();
        return path;
    }
    // The "PATH" value under the MSINFO key, as the About box reads it.
    static std::pair<LONG, std::string> msinfoPath(Registry& registry) {
        HKEY key = 0;
        EXPECT_EQ(registry.RegOpenKeyEx(HKEY_LOCAL_MACHINE, kMsInfoKey, 0, kAboutBoxAccess, &key),
                  ERROR_SUCCESS);
        std::string buffer(1024, '\0');
        DWORD size = 1024;
        DWORD type = 0;
        const LONG rc = registry.RegQueryValueEx(key, "PATH", &type,
                                                 reinterpret_cast<BYTE*>(buffer.data()), &size);
        registry.RegCloseKey(key);
        if (rc == ERROR_SUCCESS) {
            EXPECT_EQ(type, REG_SZ);
            buffer.resize(size);
        }
        return {rc, buffer};
    }

    TempDir tmp;
    Registry reg{RegistryEnvironment{tmp.path() / "autostart", ""}};
};

TEST_F(RegistryApiTest, HandlesAreSmallNonZeroAndCloseExactlyOnce) {
    const HKEY a = open(kRunKey);
    const HKEY b = open(kMsInfoKey);
    EXPECT_EQ(a, 1u);
    EXPECT_EQ(b, 2u);
    EXPECT_EQ(reg.RegCloseKey(a), ERROR_SUCCESS);
    EXPECT_EQ(reg.RegCloseKey(a), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg.RegCloseKey(0), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg.RegCloseKey(77), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg.RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);  // roots are never closed

    // A closed handle is dead for every call until its number is handed out again.
    DWORD size = 0;
    EXPECT_EQ(reg.RegQueryValueEx(a, "record", nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg.RegSetValueEx(a, "record", REG_SZ, bytes("x"), 2), ERROR_INVALID_HANDLE);
    HKEY sub = 5;
    EXPECT_EQ(reg.RegOpenKey(a, "", &sub), ERROR_INVALID_HANDLE);
    EXPECT_EQ(open(kRunKey), a);  // lowest free number is reused

    // Under an open key: RegOpenKey with no sub-key gives back the same handle, RegOpenKeyEx a
    // new one.
    EXPECT_EQ(reg.RegOpenKey(b, "", &sub), ERROR_SUCCESS);
    EXPECT_EQ(sub, b);
    EXPECT_EQ(reg.RegOpenKeyEx(b, "", 0, KEY_READ, &sub), ERROR_SUCCESS);
    EXPECT_EQ(sub, 3u);
    EXPECT_EQ(reg.openKeyCount(), 3u);
}

TEST_F(RegistryApiTest, OnlyTheKnownKeysExistAndPathsIgnoreCaseAndExtraSeparators) {
    for (const char* path :
         {"software\\microsoft\\windows\\currentversion\\run",
          "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RUN\\",
          "Software\\\\Microsoft/Windows/CurrentVersion\\Run",
          "software/microsoft/shared tools/msinfo", "Software\\Microsoft\\Shared Tools Location"}) {
        HKEY key = 0;
        EXPECT_EQ(reg.RegOpenKey(HKEY_LOCAL_MACHINE, path, &key), ERROR_SUCCESS) << path;
        EXPECT_NE(key, 0u);
        reg.RegCloseKey(key);
    }
    for (const char* path : {"", "Software", "Software\\Microsoft\\Windows\\CurrentVersion",
                             "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                             "Software\\Microsoft\\Windows\\CurrentVersion\\Run\\record",
                             "Software\\Microsoft\\Shared Tools"}) {
        HKEY key = 9;
        EXPECT_EQ(reg.RegOpenKey(HKEY_LOCAL_MACHINE, path, &key), ERROR_FILE_NOT_FOUND) << path;
        EXPECT_EQ(key, 0u) << path;
    }
    HKEY key = 9;
    EXPECT_EQ(reg.RegOpenKey(HKEY_CLASSES_ROOT, kRunKey, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.RegOpenKey(0x1234, kRunKey, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(reg.RegOpenKeyEx(HKEY_LOCAL_MACHINE, kRunKey, 1, KEY_READ, &key),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(reg.openKeyCount(), 0u);
}

TEST_F(RegistryApiTest, CurrentUserAndLocalMachineShareTheRunKey) {
    const HKEY machine = open(kRunKey);
    ASSERT_EQ(reg.RegSetValueEx(machine, "record", REG_SZ, bytes("/opt/rec"), 9), ERROR_SUCCESS);
    const HKEY user = open(kRunKey, HKEY_CURRENT_USER);
    DWORD size = 0;
    EXPECT_EQ(reg.RegQueryValueEx(user, "Record", nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 9u);
}

TEST_F(RegistryApiTest, QueryReportsSizeAndNeedsABufferLargeEnough) {
    const HKEY key = open(kRunKey);
    ASSERT_EQ(reg.RegSetValueEx(key, "record", REG_SZ, bytes("/opt/rec"), 9), ERROR_SUCCESS);

    DWORD type = 0;
    EXPECT_EQ(reg.RegQueryValueEx(key, "record", &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);

    std::string buffer(8, '#');
    DWORD size = 8;
    EXPECT_EQ(
        reg.RegQueryValueEx(key, "record", nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(buffer, std::string(8, '#'));  // left alone

    buffer.assign(12, '#');
    EXPECT_EQ(
        reg.RegQueryValueEx(key, "record", nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(size, 9u);
    EXPECT_EQ(buffer, "/opt/rec\0###"s);

    EXPECT_EQ(reg.RegQueryValueEx(key, "record", nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                                  nullptr),
              ERROR_INVALID_PARAMETER);
    size = 123;
    EXPECT_EQ(reg.RegQueryValueEx(key, "missing", &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryApiTest, AccessMaskDecidesWhatAHandleMayDo) {
    HKEY readOnly = 0;
    HKEY writeOnly = 0;
    ASSERT_EQ(reg.RegOpenKeyEx(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_READ, &readOnly), ERROR_SUCCESS);
    ASSERT_EQ(reg.RegOpenKeyEx(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &writeOnly),
              ERROR_SUCCESS);
    EXPECT_EQ(reg.RegSetValueEx(readOnly, "record", REG_SZ, bytes("/a"), 3), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.RegSetValueEx(writeOnly, "record", REG_SZ, bytes("/a"), 3), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(reg.RegQueryValueEx(writeOnly, "record", nullptr, nullptr, &size),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.RegQueryValueEx(readOnly, "record", nullptr, nullptr, &size), ERROR_SUCCESS);
    // Only text values are kept.
    EXPECT_EQ(reg.RegSetValueEx(writeOnly, "record", REG_DWORD, bytes("\1\0\0\0"), 4),
              ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryApiTest, SystemInformationProgramIsThePreferredOneOnThePath) {
    // Preference order beats search order; files that cannot be run are passed over.
    program("first", "lshw-gtk");
    program("first", "hardinfo2", false);
    fs::create_directories(tmp.path() / "first" / "hardinfo");  // a folder, not a program
    const fs::path kinfo = program("second", "kinfocenter");
    const fs::path hardinfo = program("third", "hardinfo");

    Registry both{RegistryEnvironment{{}, ":" + searchPath({"first", "second", "third"}) + ":"}};
    EXPECT_EQ(msinfoPath(both), std::make_pair(ERROR_SUCCESS, hardinfo.string() + '\0'));
    Registry kde{RegistryEnvironment{{}, searchPath({"first", "second"})}};
    EXPECT_EQ(msinfoPath(kde), std::make_pair(ERROR_SUCCESS, kinfo.string() + '\0'));
    Registry none{RegistryEnvironment{{}, searchPath({"nowhere"})}};
    EXPECT_EQ(msinfoPath(none).first, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryApiTest, SystemInformationKeysAreReadOnlyAndTheFolderValueAbsent) {
    program("bin", "hardinfo");
    Registry registry{RegistryEnvironment{{}, searchPath({"bin"})}};
    for (const char* path : {kMsInfoKey, kLocationKey}) {
        HKEY key = 0;
        ASSERT_EQ(registry.RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key),
                  ERROR_SUCCESS);
        EXPECT_EQ(registry.RegSetValueEx(key, "PATH", REG_SZ, bytes("/x"), 3), ERROR_ACCESS_DENIED);
        EXPECT_EQ(registry.RegSetValueEx(key, "MSINFO", REG_SZ, bytes("/x"), 3),
                  ERROR_ACCESS_DENIED);
        DWORD size = 0;
        EXPECT_EQ(registry.RegQueryValueEx(key, "MSINFO", nullptr, nullptr, &size),
                  ERROR_FILE_NOT_FOUND);
        registry.RegCloseKey(key);
    }
    EXPECT_EQ(msinfoPath(registry).first, ERROR_SUCCESS);
    // Without a configuration folder the Run key does not exist; the others still do.
    HKEY key = 0;
    EXPECT_EQ(registry.RegOpenKey(HKEY_LOCAL_MACHINE, kRunKey, &key), ERROR_FILE_NOT_FOUND);
}

TEST(RegistryEnvironmentTest, AutostartFolderFollowsTheXdgRules) {
    EXPECT_EQ(RegistryEnvironment::autostartFolderFor("/cfg", "/home/u"),
              fs::path("/cfg/autostart"));
    EXPECT_EQ(RegistryEnvironment::autostartFolderFor("relative/cfg", "/home/u"),
              fs::path("/home/u/.config/autostart"));
    EXPECT_EQ(RegistryEnvironment::autostartFolderFor("", "/home/u"),
              fs::path("/home/u/.config/autostart"));
    EXPECT_EQ(RegistryEnvironment::autostartFolderFor(nullptr, nullptr), fs::path());
    EXPECT_EQ(RegistryEnvironment::autostartFolderFor(nullptr, "relative"), fs::path());
}

}  // namespace
