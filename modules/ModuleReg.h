#pragma once
// ModuleReg: the four registry procedures behind the start-with-the-system setting. Each call
// opens its key, makes one query or one write, and closes the key again; no handle stays open
// between calls. Failures are never reported beyond the results below.
//
// Thread safety: UI thread only, like the registry it uses.

#include "platform/registry/Registry.h"

#include <cstdint>
#include <string>

namespace wsx {

// Type code and data size in bytes of a registry value; both -1 when it cannot be queried.
struct RegValueInfo {
    std::int32_t ValueType = -1;
    std::int32_t DataSize = -1;
};

class ModuleReg {
public:
    using HKEY = registry::HKEY;

    explicit ModuleReg(registry::Registry& registry);

    // Handle of the existing key hKey\SubKey, opened with the default access; 0 when it cannot
    // be opened. The caller closes it.
    HKEY RegOpenKeyHandle(HKEY hKey, const std::string& SubKey);
    // Type and size of the value, or (-1, -1) when the key or the value is missing or
    // unreadable.
    RegValueInfo RegQueryValueInfo(HKEY hKey, const std::string& SubKey,
                                   const std::string& ValueName);
    // The value read as text, whatever its type: the data up to its first NUL, or all of it
    // when it holds none. Empty when the value is absent, empty or unreadable.
    std::string RegGetString(HKEY hKey, const std::string& SubKey, const std::string& ValueName);
    // Writes Data as REG_SZ with its terminating NUL (one NUL byte for the empty text).
    // 1 when written, 0 otherwise; keys are never created.
    std::int32_t RegSetString(HKEY hKey, const std::string& SubKey, const std::string& ValueName,
                              const std::string& Data);

private:
    registry::Registry& m_registry;
};

}  // namespace wsx
