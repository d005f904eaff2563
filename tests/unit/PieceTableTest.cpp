#include "engine/take/PieceTable.h"

#include <gtest/gtest.h>

#include <random>

using wsx::mci::Piece;
using wsx::mci::PieceTable;

namespace {
// Expands the piece list to the spool offsets it stands for, byte by byte.
std::vector<uint64_t> expand(const std::vector<Piece>& pieces) {
    std::vector<uint64_t> out;
    for (const Piece& p : pieces)
        for (uint64_t i = 0; i < p.length; ++i) out.push_back(p.offset + i);
    return out;
}
}  // namespace

TEST(PieceTable, OverwriteReplacesAndExtends) {
    PieceTable w;
    w.insert(0, {0, 10});
    w.overwrite(4, {100, 3});  // inside
    EXPECT_EQ(expand(w.pieces()), (std::vector<uint64_t>{0, 1, 2, 3, 100, 101, 102, 7, 8, 9}));
    w.overwrite(8, {200, 4});  // runs past the end
    EXPECT_EQ(w.length(), 12u);
    EXPECT_EQ(expand(w.slice(7, 12)), (std::vector<uint64_t>{7, 200, 201, 202, 203}));
}

TEST(PieceTable, AdjacentSpoolStretchesMerge) {
    PieceTable w;
    w.insert(0, {0, 5});
    w.insert(5, {5, 5});
    EXPECT_EQ(w.pieces().size(), 1u);
    w.erase(3, 3);
    EXPECT_EQ(w.length(), 10u);
}

// The piece table must behave exactly like a plain array of bytes under any sequence of
// edits; the model stores, for every byte, the spool offset it came from.
TEST(PieceTable, MatchesPlainModelUnderRandomEdits) {
    std::mt19937_64 rng(20261207);
    for (int round = 0; round < 40; ++round) {
        PieceTable w;
        std::vector<uint64_t> model;
        uint64_t spoolEnd = 0;
        for (int op = 0; op < 300; ++op) {
            const uint64_t len = model.size();
            auto pick = [&](uint64_t hi) {
                return std::uniform_int_distribution<uint64_t>(0, hi)(rng);
            };
            const int kind = int(pick(3));
            if (kind <= 1) {
                const Piece p{spoolEnd, 1 + pick(40)};
                spoolEnd += p.length;
                const uint64_t at = pick(len);
                std::vector<uint64_t> bytes;
                for (uint64_t i = 0; i < p.length; ++i) bytes.push_back(p.offset + i);
                if (kind == 0) {
                    w.insert(at, p);
                    model.insert(model.begin() + std::ptrdiff_t(at), bytes.begin(), bytes.end());
                } else {
                    w.overwrite(at, p);
                    const uint64_t replaced = std::min<uint64_t>(p.length, len - at);
                    model.erase(model.begin() + std::ptrdiff_t(at),
                                model.begin() + std::ptrdiff_t(at + replaced));
                    model.insert(model.begin() + std::ptrdiff_t(at), bytes.begin(), bytes.end());
                }
            } else if (kind == 2) {
                const uint64_t a = pick(len), b = pick(len);
                w.erase(std::min(a, b), std::max(a, b));
                model.erase(model.begin() + std::ptrdiff_t(std::min(a, b)),
                            model.begin() + std::ptrdiff_t(std::max(a, b)));
            } else {
                const uint64_t a = pick(len), b = pick(len);
                const std::vector<uint64_t> want(model.begin() + std::ptrdiff_t(std::min(a, b)),
                                                 model.begin() + std::ptrdiff_t(std::max(a, b)));
                ASSERT_EQ(expand(w.slice(std::min(a, b), std::max(a, b))), want);
            }
            ASSERT_EQ(w.length(), model.size());
            ASSERT_EQ(expand(w.pieces()), model) << "round " << round << " op " << op;
        }
    }
}
