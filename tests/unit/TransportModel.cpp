#include "TransportModel.h"

namespace wsx::test {

using namespace wsx::mci;
using Verb = TransportStep::Verb;

std::string TransportStep::command(const std::string& alias) const {
    static constexpr const char* kVerbs[] = {"record", "play", "pause",  "resume",
                                             "stop",   "seek", "delete", "save"};
    std::string c = std::string(kVerbs[int(verb)]) + " " + alias;
    if (verb == Verb::Seek) {
        c += " to " + (to ? std::to_string(*to) : toEnd ? "end" : "start");
        return c;
    }
    if (verb == Verb::Save) return c + " out.wav";
    if (from) c += " from " + std::to_string(*from);
    if (to) c += " to " + std::to_string(*to);
    if (insert) c += " insert";
    if (overwrite) c += " overwrite";
    return c;
}

uint64_t TransportModel::position() const {
    if (m_mode == Mode::Recording) return m_recStart + m_captured;
    if (m_mode == Mode::Playing) return m_playFrom + m_played;
    return m_position;
}

uint64_t TransportModel::length() const {
    if (m_mode != Mode::Recording) return m_sound.size();
    return m_insert ? m_lengthBefore + m_captured
                    : std::max(m_lengthBefore, m_recStart + m_captured);
}

void TransportModel::halt(Mode then) {
    if (m_mode == Mode::Playing) {
        m_position = m_playFrom + m_played;
    } else if (m_mode == Mode::Recording) {
        std::vector<uint16_t> piece(m_captured);
        for (uint64_t i = 0; i < m_captured; ++i) piece[i] = sample(m_stretch, i);
        const auto at = m_sound.begin() + std::ptrdiff_t(m_recStart);
        if (!m_insert)
            m_sound.erase(at,
                          at + std::ptrdiff_t(std::min(m_captured, m_sound.size() - m_recStart)));
        m_sound.insert(m_sound.begin() + std::ptrdiff_t(m_recStart), piece.begin(), piece.end());
        m_position = m_recStart + m_captured;
    }
    m_mode = then;
}

void TransportModel::advance(uint32_t ms) {
    const uint64_t frames = uint64_t(ms) * m_framesPerMs;
    if (m_mode == Mode::Recording) {
        m_captured = std::min(m_budget, m_captured + frames);
        if (m_captured == m_budget) {
            // Its "to" point reached, it stops there; full up to the limit, it is paused.
            halt(m_toGiven ? Mode::Stopped : Mode::Paused);
            m_pausedFrom = Mode::Recording;
        }
    } else if (m_mode == Mode::Playing) {
        m_played = std::min(m_playTo - m_playFrom, m_played + frames);
        if (m_played == m_playTo - m_playFrom) {  // played to its end: stopped there
            m_mode = Mode::Stopped;
            m_position = m_playTo;
        }
    }
}

uint32_t TransportModel::range(const TransportStep& s, uint64_t& from, uint64_t& to) const {
    from = s.from.value_or(position());
    to = s.to.value_or(length());
    if (from > length() || to > length() || from > to) return MCIERR_OUTOFRANGE;
    return MCI_OK;
}

uint32_t TransportModel::startRecording(uint64_t from, uint64_t budget, bool insert, bool toGiven) {
    halt(Mode::Stopped);
    m_toGiven = toGiven;
    ++m_stretch;
    m_recStart = from;
    m_budget = budget;
    m_captured = 0;
    m_lengthBefore = m_sound.size();
    m_insert = insert;
    m_mode = Mode::Recording;
    return MCI_OK;
}

void TransportModel::startPlaying(uint64_t from, uint64_t to) {
    halt(Mode::Stopped);
    m_position = from;
    if (from == to) return;
    m_playFrom = from;
    m_playTo = to;
    m_played = 0;
    m_mode = Mode::Playing;
}

uint32_t TransportModel::apply(const TransportStep& s) {
    uint64_t from = 0, to = 0;
    switch (s.verb) {
    case Verb::Record: {
        if (s.insert && s.overwrite) return MCIERR_FLAGS_NOT_COMPATIBLE;
        from = s.from.value_or(position());
        if (from > length()) return MCIERR_OUTOFRANGE;
        const bool insert = !s.overwrite;
        // Inserting may add up to the limit to the whole; overwriting may run up to it.
        uint64_t budget =
            insert ? m_limit - std::min(m_limit, length()) : m_limit - std::min(m_limit, from);
        if (s.to) {
            if (*s.to < from) return MCIERR_OUTOFRANGE;
            budget = std::min<uint64_t>(budget, *s.to - from);
        }
        if (budget == 0) return MCIERR_OUTOFRANGE;
        return startRecording(from, budget, insert, s.to.has_value());
    }
    case Verb::Play:
        if (uint32_t e = range(s, from, to)) return e;
        startPlaying(from, to);
        return MCI_OK;
    case Verb::Pause:
        if (m_mode == Mode::Stopped) return MCIERR_NONAPPLICABLE_FUNCTION;
        if (m_mode != Mode::Paused) {
            m_pausedFrom = m_mode;
            halt(Mode::Paused);
        }
        return MCI_OK;
    case Verb::Resume:
        if (m_mode != Mode::Paused)
            return m_mode == Mode::Stopped ? MCIERR_NONAPPLICABLE_FUNCTION : MCI_OK;
        if (m_pausedFrom == Mode::Recording) {
            // Goes on where it stopped, in the same way, up to the limit.
            const uint64_t used = m_insert ? m_sound.size() : m_position;
            if (used >= m_limit) return MCIERR_OUTOFRANGE;
            return startRecording(m_position, m_limit - used, m_insert, false);
        }
        startPlaying(m_position, m_sound.size());
        return MCI_OK;
    case Verb::Stop: halt(Mode::Stopped); return MCI_OK;
    case Verb::Seek:
        to = s.to ? *s.to : s.toEnd ? length() : 0;
        if (to > length()) return MCIERR_OUTOFRANGE;
        halt(Mode::Stopped);
        m_position = std::min<uint64_t>(to, m_sound.size());
        return MCI_OK;
    case Verb::Delete:
        if (uint32_t e = range(s, from, to)) return e;
        halt(Mode::Stopped);
        to = std::min<uint64_t>(to, m_sound.size());
        if (from < to)
            m_sound.erase(m_sound.begin() + std::ptrdiff_t(from),
                          m_sound.begin() + std::ptrdiff_t(to));
        m_position = std::min<uint64_t>(from, m_sound.size());
        return MCI_OK;
    case Verb::Save: halt(Mode::Stopped); return MCI_OK;
    }
    return MCI_OK;
}

}  // namespace wsx::test
