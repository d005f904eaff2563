#pragma once
// The one folder a fuzz target may write in: made private (0700) under $TMPDIR when the
// target starts, and made the state folder ($XDG_STATE_HOME) too, so takes, saves and
// anything the code writes by default all land inside it. (Not the working folder:
// libFuzzer reads and writes its corpus by the paths it was given.) The scripts
// that run the targets point TMPDIR at a folder of their own and remove it afterwards, so
// even a crash leaves nothing behind elsewhere.
#include "platform/log/Log.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace wsx::fuzz {

class FuzzFolder {
public:
    FuzzFolder() {
        std::string name = (std::filesystem::temp_directory_path() / "wsx-fuzz-XXXXXX").string();
        if (!::mkdtemp(name.data())) throw std::runtime_error("cannot make the fuzz folder");
        m_root = name;
        ::setenv("XDG_STATE_HOME", (m_root / "state").c_str(), 1);
    }
    ~FuzzFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    FuzzFolder(const FuzzFolder&) = delete;
    FuzzFolder& operator=(const FuzzFolder&) = delete;

    const std::filesystem::path& root() const { return m_root; }

    // Empties the folder between inputs, so one input's files cannot steer the next.
    void clear() const {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(m_root, ec))
            std::filesystem::remove_all(entry.path(), ec);
    }

    // `path` moved inside the folder: absolute or relative, it is taken relative to it. Empty when the path could still
    // leave it: a ".." component, or a NUL byte (the system call would see only the text
    // before it, which may end in "..").
    std::optional<std::filesystem::path> confine(const std::string& path) const {
        if (path.find('\0') != std::string::npos) return std::nullopt;
        const std::filesystem::path p(path);
        for (const auto& part : p)
            if (part == "..") return std::nullopt;
        return m_root / p.relative_path();
    }

private:
    std::filesystem::path m_root;
};

// The one private folder of a fuzz target's process, with the engine's warnings silenced:
// every failed save says why, and saying it would only slow the run down.
inline const FuzzFolder& quietFolder() {
    static const FuzzFolder folder;
    static const auto quiet = log::setSink([](log::Level, const char*, const std::string&) {});
    (void)quiet;
    return folder;
}

}  // namespace wsx::fuzz
