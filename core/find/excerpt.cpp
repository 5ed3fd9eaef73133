#include "core/find/excerpt.h"

#include "core/find/find.h"
#include "core/secrets.h"

#include <QChar>

#include <algorithm>
#include <string_view>

namespace finder {

namespace {

// About what a line of results has room for beside a keyword.
constexpr qsizetype kExcerptLength = 64;
// Of that, how much comes before the first word found.
constexpr qsizetype kLead = 16;

bool isPair(QStringView text, qsizetype at)
{
    return at + 1 < text.size() && text[at].isHighSurrogate() && text[at + 1].isLowSurrogate();
}

// Whether a text may be cut, or a part of it marked, before this place: not inside a character
// of two units, nor between a character and the marks or the joined characters that go with it.
bool mayCutAt(QStringView text, qsizetype at)
{
    if (at <= 0 || at >= text.size())
        return true;
    if (isPair(text, at - 1) || text[at - 1].unicode() == 0x200d || text[at].unicode() == 0x200d)
        return false;
    const char32_t c = isPair(text, at) ? QChar::surrogateToUcs4(text[at], text[at + 1]) : text[at].unicode();
    const QChar::Category category = QChar::category(c);
    return category != QChar::Mark_NonSpacing && category != QChar::Mark_SpacingCombining
        && category != QChar::Mark_Enclosing;
}

// A text folded as a search folds it, and where each of its characters begins in what it folded to.
class Folded {
public:
    explicit Folded(QStringView text) : m_text(text), m_places(std::size_t(text.size()) + 1)
    {
        for (qsizetype at = 0; at < text.size();) {
            const qsizetype length = isPair(text, at) ? 2 : 1;
            m_places[std::size_t(at)] = m_places[std::size_t(at + length - 1)] = m_folded.size();
            // The search folds each character alone, so its folding of one is the same here.
            foldInto(text.mid(at, length), m_folded);
            at += length;
        }
        m_places.back() = m_folded.size();
    }
    Folded(const Folded &) = delete;
    Folded &operator=(const Folded &) = delete;
    ~Folded() { secrets::wipe(m_folded); }

