#include "core/book/bookreaders.h"

#include <cmark.h>

#include <QStringDecoder>

#include <algorithm>
#include <memory>

namespace book {

namespace {
struct NodeFree {
    void operator()(cmark_node *node) const { cmark_node_free(node); }
};

// Where each line starts, line ends as CommonMark counts them (LF, CR LF, CR); one more entry
// for the end of the text.
std::vector<qsizetype> lineStarts(QByteArrayView text)
{
    std::vector<qsizetype> starts{0};
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        if (text[i] == '\n' || text[i] == '\r')
            starts.push_back(i + 1);
    }
    if (starts.back() != text.size())
        starts.push_back(text.size());
    return starts;
}

// The first line that is not UTF-8; none when the whole text is.
std::optional<int> lineNotUtf8(QByteArrayView text, const std::vector<qsizetype> &starts)
{
    for (std::size_t line = 0; line + 1 < starts.size(); ++line) {
        QStringDecoder decoder(QStringDecoder::Utf8,
                               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        (void)decoder(text.sliced(starts[line], starts[line + 1] - starts[line])).operator QString();
        if (decoder.hasError())
            return int(line) + 1;
    }
    return std::nullopt;
}

// A heading's text as its inline content spells it (escapes and character references resolved).
// Walked with cmark's iterator, so that emphasis nested as deep as a file makes it needs no stack.
QString headingText(cmark_node *heading)
{
    QByteArray text;
    cmark_iter *iterator = cmark_iter_new(heading);
    for (cmark_event_type event; (event = cmark_iter_next(iterator)) != CMARK_EVENT_DONE;) {
        cmark_node *node = cmark_iter_get_node(iterator);
        if (event != CMARK_EVENT_ENTER || node == heading)
            continue;
        const cmark_node_type type = cmark_node_get_type(node);
        if (type == CMARK_NODE_SOFTBREAK || type == CMARK_NODE_LINEBREAK)
            text += '\n';
        else if (const char *literal = cmark_node_get_literal(node))
            text += literal;
    }
    cmark_iter_free(iterator);
    return QString::fromUtf8(text);
}

// What a Markdown book looks like, said with every refusal of its shape.
QString shapeExpected()
{
    QStringList names;
    for (const sections::Section &section : sections::kSections)
        names << section.name;
    return QStringLiteral(": a heading naming a section (%1) is expected, below it a heading for each keyword, and "
                          "after each keyword its meaning")
        .arg(names.join(QStringLiteral(", ")));
}

// A heading names a section as the section table has it, also in the plural or the singular:
// "Spells", "Recipe".
std::optional<Table> sectionOfHeading(const QString &text)
{
    if (const auto table = BookBuilder::sectionNamed(text))
        return table;
    const QString name = text.trimmed();
    for (const sections::Section &section : sections::kSections) {
        const QString other =
            section.name.endsWith(QLatin1Char('s')) ? section.name.chopped(1) : section.name + QLatin1Char('s');
        if (name.compare(other, Qt::CaseInsensitive) == 0)
            return section.table;
    }
    return std::nullopt;
}

bool blankLine(QByteArrayView line)
{
    return std::all_of(line.begin(), line.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
}

class MarkdownReader {
public:
    explicit MarkdownReader(QByteArrayView text) : m_text(text), m_starts(lineStarts(text)) { }
    Parsed parse();

private:
    // A meaning, or why there is none.
    struct Meaning {
        QString text;
        QString refusal;
    };
    int lineCount() const { return int(m_starts.size()) - 1; }
    // A line's bytes with its line end.
    QByteArrayView line(int number) const
    {
        const auto index = std::size_t(number - 1);
        return m_text.sliced(m_starts[index], m_starts[index + 1] - m_starts[index]);
    }
    // The lines from first to last as they stand in the file, less the last one's line end, or
    // less lineEnd where it ends so.
    QString linesOf(int first, int last, std::optional<QByteArrayView> lineEnd = std::nullopt) const;
    Meaning meaningOf(cmark_node *keyword, cmark_node *next) const;
    Meaning codeOf(cmark_node *block) const;

    QByteArrayView m_text;
    std::vector<qsizetype> m_starts;
};

QString MarkdownReader::linesOf(int first, int last, std::optional<QByteArrayView> lineEnd) const
{
    const qsizetype from = m_starts[std::size_t(first - 1)];
    QByteArrayView lines = m_text.sliced(from, m_starts[std::size_t(last)] - from);
    if (lineEnd) {
        if (lines.endsWith(*lineEnd))
            lines.chop(lineEnd->size());
    } else if (lines.endsWith("\r\n"))
        lines.chop(2);
    else if (lines.endsWith('\n') || lines.endsWith('\r'))
        lines.chop(1);
    return QString::fromUtf8(lines);
}

// A fenced block's bytes between its fences as they stand in the file: CommonMark readers turn
// every line end into LF, and meanings written on Windows hold CR LF. An indented block's text.
// The reason when the block has no closing fence.
MarkdownReader::Meaning MarkdownReader::codeOf(cmark_node *block) const
{
    const int first = cmark_node_get_start_line(block);
    const int last = cmark_node_get_end_line(block);
    const QByteArrayView start = line(first);
    // Four columns in, a line is indented code, whatever it starts with.
    qsizetype indent = 0;
    while (indent < start.size() && start[indent] == ' ')
        ++indent;
    const bool indented = indent >= 4 || (indent < start.size() && start[indent] == '\t');
    const QByteArray opening = start.toByteArray().trimmed();
    const char mark = opening.isEmpty() ? '\0' : opening.front();
    qsizetype length = 0;
    while (length < opening.size() && opening[length] == mark)
        ++length;
    if (indented || (mark != '`' && mark != '~') || length < 3) {
        QString text = QString::fromUtf8(cmark_node_get_literal(block));
        if (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        return {text, {}};
    }
    const QByteArray closing = line(last).toByteArray().trimmed();
    if (last <= first || closing.size() < length || closing.count(mark) != closing.size())
        return {{}, QStringLiteral("has a keyword without its meaning: its code block is never closed")};
    if (first + 1 > last - 1)
        return {};
    // A meaning may end in CR: only the line end the export put before the closing fence goes.
    const bool crlf = line(first).endsWith("\r\n");
    return {linesOf(first + 1, last - 1, crlf ? QByteArrayView("\r\n") : QByteArrayView("\n")), {}};
}

// The meaning of the keyword, up to the next heading (or the end): a code block's text, or else
// the lines as they stand, without the blank lines around them; the reason when there is none.
MarkdownReader::Meaning MarkdownReader::meaningOf(cmark_node *keyword, cmark_node *next) const
{
    cmark_node *block = cmark_node_next(keyword);
    if (block == next)
        return {{}, QStringLiteral("has a keyword without its meaning") + shapeExpected()};
    if (cmark_node_get_type(block) == CMARK_NODE_CODE_BLOCK && cmark_node_next(block) == next)
        return codeOf(block);
    int first = cmark_node_get_end_line(keyword) + 1;
    int last = next ? cmark_node_get_start_line(next) - 1 : lineCount();
    while (first < last && blankLine(line(first)))
        ++first;
    while (last > first && blankLine(line(last)))
        --last;
    return {linesOf(first, last), {}};
}

Parsed MarkdownReader::parse()
{
    if (const auto bad = lineNotUtf8(m_text, m_starts))
        return {{}, Problem{*bad, QStringLiteral("is not UTF-8 text")}};
    std::unique_ptr<cmark_node, NodeFree> document(
        cmark_parse_document(m_text.data(), std::size_t(m_text.size()), CMARK_OPT_DEFAULT));
    if (!document)
        return {{}, Problem{1, QStringLiteral("could not be read: out of memory")}};

    BookBuilder builder;
    std::optional<Table> table;
    int sectionLevel = 0;
    int keywordLevel = 0;
    // The keyword whose meaning is being read, up to the next heading.
    cmark_node *keyword = nullptr;
    // The title alone is the book of a diary without entries.
    bool emptyBook = false;
    auto take = [&](cmark_node *next) -> std::optional<Problem> {
        const int at = cmark_node_get_start_line(keyword);
        Meaning meaning = meaningOf(keyword, next);
        if (!meaning.refusal.isEmpty())
            return Problem{at, meaning.refusal};
        if (auto refused = builder.add(*table, {headingText(keyword), std::move(meaning.text)}))
            return Problem{at, *refused};
        return std::nullopt;
    };
    for (cmark_node *node = cmark_node_first_child(document.get()); node; node = cmark_node_next(node)) {
        if (cmark_node_get_type(node) != CMARK_NODE_HEADING) {
            // Words before the first section are the book's own, as its date line; words right
            // under a section's heading belong to no entry.
            if (table && !keyword)
                return {{},
                        Problem{cmark_node_get_start_line(node),
                                QStringLiteral("is not part of a book") + shapeExpected()}};
            continue;
        }
        if (keyword)
            if (auto problem = take(node))
                return {{}, *problem};
        keyword = nullptr;
        const int at = cmark_node_get_start_line(node);
        const int level = cmark_node_get_heading_level(node);
        const QString text = headingText(node);
        // Below its section's heading a heading is a keyword, even one that names a section.
        if (!table || level <= sectionLevel) {
            if (const auto named = sectionOfHeading(text)) {
                table = named;
                sectionLevel = level;
                keywordLevel = 0;
            } else if (!table && node == cmark_node_first_child(document.get())) {
                emptyBook = text == kTitle;
            } else {
                return {
                    {},
                    Problem{at,
                            QStringLiteral("names an unknown section, \u201c%1\u201d").arg(text) + shapeExpected()}};
            }
            continue;
        }
        if (keywordLevel == 0)
            keywordLevel = level;
        if (level != keywordLevel)
            return {{},
                    Problem{at,
                            QStringLiteral("is a heading that names no section and is not at its keywords' level")
                                + shapeExpected()}};
        keyword = node;
    }
    if (keyword)
        if (auto problem = take(nullptr))
            return {{}, *problem};
    if (!table && !emptyBook)
        return {{}, Problem{1, QStringLiteral("is not part of a book") + shapeExpected()}};
    return {builder.take(), std::nullopt};
}
} // namespace

bool readsBackPlain(const QString &meaning)
{
    // Between two keywords, as the export writes it: what would run on into the next entry shows.
    const QByteArray book =
        QByteArrayLiteral("## Spell\n\n### a\n\n") + meaning.toUtf8() + QByteArrayLiteral("\n\n### b\n\nb\n");
    const Parsed parsed = MarkdownReader(book).parse();
    return !parsed.problem && parsed.book.size() == 1 && parsed.book.front().entries.size() == 2
        && parsed.book.front().entries.front().meaning == meaning;
}

Parsed parseMarkdown(const QByteArray &bytes)
{
    QByteArrayView text(bytes);
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    return MarkdownReader(text).parse();
}

} // namespace book
