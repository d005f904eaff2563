#include "CaptureMixer.h"

#include <algorithm>

namespace wsx::audio {

namespace {
constexpr size_t kOutFrames = 4096;  // mixed frames handed on at once, at most

int16_t readSample(const uint8_t* at, uint16_t bits) {
    if (bits == 8) return int16_t((int(at[0]) - 128) * 256);
    return int16_t(uint16_t(at[0] | (at[1] << 8)));
}
}  // namespace

CaptureMixer::CaptureMixer(const AudioFormat& format, CaptureSink& out)
    : m_format(format),
      m_channels(format.channels),
      m_capacityFrames(std::max<size_t>(format.sampleRate, 1024)),
      m_stallFrames(size_t(format.sampleRate * kStallSeconds)),
      m_windowFrames(uint64_t(format.sampleRate * kWindowSeconds)),
      m_jumpFrames(size_t(format.sampleRate * kJumpSeconds)),
      m_out(out),
      m_outBuffer(kOutFrames * format.blockAlign()) {
    for (Pending& p : m_inputs) p.ring.resize(m_capacityFrames * m_channels);
}

size_t CaptureMixer::onCaptured(int input, const void* data, size_t bytes) {
    const size_t align = m_format.blockAlign();
    const auto* at = static_cast<const uint8_t*>(data);
    size_t frames = bytes / align;
    Pending& self = m_inputs[size_t(input)];
    while (frames > 0) {
        if (self.frames == m_capacityFrames) {
            // Full: the other input holds nothing (else it would have been mixed); it is
            // silent for the older half of what waits here.
            mixFrames(m_capacityFrames / 2, input == 1, input == 0);
        }
        const size_t n = push(input, at, frames);
        at += n * align;
        frames -= n;
        mix();
    }
    return bytes - bytes % align;
}

size_t CaptureMixer::push(int input, const uint8_t* data, size_t frames) {
    Pending& p = m_inputs[size_t(input)];
    const size_t n = std::min(frames, m_capacityFrames - p.frames);
    const size_t size = p.ring.size();
    size_t at = (p.head + p.frames * m_channels) % size;
    const size_t bytesPerSample = m_format.bitsPerSample / 8;
    for (size_t i = 0; i < n * m_channels; ++i) {
        p.ring[at] = readSample(data + i * bytesPerSample, m_format.bitsPerSample);
        if (++at == size) at = 0;
    }
    p.frames += n;
    return n;
}

void CaptureMixer::mix() {
    Pending& a = m_inputs[0];
    Pending& b = m_inputs[1];
    for (;;) {
        size_t n = std::min(a.frames, b.frames);
        if (n == 0) break;
        n = std::min(n, kDropSpacing - m_sinceDrop);
        mixFrames(n, false, false);
        m_sinceDrop += n;
        if (m_sinceDrop == kDropSpacing) {
            m_sinceDrop = 0;
            for (Pending& p : m_inputs)
                if (p.toDrop > 0 && p.frames > 0) dropOne(p);
        }
    }
    // One input has stalled: the other goes on alone rather than waiting for ever.
    if (a.frames >= m_stallFrames && b.frames == 0) mixFrames(a.frames, false, true);
    if (b.frames >= m_stallFrames && a.frames == 0) mixFrames(b.frames, true, false);
    endOfMix();
    flush();
}

void CaptureMixer::endOfMix() {
    const int64_t lead = int64_t(m_inputs[0].frames) - int64_t(m_inputs[1].frames);
    m_lowestLead = std::min(m_lowestLead, lead);
    m_highestLead = std::max(m_highestLead, lead);
    if (m_mixed - m_windowStart < m_windowFrames) return;
    // The middle of the swing; a frame either way is rounding, not a surplus.
    const int64_t middle = (m_lowestLead + m_highestLead) / 2;
    m_inputs[0].toDrop = middle > 1 ? size_t(middle) : 0;
    m_inputs[1].toDrop = middle < -1 ? size_t(-middle) : 0;
    // A large surplus (one stream started before the other) goes at once: spread over single
    // frames it would play that stream fast, and off pitch, for seconds. Clock drift only
    // ever leaves a frame or two per window, which is spread.
    for (Pending& p : m_inputs) {
        if (p.toDrop <= m_jumpFrames) continue;
        const size_t n = std::min(p.toDrop, p.frames);
        p.head = (p.head + n * m_channels) % p.ring.size();
        p.frames -= n;
        p.dropped += n;
        p.toDrop = 0;
    }
    m_lowestLead = INT64_MAX;
    m_highestLead = INT64_MIN;
    m_windowStart = m_mixed;
}

void CaptureMixer::dropOne(Pending& p) {
    p.head = (p.head + m_channels) % p.ring.size();
    --p.frames;
    --p.toDrop;
    ++p.dropped;
}

void CaptureMixer::mixFrames(size_t frames, bool silent0, bool silent1) {
    const bool silent[2] = {silent0, silent1};
    const size_t align = m_format.blockAlign();
    for (size_t f = 0; f < frames; ++f) {
        if (m_outBytes + align > m_outBuffer.size()) flush();
        for (size_t c = 0; c < m_channels; ++c) {
            int sum = 0;
            for (size_t i = 0; i < 2; ++i) {
                Pending& p = m_inputs[i];
                if (!silent[i]) sum += p.ring[(p.head + c) % p.ring.size()];
            }
            const int16_t v = int16_t(std::clamp(sum, -32768, 32767));  // saturate, never wrap
            uint8_t* out = m_outBuffer.data() + m_outBytes;
            if (m_format.bitsPerSample == 8) {
                out[0] = uint8_t((v >> 8) + 128);
                m_outBytes += 1;
            } else {
                out[0] = uint8_t(uint16_t(v) & 0xff);
                out[1] = uint8_t(uint16_t(v) >> 8);
                m_outBytes += 2;
            }
        }
        for (size_t i = 0; i < 2; ++i) {
            Pending& p = m_inputs[i];
            if (silent[i]) continue;
            p.head = (p.head + m_channels) % p.ring.size();
            --p.frames;
        }
    }
    for (size_t i = 0; i < 2; ++i)
        if (silent[i]) m_inputs[i].silent += frames;
    m_mixed += frames;
}

void CaptureMixer::flush() {
    if (m_outBytes == 0) return;
    m_out.onCaptured(m_outBuffer.data(), m_outBytes);  // what it does not keep is dropped
    m_outBytes = 0;
}

}  // namespace wsx::audio
