#include "core/find/find.h"

#include "core/secrets.h"

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <bit>
#include <memory>
#include <mutex>
#include <unordered_map>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace finder {

namespace {

// Enough of a meaning to tell entries with the same keyword apart in a list of results.
constexpr int kMeaningStartLength = 48;
// More than a line of the results can show.
constexpr int kKeywordShownLength = 200;

// Characters below this (Latin, Greek, Cyrillic, Hebrew, Arabic and more) are folded once and
// then looked up; all others go through a map.
constexpr char16_t kTabled = 0x3000;

std::string foldedByUnicode(QStringView character)
{
    const QString decomposed = character.toString().normalized(QString::NormalizationForm_KD);
    QString kept;
    for (QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            kept += c.isSpace() ? QChar(u' ') : c;
    return kept.toCaseFolded().toStdString();
}

// Decomposing is slow; a diary uses few distinct characters, each folded once per run, by
// whichever thread meets it first: the index is read off the window's thread while the window
// folds what is typed. A character folded already costs no lock.
const std::string &foldedCharacter(char16_t c)
{
    static std::vector<std::string> tabled(kTabled);
    static const std::unique_ptr<std::atomic<bool>[]> known(new std::atomic<bool>[kTabled]());
    static std::unordered_map<char16_t, std::string> others;
    static std::mutex folding;
    if (c < kTabled) {
        if (!known[c].load(std::memory_order_acquire)) {
            const std::lock_guard lock(folding);
            if (!known[c].load(std::memory_order_relaxed)) {
                tabled[c] = foldedByUnicode(QStringView(&c, 1));
                known[c].store(true, std::memory_order_release);
            }
        }
        return tabled[c];
    }
    // A map's elements stay where they are as it grows.
    const std::lock_guard lock(folding);
    auto found = others.find(c);
    if (found == others.end())
        found = others.emplace(c, foldedByUnicode(QStringView(&c, 1))).first;
    return found->second;
}

// A cut meaning ends in an ellipsis, so that a shortened word is not taken for the whole.
QString oneLine(QStringView text)
{
    const QString line = text.left(kMeaningStartLength * 2).toString().simplified();
    if (line.size() <= kMeaningStartLength && text.size() <= kMeaningStartLength * 2)
        return line;
    return line.left(kMeaningStartLength - 1) + QChar(u'\u2026');
}

// Calls `each` with every word of folded text.
template <class F>
void forEachWord(std::string_view folded, F &&each)
{
    std::size_t start = 0;
    while (start < folded.size()) {
        std::size_t end = folded.find(' ', start);
        if (end == std::string_view::npos)
            end = folded.size();
        if (end > start)
            each(folded.substr(start, end - start));
        start = end + 1;
    }
}

// The words of wordsToLookUp, one at a time: whether a word is a part of one before costs a scan
// of those, and a search of a long paste most often ends after its first few words.
class TypedWords {
public:
    explicit TypedWords(QStringView typed)
    {
        foldInto(typed, m_folded);
        forEachWord(m_folded, [&](std::string_view word) { m_words.push_back(word); });
        std::sort(m_words.begin(), m_words.end(), [](std::string_view a, std::string_view b) {
            return a.size() != b.size() ? a.size() > b.size() : a < b;
        });
    }
    // False once no word is left.
    bool next(std::string_view &word)
    {
        // A pasted text repeats its words many times; each kept word is held once in `m_kept`,
        // so one scan tells whether a shorter word is a part of any of them. No word holds a
        // line break.
        for (; m_at < m_words.size(); ++m_at) {
            if (m_at > 0 && m_words[m_at] == m_words[m_at - 1])
                continue;
            if (m_kept.find(m_words[m_at]) != std::string::npos)
                continue;
            m_kept += m_words[m_at];
            m_kept += '\n';
            word = m_words[m_at++];
            return true;
        }
        return false;
    }

private:
    std::string m_folded;
    std::vector<std::string_view> m_words;
    std::size_t m_at = 0;
    std::string m_kept;
};

} // namespace

void foldInto(QStringView text, std::string &folded)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        // Plain ASCII runs, the most of most diaries, go straight through.
        const qsizetype from = i;
        while (i < text.size() && text[i].unicode() < 0x80)
            ++i;
        if (i > from) {
            const std::size_t at = folded.size();
            folded.resize(at + std::size_t(i - from));
            char *out = folded.data() + at;
            for (qsizetype j = from; j < i; ++j) {
                const char c = char(text[j].unicode());
                *out++ = c >= 'A' && c <= 'Z'                                       ? char(c + ('a' - 'A'))
                    : c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' ? ' '
                                                                                    : c;
            }
            if (i == text.size())
                break;
        }
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            folded += foldedByUnicode(text.mid(i, 2));
            ++i;
        } else {
            folded += foldedCharacter(c);
        }
    }
}

std::vector<std::string> wordsToLookUp(QStringView typed)
{
    std::vector<std::string> lookedUp;
    TypedWords words(typed);
    for (std::string_view word; words.next(word);)
        lookedUp.emplace_back(word);
    return lookedUp;
}

Hit hitOf(store::Table table, qint64 index, const store::Entry &entry)
{
    return Hit{table, index, entry.keyword.left(kKeywordShownLength).simplified(), oneLine(entry.meaning)};
}

void Index::add(qint64 row, const store::Entry &entry, std::string &folded)
{
    const auto number = size();
    m_indexes.push_back(row);
    folded.clear();
    foldInto(entry.keyword, folded);
    folded += ' ';
    foldInto(entry.meaning, folded);
    forEachWord(folded, [&](std::string_view word) { m_postings.add(m_words.numberOf(word), number); });
    const Hit shown = hitOf(store::Table::Spell, row, entry);
    m_shown.push_back(m_texts.add((shown.keyword + QLatin1Char('\n') + shown.meaningStart).toStdString()));
}

