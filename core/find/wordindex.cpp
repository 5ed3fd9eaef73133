#include "core/find/wordindex.h"

#include "core/secrets.h"

#include <functional>

namespace finder::parts {

namespace {
// Into the least room it fits in, the room it had zeroed.
void fitTightly(std::string &text)
{
    std::string fitted;
    fitted.reserve(text.size());
    fitted = text;
    secrets::wipe(text);
    text = std::move(fitted);
}
} // namespace

Words::Words() : m_slots(1024)
{
}

Words::~Words()
{
    secrets::wipe(m_text);
}

bool Words::holds(const Slot &slot, std::string_view word) const
{
    return slot.start + word.size() < m_text.size() && m_text[slot.start + word.size()] == '\n'
        && std::string_view(m_text).substr(slot.start, word.size()) == word;
}

std::uint32_t Words::numberOf(std::string_view text)
{
    const std::uint64_t hash = std::hash<std::string_view>{}(text);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot &slot = m_slots[i];
        if (slot.number == kEmpty) {
            slot = {hash, count(), std::uint32_t(m_text.size())};
            m_starts.push_back(slot.start);
            m_text += text;
            m_text += '\n';
            if (count() * 2 > m_slots.size())
                grow();
            return count() - 1;
        }
        if (slot.hash == hash && holds(slot, text))
            return slot.number;
    }
}

void Words::finish()
{
    // Not `= {}`, which empties a vector but keeps its room.
    std::vector<Slot>().swap(m_slots);
    fitTightly(m_text);
    m_starts.shrink_to_fit();
}

void Words::grow()
{
    std::vector<Slot> slots(m_slots.size() * 2);
    const std::size_t mask = slots.size() - 1;
    for (const Slot &slot : m_slots) {
        if (slot.number == kEmpty)
            continue;
        std::size_t i = slot.hash & mask;
        while (slots[i].number != kEmpty)
            i = (i + 1) & mask;
        slots[i] = slot;
    }
    m_slots.swap(slots);
}

std::uint32_t Postings::newBlock(std::uint32_t capacity)
{
    constexpr std::uint32_t chunkBytes = 1u << kChunkBits;
    if (m_chunks.empty() || m_chunkUsed + kHeader + capacity > chunkBytes) {
        m_chunks.emplace_back(chunkBytes);
        m_chunkUsed = 0;
    }
    const auto place = std::uint32_t((m_chunks.size() - 1) << kChunkBits) + m_chunkUsed;
    m_chunkUsed += kHeader + capacity;
    std::uint8_t *block = at(place);
    block[4] = std::uint8_t(capacity & 0xff);
    block[5] = std::uint8_t(capacity >> 8);
    return place;
}

std::uint32_t Postings::nextOf(const std::uint8_t *block)
{
    return std::uint32_t(block[0]) | std::uint32_t(block[1]) << 8 | std::uint32_t(block[2]) << 16
        | std::uint32_t(block[3]) << 24;
}

std::uint16_t Postings::capacityOf(const std::uint8_t *block)
{
    return std::uint16_t(block[4] | block[5] << 8);
}

void Postings::put(Chain &chain, std::uint8_t byte)
{
    std::uint8_t *tail = at(chain.tail);
    if (chain.used == capacityOf(tail)) {
        const std::uint32_t next = newBlock(std::min<std::uint32_t>(capacityOf(tail) * 3 / 2, kLargestCapacity));
        for (int i = 0; i < 4; ++i)
            tail[i] = std::uint8_t(next >> (8 * i));
        chain.tail = next;
        chain.used = 0;
        tail = at(next);
    }
    tail[kHeader + chain.used++] = byte;
}

void Postings::add(std::uint32_t word, std::uint32_t entry)
{
    if (word >= m_chains.size())
        m_chains.resize(word + 1);
    Chain &chain = m_chains[word];
    if (chain.any && chain.last == entry)
        return;
    if (!chain.any)
        chain.head = chain.tail = newBlock(kFirstCapacity);
    std::uint32_t delta = chain.any ? entry - chain.last : entry;
    do {
        const std::uint8_t low = delta & 0x7f;
        delta >>= 7;
        put(chain, delta ? std::uint8_t(low | 0x80) : low);
    } while (delta);
    chain.last = entry;
    chain.any = true;
    ++chain.count;
}

template <class F>
void Postings::forEachBlock(const Chain &chain, F &&each) const
{
    if (!chain.any)
        return;
    for (std::uint32_t place = chain.head;;) {
        const std::uint8_t *block = at(place);
        each(block + kHeader, place == chain.tail ? chain.used : capacityOf(block));
        if (place == chain.tail)
            return;
        place = nextOf(block);
    }
}

void Postings::finish(std::uint32_t entries)
{
    std::size_t packed = 0;
    for (const Chain &chain : m_chains)
        forEachBlock(chain, [&](const std::uint8_t *, std::uint32_t size) { packed += size; });
    m_packed.reserve(packed);
    m_starts.reserve(m_chains.size() + 1);
    for (const Chain &chain : m_chains) {
        m_starts.push_back(std::uint32_t(m_packed.size()));
        forEachBlock(chain, [&](const std::uint8_t *bytes, std::uint32_t size) {
            m_packed.insert(m_packed.end(), bytes, bytes + size);
        });
    }
    m_starts.push_back(std::uint32_t(m_packed.size()));
    for (std::uint32_t word = 0; word < m_chains.size(); ++word) {
        if (m_chains[word].count < std::max<std::uint32_t>(64, entries / 8))
            continue;
        std::vector<std::uint64_t> bits((entries + 63) / 64);
        forEach(word, [&](std::uint32_t entry) { bits[entry / 64] |= std::uint64_t(1) << (entry % 64); });
        m_bitWords.push_back(word);
        m_bits.push_back(std::move(bits));
    }
    std::vector<Chain>().swap(m_chains);
    std::vector<std::vector<std::uint8_t>>().swap(m_chunks);
}

const std::vector<std::uint64_t> *Postings::bits(std::uint32_t word) const
{
    const auto found = std::lower_bound(m_bitWords.begin(), m_bitWords.end(), word);
    if (found == m_bitWords.end() || *found != word)
        return nullptr;
    return &m_bits[std::size_t(found - m_bitWords.begin())];
}

Texts::~Texts()
{
    for (std::string &chunk : m_chunks)
        secrets::wipe(chunk);
}

std::uint32_t Texts::add(std::string_view text)
{
    text = text.substr(0, 0xffff);
    if (m_chunks.empty() || m_chunks.back().size() + 2 + text.size() > kChunkBytes) {
        m_chunks.emplace_back();
        m_chunks.back().reserve(kChunkBytes);
    }
    std::string &chunk = m_chunks.back();
    const auto place = std::uint32_t((m_chunks.size() - 1) * kChunkBytes + chunk.size());
    chunk += char(text.size() & 0xff);
    chunk += char(text.size() >> 8);
    chunk += text;
    return place;
}

void Texts::finish()
{
    if (!m_chunks.empty())
        fitTightly(m_chunks.back());
    m_chunks.shrink_to_fit();
}

std::string_view Texts::at(std::uint32_t place) const
{
    const std::string &chunk = m_chunks[place / kChunkBytes];
    const std::uint32_t offset = place % kChunkBytes;
    const std::size_t size = std::uint8_t(chunk[offset]) | std::size_t(std::uint8_t(chunk[offset + 1])) << 8;
    return std::string_view(chunk).substr(offset + 2, size);
}

} // namespace finder::parts
