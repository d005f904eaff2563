#pragma once
// The registry calls the program makes, answered on Linux from the machine:
//
//   "Software\Microsoft\Windows\CurrentVersion\Run"  read/write. Each value is a per-user
//       autostart entry (see AutostartStore): absent = no entry, a non-empty text = an entry
//       that starts that program at log-in, the empty text = an entry present but disabled.
//   "SOFTWARE\Microsoft\Shared Tools\MSINFO"  read-only. Value "PATH" is the full file name of
//       the installed system-information program, the first of kSystemInfoPrograms found on
//       the search path; absent when none is installed.
//   "SOFTWARE\Microsoft\Shared Tools Location"  read-only. Its value "MSINFO" (a folder that
//       should hold MSINFO32.EXE) is always absent: no such program exists here, and the
//       program that does exist is already named by the key above.
//
// Every other key is missing (keys are never created). HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER lead to the same keys: on Linux the per-user autostart folder is what a
// desktop user can write. Key paths and value names compare case-insensitively (ASCII
// letters); '\' and '/' both separate key names, and empty names between separators are
// ignored.
//
// Handles are small integers from a table of open keys, never 0; each open key remembers its
// access mask, and a query needs KEY_QUERY_VALUE, a write KEY_SET_VALUE. Data is exchanged as
// bytes with an explicit size, as with the Windows calls, so a text with or without its
// terminating NUL is stored and read back exactly.
//
// Thread safety: UI thread only. The handle table is not synchronised.

#include "platform/registry/AutostartStore.h"
#include "platform/registry/ProgramFinder.h"
#include "platform/registry/RegistryEnvironment.h"
#include "platform/registry/RegistryTypes.h"

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wsx::registry {

class Registry {
public:
    // System-information programs, in order of preference: HardInfo (its maintained successor
    // first), the closest match to a "system summary" window; KDE's Info Center; the GTK
    // front end of lshw (hardware only, and partial without root).
    static constexpr std::array<std::string_view, 4> kSystemInfoPrograms{"hardinfo2", "hardinfo",
                                                                         "kinfocenter", "lshw-gtk"};

    explicit Registry(RegistryEnvironment environment);

    // Opens an existing key with all the access this key allows. An empty subKey under an open
    // handle gives back that same handle (it must then be closed only once).
    LONG RegOpenKey(HKEY hKey, std::string_view subKey, HKEY* result);
    // Opens an existing key as a new handle with the access mask samDesired; options must be 0.
    // *result is 0 whenever the call fails.
    LONG RegOpenKeyEx(HKEY hKey, std::string_view subKey, DWORD options, REGSAM samDesired,
                      HKEY* result);
    // Type and size of a value, and its data into `data` when that is not null. With a buffer
    // smaller than the data: ERROR_MORE_DATA, *dataSize set to the size needed, buffer left
    // untouched. Any of type, data, dataSize may be null, but data needs dataSize.
    LONG RegQueryValueEx(HKEY hKey, std::string_view valueName, DWORD* type, BYTE* data,
                         DWORD* dataSize);
    // Stores `dataSize` bytes of REG_SZ data (normally the text and its NUL). Other types:
    // ERROR_INVALID_PARAMETER; read-only keys: ERROR_ACCESS_DENIED.
    LONG RegSetValueEx(HKEY hKey, std::string_view valueName, DWORD type, const BYTE* data,
                       DWORD dataSize);
    // ERROR_INVALID_HANDLE for a handle that is not open; closing a root key does nothing.
    LONG RegCloseKey(HKEY hKey);

    // Number of handles currently open; lets tests check that callers close what they open.
    [[nodiscard]] std::size_t openKeyCount() const { return m_handles.size(); }

private:
    enum class Key { Run, MsInfo, SharedToolsLocation };
    struct OpenKey {
        Key key;
        REGSAM access;
    };

    LONG open(HKEY hKey, std::string_view subKey, REGSAM access, HKEY* result);
    [[nodiscard]] std::optional<Key> keyAt(const std::string& normalizedPath) const;
    LONG readValue(Key key, std::string_view valueName, std::vector<BYTE>& data) const;
    HKEY allocateHandle() const;

    std::map<HKEY, OpenKey> m_handles;
    AutostartStore m_runStore;
    ProgramFinder m_programs;
    bool m_runKeyAvailable;
};

}  // namespace wsx::registry
