#include "modules/ModuleReg.h"

#include <algorithm>
#include <vector>

namespace wsx {

using namespace wsx::registry;

ModuleReg::ModuleReg(Registry& registry) : m_registry(registry) {}

ModuleReg::HKEY ModuleReg::RegOpenKeyHandle(HKEY hKey, const std::string& SubKey) {
    HKEY handle = 0;
    if (m_registry.RegOpenKey(hKey, SubKey, &handle) != ERROR_SUCCESS) return 0;
    return handle;
}

RegValueInfo ModuleReg::RegQueryValueInfo(HKEY hKey, const std::string& SubKey,
                                          const std::string& ValueName) {
    const HKEY handle = RegOpenKeyHandle(hKey, SubKey);
    if (handle == 0) return {};
    DWORD type = 0;
    DWORD size = 0;
    const LONG rc = m_registry.RegQueryValueEx(handle, ValueName, &type, nullptr, &size);
    m_registry.RegCloseKey(handle);
    if (rc != ERROR_SUCCESS) return {};
    return {static_cast<std::int32_t>(type), static_cast<std::int32_t>(size)};
}

std::string ModuleReg::RegGetString(HKEY hKey, const std::string& SubKey,
                                    const std::string& ValueName) {
    const RegValueInfo info = RegQueryValueInfo(hKey, SubKey, ValueName);
    if (info.DataSize <= 0) return {};
    std::vector<BYTE> buffer(static_cast<std::size_t>(info.DataSize), 0);

    // The second query's result is deliberately not examined: if the key or value has gone,
    // or the value grew in between (ERROR_MORE_DATA leaves the buffer alone), the buffer is
    // still all NUL and the text is empty.
    if (const HKEY handle = RegOpenKeyHandle(hKey, SubKey); handle != 0) {
        auto size = static_cast<DWORD>(buffer.size());
        m_registry.RegQueryValueEx(handle, ValueName, nullptr, buffer.data(), &size);
        m_registry.RegCloseKey(handle);
    }
    const auto end = std::find(buffer.begin(), buffer.end(), BYTE{0});
    return std::string(buffer.begin(), end);
}

std::int32_t ModuleReg::RegSetString(HKEY hKey, const std::string& SubKey,
                                     const std::string& ValueName, const std::string& Data) {
    const HKEY handle = RegOpenKeyHandle(hKey, SubKey);
    if (handle == 0) return 0;
    // c_str() provides the terminating NUL that the size counts.
    const LONG rc = m_registry.RegSetValueEx(handle, ValueName, REG_SZ,
                                             reinterpret_cast<const BYTE*>(Data.c_str()),
                                             static_cast<DWORD>(Data.size() + 1));
    m_registry.RegCloseKey(handle);
    return rc == ERROR_SUCCESS ? 1 : 0;
}

}  // namespace wsx
