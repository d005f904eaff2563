// Power cuts at random moments of random scripts of recording, inserting, deleting, saving
// and compacting, on a disk that keeps only what was synced (PowerCutDisk). After every cut
// the take must open (salvaged if need be), hold at least what its durable journal records
// hold, and no durable journal record may name sound that was not durable itself.
// WSX_POWERCUT_SEED=N repeats a run; the seed is printed.
#include "PowerCutDisk.h"
#include "engine/interpreter/MciEngine.h"
#include "engine/take/Take.h"
#include "engine/take/TakeStore.h"
#include "support/EngineFixture.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <unistd.h>

using namespace wsx::mci;
namespace fs = std::filesystem;
using wsx::test::PowerCutDisk;

namespace {

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// One random script on one engine, ended without "close" (the take stays), with a cut
// after some of its steps besides those the disk makes at syncs.
void runScript(const fs::path& root, std::mt19937& random, PowerCutDisk& disk) {
    wsx::audio::VirtualAudioBackend backend;
    EngineOptions options{root / "state", kMaxWavDataBytes};
    options.compactMinBytes = 0;  // compact as soon as half the sound file is garbage
    MciEngine engine(backend, options);
    auto send = [&](const std::string& c) { return engine.mciSendString(c, nullptr); };
    auto number = [&](const std::string& c) {
        std::string reply;
        return engine.mciSendString(c, &reply) == 0 ? std::stoull(reply) : 0ull;
    };
    auto pick = [&](uint64_t below) {
        return below == 0 ? 0 : std::uniform_int_distribution<uint64_t>(0, below - 1)(random);
    };
    send("open new type waveaudio alias A");
    send("set A time format ms samplespersec 8000 channels 1 bitspersample 16");
    const int steps = 6 + int(pick(10));
    for (int step = 0; step < steps; ++step) {
        const uint64_t length = number("status A length");
        std::string what;
        switch (length == 0 ? 0 : pick(4)) {
        case 0:
            what = pick(2) ? "insert" : "overwrite";
            backend.setSignal(wsx::test::constantSignal(int16_t(100 * (step + 1))));
            send("seek A to " + std::to_string(pick(length + 1)));
            send("record A " + what);
            backend.advance(100 + pick(1500));
            send("stop A");
            break;
        case 1: {
            const uint64_t from = pick(length);
            what = "delete";
            send("delete A from " + std::to_string(from) + " to " +
                 std::to_string(from + 1 + pick(length - from)));
            break;
        }
        case 2:
            what = "save";
            send("save A \"" + (root / "saves" / ("s" + std::to_string(step) + ".wav")).string() +
                 "\"");
            break;
        default:
            // Idle: a compaction under way gets its time and its switch.
            what = "idle";
            for (int i = 0; i < 10; ++i) {
                send("status A mode");
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
        if (pick(3) == 0) disk.cutNow("after step " + std::to_string(step) + " (" + what + ")");
    }
    disk.cutNow("at the end");
}

// What a cut left that it must not have; empty when the take came through.
std::vector<std::string> faultsOf(const PowerCutDisk::Cut& cut) {
    std::vector<std::string> faults;
    auto durableBytes = [&](const fs::path& file) {
        const auto it = cut.durableBytes.find(file);
        return it == cut.durableBytes.end() ? uint64_t(0) : it->second;
    };
    std::error_code ec;
    // Every script records first, and a recording's end is journalled durably: from the
    // first step's end on, the take is on disk.
    const bool recorded = cut.when.rfind("before", 0) != 0;
    if (recorded && (!fs::exists(cut.image / "state") || fs::is_empty(cut.image / "state")))
        faults.push_back("no take at all");
    for (const fs::directory_entry& e : fs::directory_iterator(cut.image / "state", ec)) {
        const fs::path take = e.path();
        std::string problem;
        const std::optional<TakeContents> contents = Take::read(take, problem);
        if (!contents) {
            faults.push_back("the take cannot be read: " + problem);
            continue;
        }
        const fs::path journal = Take::journalFile(take, contents->generation);
        const fs::path sound = Take::soundFile(take, contents->generation);
        const std::string all = readAll(journal);
        const auto bytesOf = [](const std::string& s, size_t n) {
            return std::span(reinterpret_cast<const uint8_t*>(s.data()), std::min(n, s.size()));
        };
        const JournalContents durable = readJournal(bytesOf(all, durableBytes(journal)));
        const uint64_t durableSound = durableBytes(sound);
        for (const JournalRecord& r : durable.records)
            if (r.kind == JournalRecord::Kind::RecordEnd &&
                r.piece.offset + r.piece.length > durableSound)
                faults.push_back("a durable record names sound up to byte " +
                                 std::to_string(r.piece.offset + r.piece.length) + " of " +
                                 std::to_string(durableSound) + " durable");
        // The take is rebuilt from its intact records: the durable ones must all be among
        // them, and the sound they name all in the file.
        const JournalContents intact = readJournal(bytesOf(all, all.size()));
        if (intact.records.size() < durable.records.size() ||
            !std::equal(durable.records.begin(), durable.records.end(), intact.records.begin()))
            faults.push_back("durable edits are lost");
        const uint32_t align = contents->format.format.blockAlign();
        if (replayJournal(durable.records, contents->soundBytes, align).clipped)
            faults.push_back("durable edits name sound the file does not hold");
        if (!TakeStore::inspect(take).readable) faults.push_back("not offered");
        ReplayedTake replayed;
        TakeError error = TakeError::None;
        if (!Take::adopt(take, replayed, error)) faults.push_back("does not open");
    }
    return faults;
}

}  // namespace

TEST(PowerCuts, EveryCutTakeOpensAndKeepsWhatWasDurable) {
    const char* given = std::getenv("WSX_POWERCUT_SEED");
    const uint32_t seed = given ? uint32_t(std::stoul(given)) : std::random_device{}();
    std::cout << "power-cut seed " << seed << "\n";
    // The disk model decides what lasts, so the files may as well be in memory: thousands of
    // small files on a busy disk would take the test from seconds to tens of them.
    std::error_code shm;
    if (fs::is_directory("/dev/shm", shm) && ::access("/dev/shm", W_OK) == 0)
        ::setenv("TMPDIR", "/dev/shm", 1);
    std::mt19937 random(seed);
    PowerCutDisk& disk = PowerCutDisk::instance();
    size_t scripts = 0, cuts = 0, takes = 0, compacted = 0, salvaged = 0;
    std::map<std::string, size_t> found, moments;
    while (cuts < 240) {
        wsx::test::TempDir tmp;
        const fs::path root = tmp.path() / "disk";
        fs::create_directories(root / "saves");
        disk.arm(root, tmp.path() / "images", 0.2, random());
        runScript(root, random, disk);
        for (const PowerCutDisk::Cut& cut : disk.disarm()) {
            ++cuts;
            // The moment: after a step, or before a sync of which file.
            std::string moment = cut.when.substr(0, cut.when.find_first_of("0123456789"));
            if (const size_t of = cut.when.find(" of "); of != std::string::npos) {
                const std::string name = fs::path(cut.when.substr(of + 4)).filename().string();
                moment += name.rfind(".wsx-", 0) == 0   ? "an atomic write's temporary"
                          : name.rfind("take-", 0) == 0 ? "a take folder"
                                                        : name;
            }
            ++moments[moment];
            std::error_code ec;
            for (const fs::directory_entry& e : fs::directory_iterator(cut.image / "state", ec)) {
                ++takes;
                compacted += Take::readGeneration(e.path()).value_or(0) > 0;
                salvaged += TakeStore::inspect(e.path()).editsLost;
            }
            for (const std::string& fault : faultsOf(cut)) {
                ++found[fault.substr(0, fault.find_first_of("0123456789:"))];
                ADD_FAILURE() << "script " << scripts << ", cut " << cut.when << ": " << fault;
            }
        }
        ++scripts;
    }
    std::cout << scripts << " scripts, " << cuts << " cuts, " << takes << " takes on disk after them ("
              << compacted << " compacted, " << salvaged << " with their last edits torn)\n";
    for (const auto& [moment, times] : moments) std::cout << "  " << times << "× " << moment << "\n";
    for (const auto& [fault, times] : found) std::cout << "  " << times << "× " << fault << "\n";
}