    std::string_view text() const { return m_folded; }
    std::size_t place(qsizetype at) const { return m_places[std::size_t(at)]; }
    // The character that folded to this byte: the last that begins there or before, as the marks
    // before it folded to nothing.
    qsizetype characterAt(std::size_t byte) const
    {
        auto at = qsizetype(std::upper_bound(m_places.begin(), m_places.end(), byte) - m_places.begin()) - 1;
        // The second unit of a pair has the place of the first.
        if (at > 0 && isPair(m_text, at - 1))
            --at;
        return std::clamp<qsizetype>(at, 0, m_text.size());
    }
    // The first character that folded to this byte or after it: where a part ends that ends there.
    qsizetype characterFrom(std::size_t byte) const
    {
        return qsizetype(std::lower_bound(m_places.begin(), m_places.end(), byte) - m_places.begin());
    }

private:
    QStringView m_text;
    std::string m_folded;
    std::vector<std::size_t> m_places;
};

// Where the first of the words occurs, and where it ends, in bytes of the folded text.
std::optional<std::pair<std::size_t, std::size_t>> firstFound(std::string_view folded,
                                                              const std::vector<std::string> &words)
{
    std::optional<std::pair<std::size_t, std::size_t>> first;
    for (const std::string &word : words) {
        if (word.empty())
            continue;
        // Only a place before the one found already counts: a long paste has many words.
        const std::string_view within = first ? folded.substr(0, first->first + word.size() - 1) : folded;
        if (const std::size_t at = within.find(word); at != std::string_view::npos)
            first = std::pair(at, at + word.size());
    }
    return first;
}

// The start of a word at or after `from`, up to `limit`; else the nearest place before it that
// cuts no character.
qsizetype wordStart(QStringView text, qsizetype from, qsizetype limit)
{
    for (qsizetype at = from; at <= limit; ++at)
        if (text[at - 1].isSpace() && !text[at].isSpace() && mayCutAt(text, at))
            return at;
    while (!mayCutAt(text, from))
        --from;
    return from;
}

// The end of a word at or before `to`, down to `atLeast`; else the nearest place that cuts no
// character, after `from`.
qsizetype wordEnd(QStringView text, qsizetype to, qsizetype atLeast, qsizetype from)
{
    for (qsizetype at = to; at >= std::max(atLeast, from + 1); --at)
        if (text[at].isSpace() && !text[at - 1].isSpace() && mayCutAt(text, at))
            return at;
    qsizetype at = to;
    while (at > from + 1 && !mayCutAt(text, at))
        --at;
    while (!mayCutAt(text, at))
        ++at;
    return at;
}

// The characters from `from` to `to` on one line, with every place a word occurs in them marked.
Marked cut(QStringView text, const Folded &folded, qsizetype from, qsizetype to, const std::vector<std::string> &words)
{
    Marked shown;
    // Where each character went in the line.
    std::vector<int> placed(std::size_t(to - from) + 1);
    if (from > 0)
        shown.text += QChar(u'\u2026');
    const int start = int(shown.text.size());
    bool space = false;
    for (qsizetype at = from; at < to; ++at) {
        const QChar c = text[at];
        if (c.isSpace()) {
            space = space || shown.text.size() > start;
        } else if (std::exchange(space, false)) {
            shown.text += QChar(u' ');
        }
        placed[std::size_t(at - from)] = int(shown.text.size());
        if (!c.isSpace())
            shown.text += c;
    }
    placed.back() = int(shown.text.size());
    if (to < text.size())
        shown.text += QChar(u'\u2026');

    const std::size_t base = folded.place(from);
    const std::string_view span = folded.text().substr(base, folded.place(to) - base);
    for (const std::string &word : words) {
        if (word.empty())
            continue;
        for (std::size_t at = span.find(word); at != std::string_view::npos; at = span.find(word, at + 1)) {
            qsizetype first = std::max(from, folded.characterAt(base + at));
            qsizetype last = std::min(to, folded.characterFrom(base + at + word.size()));
            while (first > from && !mayCutAt(text, first))
                --first;
            while (last < to && !mayCutAt(text, last))
                ++last;
            const int markFrom = placed[std::size_t(first - from)];
            if (const int markTo = placed[std::size_t(last - from)]; markTo > markFrom)
                shown.marks.emplace_back(markFrom, markTo - markFrom);
        }
    }
    std::sort(shown.marks.begin(), shown.marks.end());
    std::vector<std::pair<int, int>> joined;
    for (const auto &[markFrom, length] : shown.marks) {
        if (!joined.empty() && markFrom <= joined.back().first + joined.back().second)
            joined.back().second = std::max(joined.back().second, markFrom + length - joined.back().first);
        else
            joined.emplace_back(markFrom, length);
    }
    shown.marks = std::move(joined);
    return shown;
}

} // namespace

Marked marked(QStringView text, const std::vector<std::string> &words)
{
    const Folded folded(text);
    return cut(text, folded, 0, text.size(), words);
}

std::optional<Marked> excerpt(QStringView meaning, const std::vector<std::string> &words)
{
    const Folded folded(meaning);
    const auto first = firstFound(folded.text(), words);
    if (!first)
        return std::nullopt;
    const qsizetype length = meaning.size();
    qsizetype from = 0;
    qsizetype to = length;
    if (length > kExcerptLength) {
        const qsizetype found = folded.characterAt(first->first);
        from = std::max<qsizetype>(0, std::min(found - kLead, length - kExcerptLength));
        to = std::min(length, from + kExcerptLength);
        from = from == 0 ? 0 : wordStart(meaning, from, found);
        to = to == length ? length : wordEnd(meaning, to, std::min(to, folded.characterFrom(first->second)), from);
    }
    return cut(meaning, folded, from, to, words);
}

} // namespace finder
