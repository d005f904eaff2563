#include "platform/registry/Registry.h"

#include "text/AsciiCase.h"

#include <algorithm>
#include <utility>

namespace wsx::registry {

namespace {

constexpr std::string_view kRunPath = "software\\microsoft\\windows\\currentversion\\run";
constexpr std::string_view kMsInfoPath = "software\\microsoft\\shared tools\\msinfo";
constexpr std::string_view kLocationPath = "software\\microsoft\\shared tools location";

// Lower-case key names joined by single backslashes, without leading or trailing separators.
std::string normalizedPath(std::string_view path) {
    std::string out;
    std::string_view rest = path;
    while (!rest.empty()) {
        const auto sep = rest.find_first_of("\\/");
        const std::string_view name = rest.substr(0, sep);
        rest = sep == std::string_view::npos ? std::string_view{} : rest.substr(sep + 1);
        if (name.empty()) continue;
        if (!out.empty()) out += '\\';
        out += text::toLowerAscii(name);
    }
    return out;
}

// Roots that lead to our keys; the other predefined roots hold nothing here.
bool isBackedRoot(HKEY hKey) { return hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER; }
bool isRoot(HKEY hKey) { return hKey >= HKEY_CLASSES_ROOT && hKey <= HKEY_USERS; }

}  // namespace

Registry::Registry(RegistryEnvironment environment)
    : m_runStore(environment.autostartFolder),
      m_programs(std::move(environment.programSearchPath)),
      m_runKeyAvailable(!environment.autostartFolder.empty()) {}

LONG Registry::RegOpenKey(HKEY hKey, std::string_view subKey, HKEY* result) {
    if (result != nullptr && subKey.empty() && m_handles.contains(hKey)) {
        *result = hKey;
        return ERROR_SUCCESS;
    }
    return open(hKey, subKey, MAXIMUM_ALLOWED, result);
}

LONG Registry::RegOpenKeyEx(HKEY hKey, std::string_view subKey, DWORD options, REGSAM samDesired,
                            HKEY* result) {
    if (options != 0) {
        if (result != nullptr) *result = 0;
        return ERROR_INVALID_PARAMETER;
    }
    return open(hKey, subKey, samDesired, result);
}

LONG Registry::open(HKEY hKey, std::string_view subKey, REGSAM access, HKEY* result) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = 0;

    std::string path;
    if (isRoot(hKey)) {
        if (!isBackedRoot(hKey)) return ERROR_FILE_NOT_FOUND;
    } else if (const auto it = m_handles.find(hKey); it != m_handles.end()) {
        switch (it->second.key) {
        case Key::Run: path = kRunPath; break;
        case Key::MsInfo: path = kMsInfoPath; break;
        case Key::SharedToolsLocation: path = kLocationPath; break;
        }
        path += '\\';
    } else {
        return ERROR_INVALID_HANDLE;
    }
    path = normalizedPath(path + std::string(subKey));

    const auto key = keyAt(path);
    if (!key) return ERROR_FILE_NOT_FOUND;
    if ((access & MAXIMUM_ALLOWED) != 0) access |= KEY_ALL_ACCESS;
    const HKEY handle = allocateHandle();
    m_handles.emplace(handle, OpenKey{*key, access});
    *result = handle;
    return ERROR_SUCCESS;
}

std::optional<Registry::Key> Registry::keyAt(const std::string& normalizedPath) const {
    if (normalizedPath == kRunPath && m_runKeyAvailable) return Key::Run;
    if (normalizedPath == kMsInfoPath) return Key::MsInfo;
    if (normalizedPath == kLocationPath) return Key::SharedToolsLocation;
    return std::nullopt;
}

LONG Registry::readValue(Key key, std::string_view valueName, std::vector<BYTE>& data) const {
    switch (key) {
    case Key::Run: {
        auto read = m_runStore.read(valueName);
        data = std::move(read.data);
        return read.status;
    }
    case Key::MsInfo:
        if (text::toLowerAscii(valueName) == "path") {
            if (const auto program = m_programs.findFirst(kSystemInfoPrograms)) {
                const std::string text = program->string();
                data.assign(text.begin(), text.end());
                data.push_back(0);
                return ERROR_SUCCESS;
            }
        }
        return ERROR_FILE_NOT_FOUND;
    case Key::SharedToolsLocation: return ERROR_FILE_NOT_FOUND;
    }
    return ERROR_FILE_NOT_FOUND;
}

LONG Registry::RegQueryValueEx(HKEY hKey, std::string_view valueName, DWORD* type, BYTE* data,
                               DWORD* dataSize) {
    const auto it = m_handles.find(hKey);
    if (it == m_handles.end())
        return isBackedRoot(hKey) ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
    if ((it->second.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
    if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;

    std::vector<BYTE> bytes;
    if (const LONG rc = readValue(it->second.key, valueName, bytes); rc != ERROR_SUCCESS) return rc;
    if (type != nullptr) *type = REG_SZ;  // every value we hold is text
    if (dataSize == nullptr) return ERROR_SUCCESS;
    const auto needed = static_cast<DWORD>(bytes.size());
    if (data != nullptr && *dataSize < needed) {
        *dataSize = needed;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr) std::copy(bytes.begin(), bytes.end(), data);
    *dataSize = needed;
    return ERROR_SUCCESS;
}

LONG Registry::RegSetValueEx(HKEY hKey, std::string_view valueName, DWORD type, const BYTE* data,
                             DWORD dataSize) {
    const auto it = m_handles.find(hKey);
    if (it == m_handles.end())
        return isBackedRoot(hKey) ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE;
    if ((it->second.access & KEY_SET_VALUE) == 0 || it->second.key != Key::Run)
        return ERROR_ACCESS_DENIED;
    if (type != REG_SZ || (data == nullptr && dataSize != 0)) return ERROR_INVALID_PARAMETER;
    return m_runStore.write(valueName, std::span<const BYTE>(data, dataSize));
}

LONG Registry::RegCloseKey(HKEY hKey) {
    if (isRoot(hKey)) return ERROR_SUCCESS;
    return m_handles.erase(hKey) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

HKEY Registry::allocateHandle() const {
    HKEY handle = 1;
    for (const auto& [used, key] : m_handles) {
        if (used != handle) break;
        ++handle;
    }
    return handle;
}

}  // namespace wsx::registry
