#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace wsx::mci {

// A stretch of sound stored in the spool file: `length` bytes from byte `offset`.
struct Piece {
    uint64_t offset = 0;
    uint64_t length = 0;
    bool operator==(const Piece&) const = default;
};

// The sound of one element as a piece table over the append-only spool: edits touch only
// this list, never the sound bytes, so cutting a nine-hour take costs as much as cutting a
// second. Positions and lengths are in bytes; callers keep them on whole frames.
// Thread safety: owned by the engine (UI) thread; sessions get copies of slices.
class PieceTable {
public:
    uint64_t length() const { return m_length; }
    const std::vector<Piece>& pieces() const { return m_pieces; }

    // Puts `piece` at byte `at` (0..length), pushing what follows back.
    void insert(uint64_t at, Piece piece);
    // Removes bytes [from, to); from <= to <= length.
    void erase(uint64_t from, uint64_t to);
    // Replaces the bytes from `at` on with `piece`, as far as it reaches, and extends the
    // length when it runs past the end.
    void overwrite(uint64_t at, Piece piece);
    // The pieces that make up bytes [from, to).
    std::vector<Piece> slice(uint64_t from, uint64_t to) const;

private:
    // Splits the piece containing `at` so that a piece boundary lies there; returns the
    // index of the first piece at or after `at`.
    size_t splitAt(uint64_t at);
    void mergeNeighbours();

    std::vector<Piece> m_pieces;
    uint64_t m_length = 0;
};

}  // namespace wsx::mci
