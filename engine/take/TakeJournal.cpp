#include "TakeJournal.h"

#include <algorithm>
#include <array>

namespace wsx::mci {

namespace {

uint32_t crc32(std::span<const uint8_t> bytes) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (uint8_t b : bytes) c = table[(c ^ b) & 0xFFu] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void putLe(std::vector<uint8_t>& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

uint64_t getLe(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// Payload: kind, then the fields the kind uses, each u64 (insert as one byte).
constexpr size_t kPayloadBytes = 1 + 8 + 8 + 1 + 8 + 8;

}  // namespace

std::vector<uint8_t> encodeJournalRecord(const JournalRecord& r) {
    std::vector<uint8_t> payload;
    payload.reserve(kPayloadBytes);
    payload.push_back(uint8_t(r.kind));
    putLe(payload, r.at, 8);
    putLe(payload, r.to, 8);
    payload.push_back(r.insert ? 1 : 0);
    putLe(payload, r.piece.offset, 8);
    putLe(payload, r.piece.length, 8);
    std::vector<uint8_t> out;
    out.reserve(8 + payload.size());
    putLe(out, payload.size(), 4);
    putLe(out, crc32(payload), 4);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

JournalContents readJournal(std::span<const uint8_t> bytes) {
    JournalContents out;
    size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < 8) break;
        const uint64_t length = getLe(&bytes[at], 4);
        if (length != kPayloadBytes || bytes.size() - at - 8 < length) break;
        const std::span<const uint8_t> payload = bytes.subspan(at + 8, length);
        if (crc32(payload) != getLe(&bytes[at + 4], 4)) break;
        const uint8_t kind = payload[0];
        if (kind < 1 || kind > 4 || payload[17] > 1) break;
        JournalRecord r;
        r.kind = JournalRecord::Kind(kind);
        r.at = getLe(&payload[1], 8);
        r.to = getLe(&payload[9], 8);
        r.insert = payload[17] == 1;
        r.piece = Piece{getLe(&payload[18], 8), getLe(&payload[26], 8)};
        out.records.push_back(r);
        at += 8 + length;
    }
    out.intactBytes = at;
    out.damaged = at < bytes.size();
    return out;
}

ReplayedTake replayJournal(const std::vector<JournalRecord>& records, uint64_t soundFileBytes,
                           uint32_t blockAlign) {
    ReplayedTake out;
    std::optional<JournalRecord> open;
    // Sound past the end of the file (a truncated file) is cut to the whole frames there;
    // the piece table itself holds only what can be read.
    auto clip = [&](Piece p) {
        if (p.offset >= soundFileBytes) p.length = 0;
        else if (p.length > soundFileBytes - p.offset) p.length = soundFileBytes - p.offset;
        p.length -= p.length % blockAlign;
        return p;
    };
    auto apply = [&](const JournalRecord& r) {
        const Piece p = clip(r.piece);
        if (p.length != r.piece.length) out.clipped = true;
        if (r.insert) out.wave.insert(r.at, p);
        else out.wave.overwrite(r.at, p);
        // The rest of a cut piece is gone; what followed it in the take shifts up, as it
        // would have had the capture been that short.
    };
    for (const JournalRecord& r : records) {
        out.savedUnchanged = r.kind == JournalRecord::Kind::Saved;
        switch (r.kind) {
        case JournalRecord::Kind::RecordStart: open = r; break;
        case JournalRecord::Kind::RecordEnd:
            open.reset();
            apply(r);
            break;
        case JournalRecord::Kind::Erase: out.wave.erase(r.at, r.to); break;
        case JournalRecord::Kind::Saved: break;
        }
    }
    if (open) {
        JournalRecord end = *open;
        end.kind = JournalRecord::Kind::RecordEnd;
        const uint64_t from = std::min(open->piece.offset, soundFileBytes);
        end.piece = Piece{from, soundFileBytes - from};
        end.piece.length -= end.piece.length % blockAlign;
        apply(end);
        out.unfinished = end;
        out.savedUnchanged = false;
    }
    return out;
}

ReplayedTake recoverTake(const JournalContents& journal, uint64_t soundFileBytes,
                         uint32_t blockAlign) {
    ReplayedTake out = replayJournal(journal.records, soundFileBytes, blockAlign);
    out.editsLost = journal.damaged;
    const uint64_t whole = soundFileBytes - soundFileBytes % blockAlign;
    if (!journal.damaged || out.wave.length() > 0 || whole == 0) return out;
    const JournalRecord all{JournalRecord::Kind::RecordEnd, 0, 0, true, Piece{0, whole}};
    out.wave = PieceTable();
    out.wave.insert(0, all.piece);
    out.unfinished = all;
    out.savedUnchanged = false;
    out.clipped = false;
    return out;
}

}  // namespace wsx::mci
