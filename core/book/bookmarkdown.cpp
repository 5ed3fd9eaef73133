#include "core/book/bookreaders.h"

#include <cmark.h>

#include <QStringDecoder>

#include <memory>

namespace book {

namespace {
const QString kForeign = QStringLiteral("is not part of a book as Brimvale exports it");

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
QString headingText(cmark_node *heading)
{
    QByteArray text;
    for (cmark_node *child = cmark_node_first_child(heading); child; child = cmark_node_next(child)) {
        if (cmark_node_first_child(child)) {
            text += headingText(child).toUtf8();
            continue;
        }
        const cmark_node_type type = cmark_node_get_type(child);
        if (type == CMARK_NODE_SOFTBREAK || type == CMARK_NODE_LINEBREAK)
            text += '\n';
        else if (const char *literal = cmark_node_get_literal(child))
            text += literal;
    }
    return QString::fromUtf8(text);
}

class MarkdownReader {
public:
    explicit MarkdownReader(QByteArrayView text) : m_text(text), m_starts(lineStarts(text)) { }
    Parsed parse();

private:
    // A line's bytes with its line end.
    QByteArrayView line(int number) const
    {
        const auto index = std::size_t(number - 1);
        return m_text.sliced(m_starts[index], m_starts[index + 1] - m_starts[index]);
    }
    std::optional<QString> meaningOf(cmark_node *block) const;

    QByteArrayView m_text;
    std::vector<qsizetype> m_starts;
};

// The bytes between the fences as they stand in the file, less the line end that the export
// put before the closing fence: CommonMark readers turn every line end into LF, and meanings
// written on Windows hold CR LF.
std::optional<QString> MarkdownReader::meaningOf(cmark_node *block) const
{
    // The export's fences are backticks alone on their lines.
    auto fenceLength = [](QByteArrayView text) {
        const QByteArray fence = text.toByteArray().trimmed();
        return fence.size() >= 3 && fence.count('`') == fence.size() ? fence.size() : 0;
    };
    const int first = cmark_node_get_start_line(block);
    const int last = cmark_node_get_end_line(block);
    const qsizetype opening = fenceLength(line(first));
    if (last <= first || opening == 0 || fenceLength(line(last)) < opening)
        return std::nullopt;
    const qsizetype from = m_starts[std::size_t(first)];
    QByteArrayView meaning = m_text.sliced(from, m_starts[std::size_t(last - 1)] - from);
    const QByteArrayView lineEnd = line(first).endsWith("\r\n") ? QByteArrayView("\r\n") : QByteArrayView("\n");
    if (meaning.endsWith(lineEnd))
        meaning.chop(lineEnd.size());
    return QString::fromUtf8(meaning);
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
    bool titled = false;
    // The title alone is the book of a diary without entries.
    bool emptyBook = false;
    for (cmark_node *node = cmark_node_first_child(document.get()); node; node = cmark_node_next(node)) {
        const int at = cmark_node_get_start_line(node);
        const bool heading = cmark_node_get_type(node) == CMARK_NODE_HEADING;
        const int level = heading ? cmark_node_get_heading_level(node) : 0;
        if (level == 1 && !titled && !table) {
            titled = true;
            emptyBook = headingText(node) == kTitle;
        } else if (level == 2) {
            const QString name = headingText(node);
            table = BookBuilder::sectionNamed(name);
            if (!table)
                return {{}, Problem{at, QStringLiteral("names an unknown section, \u201c%1\u201d").arg(name)}};
        } else if (level == 3 && table) {
            cmark_node *block = cmark_node_next(node);
            const auto meaning =
                block && cmark_node_get_type(block) == CMARK_NODE_CODE_BLOCK ? meaningOf(block) : std::nullopt;
            if (!meaning)
                return {{}, Problem{at, QStringLiteral("has a keyword without its meaning in a closed code block")}};
            if (auto refused = builder.add(*table, {headingText(node), *meaning}))
                return {{}, Problem{at, *refused}};
            node = block;
        } else {
            return {{}, Problem{at, kForeign}};
        }
    }
    if (!table && !emptyBook)
        return {{}, Problem{1, kForeign}};
    return {builder.take(), std::nullopt};
}
} // namespace

Parsed parseMarkdown(const QByteArray &bytes)
{
    QByteArrayView text(bytes);
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    return MarkdownReader(text).parse();
}

} // namespace book
