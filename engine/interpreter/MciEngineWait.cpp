// The "wait" flag: the engine stays on its one thread and looks at the element between
// calls of EngineOptions::idle until the play, record or encoded save is over.
#include "MciEngine.h"
#include "engine/command/MciError.h"

#include <thread>

namespace wsx::mci {

namespace {

// How often a waiting command looks at its element: fine enough that a wait ends within a
// blink of its play, coarse enough to cost nothing.
constexpr std::chrono::milliseconds kWaitStep{10};

}  // namespace

uint32_t MciEngine::waitFor(const std::string& key, std::string_view verb, WaveAudioDevice& dev) {
    const bool transport = verb == "play" || verb == "record";
    const bool save = verb == "save";
    const auto busy = [&] {
        if (save) return dev.saving();
        const WaveAudioDevice::Mode mode = dev.mode();
        return transport &&
               (mode == WaveAudioDevice::Mode::Playing || mode == WaveAudioDevice::Mode::Recording);
    };
    while (busy()) {
        m_notices.poll();  // other elements' plays end meanwhile too
        const bool goOn = m_options.idle ? m_options.idle(kWaitStep)
                                         : (std::this_thread::sleep_for(kWaitStep), true);
        if (!goOn) {
            // Given up: the element stops where it got to, keeping what it recorded.
            dev.stop({});
            m_notices.commandDone(key, "stop", false);
            dev.tendTake();
            return MCI_OK;
        }
    }
    m_notices.poll();
    dev.tendTake();
    // A save that ended in failure names why in "status NAME reason".
    if (save && dev.reason() != WaveAudioDevice::Reason::None) return MCIERR_FILE_NOT_SAVED;
    return MCI_OK;
}

}  // namespace wsx::mci
