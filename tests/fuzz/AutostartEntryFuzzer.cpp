// The autostart entry reader meets files a session manager, another program or a hand
// edited: any text. Whatever it accepts must be data it can write again, and writing that
// data and reading it back must give the same bytes.
#include "platform/registry/AutostartEntry.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace wsx::registry::autostart;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto read = parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read) return 0;
    if (!isStorable(*read)) std::abort();
    const auto written = format(*read);
    if (!written) std::abort();
    const auto again = parse(*written);
    if (!again || *again != *read) std::abort();
    return 0;
}
