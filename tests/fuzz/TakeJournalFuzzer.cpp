// The edit journal as recovery meets it: any bytes at all, torn or hostile. Input: one
// byte choosing the frame size, four bytes of sound-file size (little-endian), then the
// journal. Besides never crashing, reading must keep what it promises: the intact records
// are exactly the bytes they were read from, and the piece table rebuilt from them never
// names sound outside the sound file.
#include "engine/take/TakeJournal.h"

#include <cstdint>
#include <cstdlib>
#include <span>

using namespace wsx::mci;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    static constexpr uint32_t kBlockAligns[] = {1, 2, 4};
    const uint32_t blockAlign = kBlockAligns[data[0] % 3];
    const uint64_t soundBytes = uint64_t(data[1]) | uint64_t(data[2]) << 8 |
                                uint64_t(data[3]) << 16 | uint64_t(data[4]) << 24;
    const std::span<const uint8_t> bytes(data + 5, size - 5);

    const JournalContents contents = readJournal(bytes);
    if (contents.intactBytes > bytes.size() ||
        contents.damaged != (contents.intactBytes < bytes.size()))
        std::abort();
    std::vector<uint8_t> again;
    for (const JournalRecord& r : contents.records) {
        const std::vector<uint8_t> one = encodeJournalRecord(r);
        again.insert(again.end(), one.begin(), one.end());
    }
    if (again.size() != contents.intactBytes ||
        !std::equal(again.begin(), again.end(), bytes.begin()))
        std::abort();

    const ReplayedTake take = replayJournal(contents.records, soundBytes, blockAlign);
    uint64_t total = 0;
    for (const Piece& p : take.wave.pieces()) {
        if (p.length == 0 || p.offset >= soundBytes || p.length > soundBytes - p.offset)
            std::abort();
        total += p.length;
    }
    if (total != take.wave.length()) std::abort();
    if (take.unfinished && (take.unfinished->kind != JournalRecord::Kind::RecordEnd ||
                            take.unfinished->piece.length % blockAlign != 0))
        std::abort();
    return 0;
}
