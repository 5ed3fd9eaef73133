#pragma once

// The parts of the find index. A diary of a hundred thousand long entries makes millions of
// words, so each part grows in fixed blocks and chunks that are never copied when they grow:
// memory rises with the diary and does not double on the way. The postings are copied once, at
// the end, into the least room they fit in.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace finder::parts {

// The distinct words, numbered in the order they first came.
class Words {
public:
    Words();
    // The words are the diary's: zeroed when they go.
    ~Words();
    Words(const Words &) = default;
    Words(Words &&) noexcept = default;
    Words &operator=(const Words &) = default;
    Words &operator=(Words &&) noexcept = default;
    // The word's number; a new word is added.
    std::uint32_t numberOf(std::string_view word);
    std::uint32_t count() const { return std::uint32_t(m_starts.size()); }
    // Once every word is in: the lookup table is needed no more.
    void finish();

    // Calls `each` with the number of every word in which `text` occurs, in one scan, while it
    // returns true.
    template <class F>
    void forEachHolding(std::string_view text, F &&each) const;

private:
    // The word's place in m_text too, so that a lookup touches no other table.
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t number = kEmpty;
        std::uint32_t start = 0;
    };
    static constexpr std::uint32_t kEmpty = 0xffffffff;
    bool holds(const Slot &slot, std::string_view word) const;
    void grow();

    // Every word followed by a line break, which no word holds.
    std::string m_text;
    std::vector<std::uint32_t> m_starts;
    // Open addressing; at most half full.
    std::vector<Slot> m_slots;
};

// For each word, the numbers of the entries that hold it, ascending.
class Postings {
public:
    // Nothing changes when the entry is the word's last one already.
    void add(std::uint32_t word, std::uint32_t entry);
    // Once every entry is in: each list is copied into one run of bytes, and a word held by at
    // least an eighth of the entries also gets a bit for each entry, which is smaller than its
    // list then and far quicker to merge.
    void finish(std::uint32_t entries);

    // Once finished: the size of the word's list in bytes, one to five for each entry that holds it.
    std::uint32_t bytes(std::uint32_t word) const
    {
        return word + 1 < m_starts.size() ? m_starts[word + 1] - m_starts[word] : 0;
    }
    // The word's bits, one for each entry; null when it has none.
    const std::vector<std::uint64_t> *bits(std::uint32_t word) const;
    // Once finished.
    template <class F>
    void forEach(std::uint32_t word, F &&each) const;

private:
    // Distances from the entry before, 7 bits a byte with the top bit for "more", running on
    // through a chain of blocks, each half as large again as the one before up to a limit: a long list
    // lies in few places, which a search reads far faster than many small ones.
    struct Chain {
        std::uint32_t head = 0;
        std::uint32_t tail = 0;
        std::uint32_t last = 0;
        std::uint32_t count = 0;
        std::uint16_t used = 0;
        bool any = false;
    };
    // A block: the place of the next one (4 bytes), its own capacity (2 bytes), then the bytes.
    static constexpr std::uint32_t kHeader = 6;
    static constexpr std::uint32_t kFirstCapacity = 6;
    static constexpr std::uint32_t kLargestCapacity = 2042;
    static constexpr std::uint32_t kChunkBits = 20;
    std::uint8_t *at(std::uint32_t place)
    {
        return m_chunks[place >> kChunkBits].data() + (place & ((1u << kChunkBits) - 1));
    }
    const std::uint8_t *at(std::uint32_t place) const
    {
        return m_chunks[place >> kChunkBits].data() + (place & ((1u << kChunkBits) - 1));
    }
    std::uint32_t newBlock(std::uint32_t capacity);
    static std::uint32_t nextOf(const std::uint8_t *block);
    static std::uint16_t capacityOf(const std::uint8_t *block);
    void put(Chain &chain, std::uint8_t byte);
    // Calls `each` with the bytes of every block of the chain, in order.
    template <class F>
    void forEachBlock(const Chain &chain, F &&each) const;

    // While entries come in; emptied by finish(), which keeps only where each list starts: a diary
    // holds many words, most of them rare, and a chain is five times the size of that.
    std::vector<Chain> m_chains;
    std::vector<std::vector<std::uint8_t>> m_chunks;
    std::uint32_t m_chunkUsed = 0;
    // Every list in one run: a search reads a list in one go, not from blocks spread over the
    // chunks, each of which would cost a miss of the cache. A word's list ends where the next
    // word's starts.
    std::vector<std::uint8_t> m_packed;
    std::vector<std::uint32_t> m_starts;
    // The words with bits, ascending, and their bits: few.
    std::vector<std::uint32_t> m_bitWords;
    std::vector<std::vector<std::uint64_t>> m_bits;
};

// Short texts kept for showing, in chunks of a megabyte.
class Texts {
public:
    Texts() = default;
    // Zeroed when they go, as the words are.
    ~Texts();
    Texts(const Texts &) = default;
    Texts(Texts &&) noexcept = default;
    Texts &operator=(const Texts &) = default;
    Texts &operator=(Texts &&) noexcept = default;

    // Where the text went; at most 64 KiB.
    std::uint32_t add(std::string_view text);
    std::string_view at(std::uint32_t place) const;
    // Once every text is in: the last chunk gives back the room it did not use.
    void finish();

private:
    static constexpr std::uint32_t kChunkBytes = 1u << 20;
    std::vector<std::string> m_chunks;
};

template <class F>
void Words::forEachHolding(std::string_view text, F &&each) const
{
    if (text.empty())
        return;
    const std::string_view all(m_text);
    for (std::size_t at = all.find(text); at != std::string_view::npos;) {
        const auto number =
            std::uint32_t(std::upper_bound(m_starts.begin(), m_starts.end(), std::uint32_t(at)) - m_starts.begin() - 1);
        if (!each(number))
            return;
        // On past this word's line break.
        at = all.find(text, all.find('\n', at) + 1);
    }
}

template <class F>
void Postings::forEach(std::uint32_t word, F &&each) const
{
    if (word + 1 >= m_starts.size())
        return;
    const std::uint8_t *byte = m_packed.data() + m_starts[word];
    const std::uint8_t *const end = m_packed.data() + m_starts[word + 1];
    std::uint32_t entry = 0;
    while (byte < end) {
        std::uint32_t delta = 0;
        int shift = 0;
        std::uint8_t part = 0;
        do {
            part = *byte++;
            delta |= std::uint32_t(part & 0x7f) << shift;
            shift += 7;
        } while (part & 0x80);
        entry += delta;
        each(entry);
    }
}

} // namespace finder::parts
