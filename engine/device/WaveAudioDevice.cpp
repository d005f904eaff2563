#include "WaveAudioDevice.h"

#include "engine/command/MciError.h"
#include "engine/command/MciFormatItems.h"
#include "engine/command/MciItems.h"
#include "engine/files/WavFile.h"
#include "engine/take/ElementFormat.h"
#include "platform/log/Log.h"

#include <algorithm>
#include <optional>

namespace wsx::mci {

namespace {

uint32_t openErrorToMci(audio::OpenError e, bool capture) {
    if (e == audio::OpenError::BadFormat) return MCIERR_OUTOFRANGE;
    return capture ? MCIERR_WAVE_INPUTSUNSUITABLE : MCIERR_WAVE_OUTPUTSUNSUITABLE;
}

}  // namespace

WaveAudioDevice::WaveAudioDevice(audio::AudioBackend& backend, const EngineOptions& options,
                                 const audio::CaptureSource& engineInput)
    : m_backend(backend), m_options(options), m_engineInput(engineInput) {}

WaveAudioDevice::~WaveAudioDevice() {
    // Sessions read and write the take: end them (a take being recorded is journalled)
    // before it goes.
    halt(Mode::Stopped);
    m_save.reset();  // reads the take's sound file
    closeTake();
}

// ---- state --------------------------------------------------------------------------

void WaveAudioDevice::refresh() {
    if (m_save && m_save->done()) finishBackgroundSave();
    if (m_mode == Mode::Playing && m_playback) {
        if (m_playback->done()) {
            m_position = m_playTo;
            m_playback.reset();
            m_mode = Mode::Stopped;
        } else if (m_playback->failed()) {
            m_reason = Reason::ServerLost;
            halt(Mode::Paused);
            m_pausedFrom = Mode::Playing;
        }
    } else if (m_mode == Mode::Recording && m_capture && m_capture->stopped()) {
        // A "to" point reached ends the record as a play's end does: stopped there. A take
        // that stopped by itself is paused with all it captured, so resume can go on.
        const bool reachedTo =
            m_capture->stopCause() == CaptureSession::StopCause::Budget && !m_budgetIsLimit;
        noteCaptureStop();
        halt(reachedTo ? Mode::Stopped : Mode::Paused);
        m_pausedFrom = Mode::Recording;
    }
}

void WaveAudioDevice::halt(Mode then) {
    m_cued = false;
    if (m_mode == Mode::Playing && m_playback) {
        m_position = m_playFrom + m_playback->playedBytes();
        m_playback.reset();
    } else if (m_mode == Mode::Recording && m_capture) {
        finishRecording();
    }
    m_mode = then;
}

void WaveAudioDevice::finishRecording() {
    const CaptureSession::Result r = m_capture->finish();
    m_capture.reset();
    m_silenceBytes += r.silenceBytes;
    if (m_recordInsert) m_wave.insert(m_recordStart, r.piece);
    else m_wave.overwrite(m_recordStart, r.piece);
    logChange({JournalRecord::Kind::RecordEnd, m_recordStart, 0, m_recordInsert, r.piece});
    m_position = m_recordStart + r.piece.length;
}

WaveAudioDevice::Mode WaveAudioDevice::mode() {
    refresh();
    return m_mode;
}

uint64_t WaveAudioDevice::positionBytes() {
    refresh();
    if (m_mode == Mode::Playing) return m_playFrom + m_playback->playedBytes();
    if (m_mode == Mode::Recording) return m_recordStart + m_capture->capturedBytes();
    return m_position;
}

uint64_t WaveAudioDevice::lengthBytes() {
    refresh();
    if (m_mode != Mode::Recording) return m_wave.length();
    const uint64_t captured = m_capture->capturedBytes();
    if (m_recordInsert) return m_lengthBeforeRecord + captured;
    return std::max(m_lengthBeforeRecord, m_recordStart + captured);
}

// ---- commands -----------------------------------------------------------------------

uint32_t WaveAudioDevice::set(Items items) {
    // "time format" is two words; everything else is keyword + value.
    bool timeFormatGiven = false;
    TimeFormat timeFormat = m_timeFormat;
    audio::AudioFormat format = m_format;
    bool formatItem = false;
    bool seen[3] = {false, false, false};
    DerivedFormatItems derived;  // bytespersec, alignment, format tag
    std::optional<audio::CaptureSource> input;
    for (size_t i = 0; i < items.size(); ++i) {
        const Token& t = items[i];
        if (!t.quoted && equalsIgnoreCase(t.text, "input")) {
            if (input) return MCIERR_DUPLICATE_FLAGS;
            if (i + 1 >= items.size()) return MCIERR_MISSING_PARAMETER;
            input = parseInput(items[++i]);
            continue;
        }
        if (!t.quoted && equalsIgnoreCase(t.text, "time")) {
            if (i + 1 >= items.size() || !equalsIgnoreCase(items[i + 1].text, "format"))
                return MCIERR_UNRECOGNIZED_KEYWORD;
            if (timeFormatGiven) return MCIERR_FLAGS_NOT_COMPATIBLE;
            if (i + 2 >= items.size()) return MCIERR_MISSING_PARAMETER;
            if (uint32_t e = parseTimeFormat(items[i + 2], timeFormat)) return e;
            timeFormatGiven = true;
            i += 2;
            continue;
        }
        if (const uint32_t e = derived.take(items, i); e != DerivedFormatItems::kNotOneOfThem) {
            if (e) return e;
            formatItem = true;
            continue;
        }
        static constexpr std::string_view kFormatItems[3] = {"bitspersample", "samplespersec",
                                                             "channels"};
        int which = -1;
        for (int k = 0; k < 3; ++k)
            if (!t.quoted && equalsIgnoreCase(t.text, kFormatItems[k])) which = k;
        if (which < 0) return MCIERR_UNRECOGNIZED_KEYWORD;
        if (seen[which]) return MCIERR_DUPLICATE_FLAGS;
        seen[which] = true;
        if (i + 1 >= items.size()) return MCIERR_MISSING_PARAMETER;
        uint32_t v = 0;
        if (!parseInteger(items[++i].text, v)) return MCIERR_BAD_INTEGER;
        formatItem = true;
        if (which == 0) {
            if (!elementTakesBits(v)) return MCIERR_OUTOFRANGE;
            format.bitsPerSample = uint16_t(v);
        } else if (which == 1) {
            if (!elementTakesRate(v)) return MCIERR_OUTOFRANGE;
            format.sampleRate = v;
        } else {
            if (!elementTakesChannels(v)) return MCIERR_OUTOFRANGE;
            format.channels = uint16_t(v);
        }
    }
    if (items.empty()) return MCIERR_MISSING_PARAMETER;
    if (formatItem && m_holdsSound) return MCIERR_NONAPPLICABLE_FUNCTION;
    if (const uint32_t e = derived.check(format)) return e;
    m_timeFormat = timeFormat;
    m_format = format;
    if (input) m_input = input;
    return MCI_OK;
}

uint32_t WaveAudioDevice::parseRange(Items items, uint64_t& from, uint64_t& to) {
    ParsedItems p;
    if (uint32_t e = p.parse(items, {{"from", true}, {"to", true}})) return e;
    refresh();
    from = positionBytes();
    to = lengthBytes();
    if (auto v = p.value("from"))
        if (uint32_t e = parsePosition(*v, from)) return e;
    if (auto v = p.value("to"))
        if (uint32_t e = parsePosition(*v, to)) return e;
    return from > to ? MCIERR_OUTOFRANGE : MCI_OK;
}

uint32_t WaveAudioDevice::play(Items items) {
    uint64_t from = 0, to = 0;
    if (uint32_t e = parseRange(items, from, to)) return e;
    return startPlaying(from, to);
}

uint32_t WaveAudioDevice::startPlaying(uint64_t from, uint64_t to) {
    halt(Mode::Stopped);
    m_position = from;
    if (from == to) return MCI_OK;
    auto session =
        std::make_unique<PlaybackSession>(m_take->sound(), m_format, m_wave.slice(from, to));
    audio::OpenError error = audio::OpenError::None;
    if (!session->start(m_backend, error)) {
        m_reason = openErrorReason(error);
        return openErrorToMci(error, false);
    }
    m_reason = Reason::None;
    m_playback = std::move(session);
    m_playFrom = from;
    m_playTo = to;
    m_mode = Mode::Playing;
    return MCI_OK;
}

uint32_t WaveAudioDevice::record(Items items) {
    ParsedItems p;
    if (uint32_t e = p.parse(items, {{"from", true}, {"to", true}, {"insert"}, {"overwrite"}}))
        return e;
    if (p.has("insert") && p.has("overwrite")) return MCIERR_FLAGS_NOT_COMPATIBLE;
    refresh();
    uint64_t from = positionBytes();
    if (auto v = p.value("from"))
        if (uint32_t e = parsePosition(*v, from)) return e;
    const bool insert = !p.has("overwrite");
    const uint64_t limit = recordLimit();
    const uint64_t length = lengthBytes();
    uint64_t budget = insert ? limit - std::min(limit, length) : limit - std::min(limit, from);
    if (auto v = p.value("to")) {
        // A stop point may lie beyond the end: the take grows to reach it.
        uint32_t value = 0;
        if (!parseInteger(*v, value)) return MCIERR_BAD_INTEGER;
        if (value < toReported(from)) return MCIERR_OUTOFRANGE;
        const uint64_t toBytes = fromReported(value, length);
        budget = std::min(budget, toBytes - std::min(toBytes, from));
    }
    if (budget == 0) return MCIERR_OUTOFRANGE;
    const uint32_t rc = startRecording(from, budget, insert);
    m_budgetIsLimit = !p.has("to");
    return rc;
}

uint32_t WaveAudioDevice::startRecording(uint64_t from, uint64_t budget, bool insert) {
    halt(Mode::Stopped);
    m_position = from;
    if (!beginTakeRecording(from, insert)) return MCIERR_HARDWARE;
    const uint64_t soundStart = m_take->sound().size();
    auto session = std::make_unique<CaptureSession>(m_take->sound(), m_format, budget);
    audio::OpenError error = audio::OpenError::None;
    if (!session->start(m_backend, m_input.value_or(m_engineInput), error)) {
        logChange({JournalRecord::Kind::RecordEnd, from, 0, insert, {soundStart, 0}});
        m_reason = openErrorReason(error);
        return openErrorToMci(error, true);
    }
    m_reason = Reason::None;
    m_budgetIsLimit = true;
    m_capture = std::move(session);
    m_recordStart = from;
    m_lengthBeforeRecord = m_wave.length();
    m_recordInsert = insert;
    m_holdsSound = true;
    m_mode = Mode::Recording;
    return MCI_OK;
}

uint32_t WaveAudioDevice::pause(Items items) {
    if (!items.empty()) return MCIERR_UNRECOGNIZED_KEYWORD;
    refresh();
    if (m_mode == Mode::Paused) return MCI_OK;
    if (m_mode == Mode::Stopped) return MCIERR_NONAPPLICABLE_FUNCTION;
    m_pausedFrom = m_mode;
    halt(Mode::Paused);
    return MCI_OK;
}

uint32_t WaveAudioDevice::resume(Items items) {
    if (!items.empty()) return MCIERR_UNRECOGNIZED_KEYWORD;
    refresh();
    if (m_mode != Mode::Paused)
        return m_mode == Mode::Stopped ? MCIERR_NONAPPLICABLE_FUNCTION : MCI_OK;
    uint32_t rc = MCI_OK;
    if (m_pausedFrom == Mode::Recording) {
        const uint64_t limit = recordLimit();
        const uint64_t used = m_recordInsert ? m_wave.length() : m_position;
        if (used >= limit) return MCIERR_OUTOFRANGE;
        rc = startRecording(m_position, limit - used, m_recordInsert);
    } else {
        rc = startPlaying(m_position, m_wave.length());
    }
    // A resume that cannot start (the server is away) leaves the element paused, so a
    // later resume can still continue it.
    if (rc != MCI_OK) m_mode = Mode::Paused;
    return rc;
}

uint32_t WaveAudioDevice::stop(Items items) {
    if (!items.empty()) return MCIERR_UNRECOGNIZED_KEYWORD;
    refresh();
    halt(Mode::Stopped);
    cancelBackgroundSave();
    return MCI_OK;
}

uint32_t WaveAudioDevice::seek(Items items) {
    // "to start", "to end" and "to p" are three flags: one of them, once.
    enum Target { Start, End, Point };
    bool given[3] = {false, false, false};
    std::string point;
    for (size_t i = 0; i < items.size(); i += 2) {
        if (items[i].quoted || !equalsIgnoreCase(items[i].text, "to"))
            return MCIERR_UNRECOGNIZED_KEYWORD;
        if (i + 1 >= items.size()) return MCIERR_MISSING_PARAMETER;
        const Token& where = items[i + 1];
        const Target target = where.quoted                            ? Point
                              : equalsIgnoreCase(where.text, "start") ? Start
                              : equalsIgnoreCase(where.text, "end")   ? End
                                                                      : Point;
        if (given[target]) return MCIERR_DUPLICATE_FLAGS;
        given[target] = true;
        if (target == Point) point = where.text;
    }
    const int targets = given[Start] + given[End] + given[Point];
    if (targets == 0) return MCIERR_MISSING_PARAMETER;
    if (targets > 1) return MCIERR_FLAGS_NOT_COMPATIBLE;
    refresh();
    uint64_t target = 0;
    if (given[End]) target = lengthBytes();
    else if (given[Point])
        if (uint32_t e = parsePosition(point, target)) return e;
    halt(Mode::Stopped);
    m_position = std::min(target, m_wave.length());
    return MCI_OK;
}

uint32_t WaveAudioDevice::erase(Items items) {
    uint64_t from = 0, to = 0;
    if (uint32_t e = parseRange(items, from, to)) return e;
    halt(Mode::Stopped);
    m_wave.erase(from, to);
    if (from < to) logChange({JournalRecord::Kind::Erase, from, to, false, {}});
    m_position = std::min(from, m_wave.length());
    return MCI_OK;
}

}  // namespace wsx::mci
