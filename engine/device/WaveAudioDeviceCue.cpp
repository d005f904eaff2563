// "cue": readies the element for a play or a record. Nothing here waits for a device to
// warm up, so a cue only marks the element: it reads "paused" until its next transport
// command, as a cued element does, and changes nothing else.
#include "WaveAudioDevice.h"
#include "engine/command/MciError.h"
#include "engine/command/MciItems.h"

namespace wsx::mci {

uint32_t WaveAudioDevice::cue(Items items) {
    // "output" (readies a play) is what a bare cue means.
    ParsedItems p;
    if (uint32_t e = p.parse(items, {{"input"}, {"output"}})) return e;
    if (p.has("input") && p.has("output")) return MCIERR_FLAGS_NOT_COMPATIBLE;
    // Only a stopped element can be readied; a cued one already is.
    if (mode() != Mode::Stopped || m_cued) return MCIERR_NONAPPLICABLE_FUNCTION;
    m_cued = true;
    return MCI_OK;
}

}  // namespace wsx::mci
