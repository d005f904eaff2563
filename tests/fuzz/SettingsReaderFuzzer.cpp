// The settings file as the next start meets it: whatever a hand edit, another program or
// a write cut short left there. What the reader hands the window must be usable as it
// stands: one of the known inputs, and for a named one a name the sound server can be asked
// for as a C string; nothing named for the other inputs; a hot key either absent or one the
// window can grab (a key on offer, with Ctrl, Alt or Win). Each choice, kept into that same
// file and read again, must come back unchanged, whatever else the file holds.
#include "FuzzFolder.h"
#include "platform/settings/RecorderSettings.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace wsx;
using Kind = audio::CaptureSource::Kind;

namespace {

bool sameChoice(const InputChoice& a, const InputChoice& b) {
    return a.source == b.source && a.description == b.description;
}

// A name the server could have given: not empty, and no control characters (a NUL would cut
// it short when it is passed on as a C string, so another input would be recorded).
bool usableDeviceName(const std::string& name) {
    return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
}

void check(const InputChoice& choice) {
    switch (choice.source.kind) {
    case Kind::DefaultInput:
    case Kind::DefaultMonitor:
    case Kind::Both:
        if (!choice.source.name.empty() || !choice.description.empty()) std::abort();
        return;
    case Kind::Named:
        if (!usableDeviceName(choice.source.name)) std::abort();
        return;
    }
    std::abort();  // a kind the window has no menu item for
}

// A kept hot key the window would grab as it stands: written back as text and read again it
// is the same chord, and it holds a modifier that keeps it off plain typing.
void checkHotKey(RecorderSettings& settings, const std::string& name) {
    const auto chord = settings.hotKey(name);
    if (!chord) return;
    if (!platform::hasCommandModifier(*chord) || platform::chordText(*chord).empty()) std::abort();
    settings.setHotKey(name, *chord);
    if (settings.hotKey(name) != chord) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::FuzzFolder& folder = fuzz::quietFolder();
    folder.clear();
    // A new name for every input: QSettings keeps the files it has read in a cache, and would
    // take a file of the same name, size and time stamp from there instead of reading it.
    static uint64_t inputs = 0;
    const std::string file =
        (folder.root() / ("wanshengxia-" + std::to_string(++inputs) + ".ini")).string();
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));

    RecorderSettings settings(file);
    const InputChoice read = settings.input();
    check(read);
    settings.setInput(read);
    const InputChoice kept = settings.input();
    if (!sameChoice(kept, read)) std::abort();
    for (const char* name : {"record", "stop", "play"}) checkHotKey(settings, name);
    return 0;
}
