#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace wsx::test {

// A private temporary folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string t = (std::filesystem::temp_directory_path() / "wsx-test-XXXXXX").string();
        if (!::mkdtemp(t.data())) std::abort();
        m_path = t;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

}  // namespace wsx::test
