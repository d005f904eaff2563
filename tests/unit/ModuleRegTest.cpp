// ModuleReg over the registry stand-in on a temporary configuration folder: the start-with-
// the-system value as the load handler and the check box use it.
#include "modules/ModuleReg.h"

#include "platform/registry/AutostartEntry.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <stdlib.h>  // mkdtemp

namespace fs = std::filesystem;
using namespace wsx;
using namespace wsx::registry;
using namespace std::string_literals;

namespace {

const std::string RunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string RunValueName = "record";

using wsx::test::TempDir;

class ModuleRegTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(registry.openKeyCount(), 0u) << "ModuleReg left a key open";
    }

    // Stores raw bytes the way another program might, bypassing RegSetString.
    void storeRaw(const std::string& data) {
        HKEY key = 0;
        ASSERT_EQ(registry.RegOpenKey(HKEY_LOCAL_MACHINE, RunKeyPath, &key), ERROR_SUCCESS);
        ASSERT_EQ(registry.RegSetValueEx(key, RunValueName, REG_SZ,
                                         reinterpret_cast<const BYTE*>(data.data()),
                                         static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
        registry.RegCloseKey(key);
    }

    RegValueInfo info() {
        return mod.RegQueryValueInfo(HKEY_LOCAL_MACHINE, RunKeyPath, RunValueName);
    }
    std::string get() { return mod.RegGetString(HKEY_LOCAL_MACHINE, RunKeyPath, RunValueName); }
    std::int32_t set(const std::string& data) {
        return mod.RegSetString(HKEY_LOCAL_MACHINE, RunKeyPath, RunValueName, data);
    }

    TempDir tmp;
    fs::path folder = tmp.path() / "autostart";
    Registry registry{RegistryEnvironment{folder, ""}};
    ModuleReg mod{registry};
};

TEST_F(ModuleRegTest, FirstStartCreatesTheValueWithTheProgramPath) {
    const std::string ExePath = "/opt/万声 匣/bin/wanshengxia";
    const RegValueInfo missing = info();
    EXPECT_EQ(missing.ValueType, -1);
    EXPECT_EQ(missing.DataSize, -1);
    EXPECT_EQ(get(), "");

    EXPECT_EQ(set(ExePath), 1);
    const RegValueInfo stored = info();
    EXPECT_EQ(stored.ValueType, 1);
    EXPECT_EQ(stored.DataSize, static_cast<std::int32_t>(ExePath.size() + 1));
    EXPECT_EQ(get(), ExePath);
}

TEST_F(ModuleRegTest, EmptyTextIsOneNulByteAndReadsBackEmpty) {
    ASSERT_EQ(set("/opt/rec"), 1);
    EXPECT_EQ(set(""), 1);
    const RegValueInfo stored = info();
    EXPECT_EQ(stored.ValueType, 1);
    EXPECT_EQ(stored.DataSize, 1);  // present, so a later start does not create it again
    EXPECT_EQ(get(), "");
    std::ostringstream file;
    file << std::ifstream(folder / autostart::fileNameFor(RunValueName)).rdbuf();
    const std::string text = file.str();
    EXPECT_NE(text.find("Hidden=true"), std::string::npos) << text;
}

TEST_F(ModuleRegTest, TextEndsAtTheFirstNulOrRunsToTheEndOfTheData) {
    storeRaw("abcde");  // no terminating NUL
    EXPECT_EQ(info().DataSize, 5);
    EXPECT_EQ(get(), "abcde");
    storeRaw("abcde\0"s);
    EXPECT_EQ(get(), "abcde");
    storeRaw("abc\0\0\0\0"s);  // padded
    EXPECT_EQ(info().DataSize, 7);
    EXPECT_EQ(get(), "abc");
    storeRaw("");  // size 0 reads as empty, yet is present
    EXPECT_EQ(info().ValueType, 1);
    EXPECT_EQ(get(), "");
}

TEST_F(ModuleRegTest, UnreadableValueCountsAsMissingUntilRewritten) {
    fs::create_directories(folder);
    std::ofstream(folder / autostart::fileNameFor(RunValueName)) << "garbage\n";
    EXPECT_EQ(info().ValueType, -1);
    EXPECT_EQ(get(), "");
    EXPECT_EQ(set("/opt/rec"), 1);
    EXPECT_EQ(get(), "/opt/rec");
}

TEST_F(ModuleRegTest, MissingOrReadOnlyKeysWriteNothing) {
    const std::string missingKey = "Software\\Wanshengxia\\Nowhere";
    EXPECT_EQ(mod.RegOpenKeyHandle(HKEY_LOCAL_MACHINE, missingKey), 0u);
    EXPECT_EQ(mod.RegSetString(HKEY_LOCAL_MACHINE, missingKey, RunValueName, "/x"), 0);
    EXPECT_EQ(mod.RegGetString(HKEY_LOCAL_MACHINE, missingKey, RunValueName), "");
    EXPECT_EQ(mod.RegQueryValueInfo(HKEY_LOCAL_MACHINE, missingKey, RunValueName).DataSize, -1);

    const std::string msinfo = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
    EXPECT_EQ(mod.RegSetString(HKEY_LOCAL_MACHINE, msinfo, "PATH", "/x"), 0);

    // A write that the backing refuses reports 0 and leaves the old value.
    ASSERT_EQ(set("/opt/rec"), 1);
    EXPECT_EQ(set("/bad\x01path"), 0);
    EXPECT_EQ(get(), "/opt/rec");
}

}  // namespace
