#pragma once

#include "PieceTable.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace wsx::mci {

// One change to a take's piece table, as the edit journal stores it. Byte positions are
// positions in the element's sound; offsets are offsets in the take's sound file.
struct JournalRecord {
    enum class Kind : uint8_t {
        RecordStart = 1,  // a capture began: at, insert, sound-file offset of its first byte
        RecordEnd = 2,    // it ended: at, insert, and the piece it left (offset, length)
        Erase = 3,        // bytes [from, to) deleted
        Saved = 4,        // the element was saved to a file
    };
    Kind kind = Kind::Saved;
    uint64_t at = 0;  // RecordStart/RecordEnd: element position; Erase: from
    uint64_t to = 0;  // Erase only
    bool insert = false;
    Piece piece;  // RecordStart: offset only; RecordEnd: the piece
    bool operator==(const JournalRecord&) const = default;
};

// A record on disk: u32 payload length, u32 CRC-32 of the payload, the payload (kind byte,
// then little-endian fields), so a torn or damaged record is recognised and ignored.
std::vector<uint8_t> encodeJournalRecord(const JournalRecord& record);

struct JournalContents {
    std::vector<JournalRecord> records;  // the intact records, in order
    uint64_t intactBytes = 0;            // where the first bad or torn record begins
    bool damaged = false;                // something followed the intact records
};
// Reads records up to the first one that is torn, fails its checksum or is not understood.
JournalContents readJournal(std::span<const uint8_t> bytes);

// The element a journal describes.
struct ReplayedTake {
    PieceTable wave;
    bool savedUnchanged = false;  // the last record is Saved
    bool clipped = false;         // some sound the journal names is not in the sound file
    // A capture that never ended (the program was killed): it is taken into `wave` as the
    // whole frames that reached the sound file, and this is the RecordEnd that closes it.
    // After a salvage of the whole sound file (recoverTake), the record that names it.
    std::optional<JournalRecord> unfinished;
    // The journal could not be read to its end (damaged, cut, missing): the last edits may
    // be missing from `wave`.
    bool editsLost = false;
};
// Rebuilds the piece table exactly as the edits built it. Pieces reaching past
// `soundFileBytes` are cut to what is there (whole frames of `blockAlign` bytes).
ReplayedTake replayJournal(const std::vector<JournalRecord>& records, uint64_t soundFileBytes,
                           uint32_t blockAlign);

// What a take is offered back as, however its journal was damaged: the intact records
// replayed; when the journal was damaged (or missing: pass it as damaged with no records)
// and they rebuild nothing, the sound file's whole frames as one piece, so no recorded
// sound is ever given up because its edits cannot be read. An undamaged journal that
// rebuilds nothing is an empty take (a WAV file whose copy into the take was cut short).
ReplayedTake recoverTake(const JournalContents& journal, uint64_t soundFileBytes,
                         uint32_t blockAlign);

}  // namespace wsx::mci
