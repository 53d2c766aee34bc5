#pragma once
// The bytes of the last block reply. Entries are numbered 1 to 100, as the
// page tables and label lookups count them; -1 marks an entry that no reply
// filled or whose text was not a number.
#include <array>

class BlockBuffer {
public:
    static constexpr int First = 1;
    static constexpr int Last = 100;
    static constexpr int Empty = -1;
    // Triplet readers stop at entry 99: 33 whole fields.
    static constexpr int MaxFields = Last / 3;

    BlockBuffer() { Clear(); }

    // Every entry back to -1.
    void Clear() { m_entries.fill(Empty); }

    // entry 1 .. 100; anything else throws std::out_of_range.
    int operator[](int entry) const { return m_entries[index(entry)]; }
    int& operator[](int entry) { return m_entries[index(entry)]; }

    // Field k of a measuring block: entries 3k-2, 3k-1 and 3k.
    struct Field {
        int type;
        int a;
        int b;
    };
    // k 1 .. 33; anything else throws std::out_of_range.
    Field field(int k) const;

private:
    static int index(int entry);
    std::array<int, Last> m_entries;
};
