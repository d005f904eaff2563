#include "MciFormatItems.h"

#include "MciError.h"

namespace wsx::mci {

namespace {

constexpr uint32_t kTagPcm = 1;

}  // namespace

uint32_t DerivedFormatItems::take(std::span<const Token> items, size_t& i) {
    const Token& t = items[i];
    if (t.quoted) return kNotOneOfThem;
    const bool tag = equalsIgnoreCase(t.text, "format");
    std::optional<uint32_t>* value = nullptr;
    if (equalsIgnoreCase(t.text, "bytespersec")) value = &m_bytesPerSecond;
    else if (equalsIgnoreCase(t.text, "alignment")) value = &m_alignment;
    else if (!tag) return kNotOneOfThem;
    if (tag && (i + 1 >= items.size() || items[i + 1].quoted ||
                !equalsIgnoreCase(items[i + 1].text, "tag")))
        return MCIERR_UNRECOGNIZED_KEYWORD;
    if (tag ? m_tag : value->has_value()) return MCIERR_DUPLICATE_FLAGS;
    const size_t at = i + (tag ? 2 : 1);
    if (at >= items.size()) return MCIERR_MISSING_PARAMETER;
    i = at;
    uint32_t number = 0;
    if (tag && !items[at].quoted && equalsIgnoreCase(items[at].text, "pcm")) number = kTagPcm;
    else if (!parseInteger(items[at].text, number)) return MCIERR_BAD_INTEGER;
    if (tag) {
        m_tag = true;
        return number == kTagPcm ? MCI_OK : MCIERR_OUTOFRANGE;
    }
    *value = number;
    return MCI_OK;
}

uint32_t DerivedFormatItems::check(const audio::AudioFormat& format) const {
    if (m_alignment && *m_alignment != format.blockAlign()) return MCIERR_OUTOFRANGE;
    if (m_bytesPerSecond && *m_bytesPerSecond != format.bytesPerSecond()) return MCIERR_OUTOFRANGE;
    return MCI_OK;
}

}  // namespace wsx::mci
