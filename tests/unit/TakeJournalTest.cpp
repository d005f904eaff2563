// The edit journal on its own: torn, corrupt and truncated input, and the piece table it
// rebuilds, including a capture that never ended and sound missing from the file.
#include "engine/take/TakeJournal.h"

#include <gtest/gtest.h>

using namespace wsx::mci;
using Kind = JournalRecord::Kind;

namespace {

std::vector<JournalRecord> someRecords() {
    return {{Kind::RecordStart, 0, 0, true, {0, 0}},
            {Kind::RecordEnd, 0, 0, true, {0, 800}},
            {Kind::Erase, 100, 300, false, {}},
            {Kind::Saved, 0, 0, false, {}}};
}

std::vector<uint8_t> encodeAll(const std::vector<JournalRecord>& records) {
    std::vector<uint8_t> out;
    for (const JournalRecord& r : records) {
        const auto bytes = encodeJournalRecord(r);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

}  // namespace

TEST(TakeJournal, ReadsIntactRecordsAndStopsAtATornOrDamagedOne) {
    const auto records = someRecords();
    const auto bytes = encodeAll(records);
    const size_t recordBytes = bytes.size() / records.size();
    const JournalContents whole = readJournal(bytes);
    EXPECT_EQ(whole.records, records);
    EXPECT_FALSE(whole.damaged);
    EXPECT_EQ(whole.intactBytes, bytes.size());

    // Cut anywhere: the whole records before the cut, the torn one ignored.
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        const JournalContents c = readJournal(std::span(bytes.data(), cut));
        const size_t complete = cut / recordBytes;
        ASSERT_EQ(c.records.size(), complete) << cut;
        EXPECT_EQ(c.intactBytes, complete * recordBytes);
        EXPECT_EQ(c.damaged, cut % recordBytes != 0);
    }
    // Any byte of the third record changed (length, checksum or payload): the first two.
    for (size_t i = 2 * recordBytes; i < 3 * recordBytes; ++i) {
        auto broken = bytes;
        broken[i] ^= 0x41;
        const JournalContents c = readJournal(broken);
        ASSERT_EQ(c.records.size(), 2u) << i;
        EXPECT_TRUE(c.damaged);
    }
    // A record with a sound checksum but a kind no program wrote is not trusted either.
    auto unknown = records;
    unknown[1].kind = Kind(9);
    EXPECT_EQ(readJournal(encodeAll(unknown)).records.size(), 1u);
}

TEST(TakeJournal, ReplayBuildsThePieceTableTheEditsBuilt) {
    const uint32_t align = 4;
    std::vector<JournalRecord> log;
    PieceTable expected;
    auto capture = [&](uint64_t at, bool insert, Piece p) {
        log.push_back({Kind::RecordStart, at, 0, insert, {p.offset, 0}});
        log.push_back({Kind::RecordEnd, at, 0, insert, p});
        if (insert) expected.insert(at, p);
        else expected.overwrite(at, p);
    };
    capture(0, false, {0, 4000});
    capture(1000, true, {4000, 800});
    capture(4400, false, {4800, 1200});  // runs past the end
    log.push_back({Kind::Erase, 200, 1600, false, {}});
    expected.erase(200, 1600);
    capture(0, true, {6000, 400});
    log.push_back({Kind::Saved, 0, 0, false, {}});

    ReplayedTake t = replayJournal(log, 6400, align);
    EXPECT_EQ(t.wave.pieces(), expected.pieces());
    EXPECT_EQ(t.wave.length(), expected.length());
    EXPECT_TRUE(t.savedUnchanged);
    EXPECT_FALSE(t.clipped);
    EXPECT_FALSE(t.unfinished);

    // Killed mid-capture: the whole frames that reached the file, and the end that closes it.
    log.push_back({Kind::RecordStart, 500, 0, true, {6400, 0}});
    t = replayJournal(log, 6400 + 1003, align);
    expected.insert(500, {6400, 1000});
    EXPECT_EQ(t.wave.pieces(), expected.pieces());
    EXPECT_FALSE(t.savedUnchanged);
    ASSERT_TRUE(t.unfinished);
    EXPECT_EQ(*t.unfinished, (JournalRecord{Kind::RecordEnd, 500, 0, true, {6400, 1000}}));

    // A sound file cut short: what is there, on whole frames, and nothing past its end.
    t = replayJournal(log, 4401, align);
    EXPECT_TRUE(t.clipped);
    for (const Piece& p : t.wave.pieces()) {
        EXPECT_LE(p.offset + p.length, 4401u);
        EXPECT_EQ(p.length % align, 0u);
    }
    EXPECT_LT(t.wave.length(), expected.length());
    EXPECT_EQ(replayJournal(log, 0, align).wave.length(), 0u);
}
