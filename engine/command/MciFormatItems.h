#pragma once

#include "MciTokenizer.h"
#include "audio/AudioFormat.h"

#include <cstdint>
#include <optional>
#include <span>

namespace wsx::mci {

// "bytespersec N", "alignment N" and "format tag pcm|N" of "set". The element's tag (PCM),
// block align and bytes per second always follow from its rate, channels and bits, so these
// items can only state what those make them: a stated value is checked against the format
// the whole command leaves, whatever the order of the items.
class DerivedFormatItems {
public:
    static constexpr uint32_t kNotOneOfThem = UINT32_MAX;

    // When items[i] starts one of these items, takes it (leaving i on its last token) and
    // returns MCI_OK or its error: MCIERR_DUPLICATE_FLAGS, MCIERR_MISSING_PARAMETER,
    // MCIERR_BAD_INTEGER, MCIERR_OUTOFRANGE for a tag other than PCM, and
    // MCIERR_UNRECOGNIZED_KEYWORD for "format" without "tag". kNotOneOfThem otherwise.
    uint32_t take(std::span<const Token> items, size_t& i);
    // MCIERR_OUTOFRANGE when a stated value disagrees with `format`; MCI_OK otherwise.
    uint32_t check(const audio::AudioFormat& format) const;

private:
    std::optional<uint32_t> m_bytesPerSecond;
    std::optional<uint32_t> m_alignment;
    bool m_tag = false;
};

}  // namespace wsx::mci