void Index::finish()
{
    m_words.finish();
    m_postings.finish(size());
    m_texts.finish();
    m_shown.shrink_to_fit();
    m_indexes.shrink_to_fit();
#ifdef __GLIBC__
    // Reading a large diary leaves much of the heap free but scattered; give it back.
    malloc_trim(0);
#endif
}

store::Result<Index> Index::build(const QString &path)
{
    Index index;
    index.m_path = path;
    // The version from before the reading: a diary changed meanwhile is read again next time.
    index.m_version = store::versionOf(path);
    std::string folded;
    for (store::Table table : store::kTables) {
        if (QFileInfo::exists(path)) {
            if (const auto failed = store::readEntries(
                    path, table, [&](qint64 row, const store::Entry &entry) { index.add(row, entry, folded); })) {
                secrets::wipe(folded);
                return *failed;
            }
        }
        index.m_sectionEnds.push_back(index.size());
    }
    secrets::wipe(folded);
    index.finish();
    return index;
}

store::Result<std::optional<Index>> Index::readSection(const QString &path, store::Table table,
                                                       const std::function<bool()> &goOn)
{
    Index index;
    index.m_path = path;
    index.m_version = store::versionOf(path);
    std::string folded;
    for (store::Table each : store::kTables) {
        if (each == table && QFileInfo::exists(path)) {
            const auto read = store::readEntriesUnasked(path, table, [&](qint64 row, const store::Entry &entry) {
                if (!goOn())
                    return false;
                index.add(row, entry, folded);
                return true;
            });
            secrets::wipe(folded);
            if (!read.ok())
                return read.failure();
            if (!*read)
                return std::optional<Index>();
        }
        index.m_sectionEnds.push_back(index.size());
    }
    index.finish();
    return std::optional<Index>(std::move(index));
}

bool Index::isCurrent() const
{
    return store::versionOf(m_path) == m_version;
}

std::vector<std::uint32_t> Index::search(QStringView typed) const
{
    std::vector<std::uint64_t> matching;
    bool anyWord = false;
    TypedWords typedWords(typed);
    for (std::string_view typedWord; typedWords.next(typedWord);) {
        // Only entries that every word before matched can still count: once all of them hold
        // this word, the words left to merge change nothing. A short common text such as "e"
        // gets there after the first few words.
        std::vector<std::uint64_t> wanted = anyWord ? matching : allEntries();
        std::vector<std::uint64_t> withWord(wanted.size());
        std::uint32_t mergedSinceCheck = 0;
        m_words.forEachHolding(typedWord, [&](std::uint32_t word) {
            if (const std::vector<std::uint64_t> *bits = m_postings.bits(word)) {
                for (std::size_t i = 0; i < withWord.size(); ++i)
                    withWord[i] |= (*bits)[i];
                mergedSinceCheck += size();
            } else {
                m_postings.forEach(
                    word, [&](std::uint32_t entry) { withWord[entry / 64] |= std::uint64_t(1) << (entry % 64); });
                mergedSinceCheck += m_postings.bytes(word);
            }
            if (mergedSinceCheck < size() / 8 + 64)
                return true;
            mergedSinceCheck = 0;
            for (std::size_t i = 0; i < wanted.size(); ++i)
                if ((wanted[i] & withWord[i]) != wanted[i])
                    return true;
            return false;
        });
        bool anyLeft = false;
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            wanted[i] &= withWord[i];
            anyLeft = anyLeft || wanted[i] != 0;
        }
        matching = std::move(wanted);
        anyWord = true;
        // The longest words come first and are the rarest: most texts that find nothing stop here
        // after a few words.
        if (!anyLeft)
            break;
    }
    std::vector<std::uint32_t> entries;
    for (std::size_t i = 0; i < matching.size(); ++i)
        for (std::uint64_t bits = matching[i]; bits; bits &= bits - 1)
            entries.push_back(std::uint32_t(i * 64 + std::size_t(std::countr_zero(bits))));
    return entries;
}

std::vector<std::uint64_t> Index::allEntries() const
{
    std::vector<std::uint64_t> all((size() + 63) / 64, ~std::uint64_t(0));
    if (size() % 64)
        all.back() = (std::uint64_t(1) << (size() % 64)) - 1;
    return all;
}

std::optional<std::uint32_t> Index::entryOf(store::Table table, qint64 index) const
{
    const auto section =
        std::size_t(std::find(store::kTables.begin(), store::kTables.end(), table) - store::kTables.begin());
    const auto from = m_indexes.begin() + (section == 0 ? 0 : m_sectionEnds[section - 1]);
    const auto to = m_indexes.begin() + m_sectionEnds[section];
    const auto found = std::lower_bound(from, to, index);
    if (found == to || *found != index)
        return std::nullopt;
    return std::uint32_t(found - m_indexes.begin());
}

Hit Index::hit(std::uint32_t entry) const
{
    std::size_t section = 0;
    while (entry >= m_sectionEnds[section])
        ++section;
    const std::string_view shown = m_texts.at(m_shown[entry]);
    const std::size_t lineBreak = shown.find('\n');
    return Hit{store::kTables[section], m_indexes[entry], QString::fromUtf8(shown.substr(0, lineBreak)),
               QString::fromUtf8(shown.substr(lineBreak + 1))};
}

} // namespace finder
