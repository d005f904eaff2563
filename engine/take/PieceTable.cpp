#include "PieceTable.h"

#include <algorithm>

namespace wsx::mci {

size_t PieceTable::splitAt(uint64_t at) {
    uint64_t start = 0;
    for (size_t i = 0; i < m_pieces.size(); ++i) {
        const Piece p = m_pieces[i];
        if (at == start) return i;
        if (at < start + p.length) {
            const uint64_t head = at - start;
            m_pieces[i].length = head;
            m_pieces.insert(m_pieces.begin() + std::ptrdiff_t(i) + 1,
                            Piece{p.offset + head, p.length - head});
            return i + 1;
        }
        start += p.length;
    }
    return m_pieces.size();
}

void PieceTable::mergeNeighbours() {
    std::vector<Piece> merged;
    merged.reserve(m_pieces.size());
    for (const Piece& p : m_pieces) {
        if (p.length == 0) continue;
        if (!merged.empty() && merged.back().offset + merged.back().length == p.offset)
            merged.back().length += p.length;
        else merged.push_back(p);
    }
    m_pieces.swap(merged);
}

void PieceTable::insert(uint64_t at, Piece piece) {
    if (piece.length == 0) return;
    at = std::min(at, m_length);
    const size_t index = splitAt(at);
    m_pieces.insert(m_pieces.begin() + std::ptrdiff_t(index), piece);
    m_length += piece.length;
    mergeNeighbours();
}

void PieceTable::erase(uint64_t from, uint64_t to) {
    to = std::min(to, m_length);
    if (from >= to) return;
    const size_t first = splitAt(from);
    const size_t last = splitAt(to);
    m_pieces.erase(m_pieces.begin() + std::ptrdiff_t(first),
                   m_pieces.begin() + std::ptrdiff_t(last));
    m_length -= to - from;
    mergeNeighbours();
}

void PieceTable::overwrite(uint64_t at, Piece piece) {
    at = std::min(at, m_length);
    erase(at, std::min(m_length, at + piece.length));
    insert(at, piece);
}

std::vector<Piece> PieceTable::slice(uint64_t from, uint64_t to) const {
    std::vector<Piece> out;
    to = std::min(to, m_length);
    uint64_t start = 0;
    for (const Piece& p : m_pieces) {
        const uint64_t end = start + p.length;
        if (end > from && start < to) {
            const uint64_t lo = std::max(from, start);
            const uint64_t hi = std::min(to, end);
            out.push_back(Piece{p.offset + (lo - start), hi - lo});
        }
        if (end >= to) break;
        start = end;
    }
    return out;
}

}  // namespace wsx::mci
