#include "core/book/book.h"

#include "core/book/bookfile.h"
#include "core/book/bookreaders.h"
#include "core/services.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QLocale>

#include <array>

namespace book {

namespace {
struct FormatInfo {
    Format format;
    const char *name;
    const char *filter;
};
constexpr std::array<FormatInfo, 5> kFormats{{
    {Format::Pdf, "pdf", "PDF document (*.pdf)"},
    {Format::Html, "html", "Web page (*.html *.htm)"},
    {Format::Markdown, "md", "Markdown (*.md *.markdown)"},
    {Format::Text, "txt", "Plain text (*.txt)"},
    {Format::Csv, "csv", "CSV table (*.csv)"},
}};

// How many entries go by between two words to the progress.
constexpr qint64 kProgressStep = 256;
// Bytes gathered before they go to the device.
constexpr qsizetype kChunk = 1 << 20;

// A field as RFC 4180 has it, quoted when it holds a separator, a quote or a line break; also
// when it starts or ends with a space, which some spreadsheets would otherwise trim.
QString csvField(const QString &field)
{
    const bool quoted = field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"'))
        || field.contains(QLatin1Char('\n')) || field.contains(QLatin1Char('\r')) || field.startsWith(QLatin1Char(' '))
        || field.endsWith(QLatin1Char(' '));
    if (!quoted)
        return field;
    QString copy = field;
    return QLatin1Char('"') + copy.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// A keyword as a heading's text that a CommonMark reader gives back exactly: punctuation
// escaped, control characters and outer spaces (which a heading would lose) as character
// references.
QString markdownHeading(const QString &keyword)
{
    QString out;
    out.reserve(keyword.size() + 8);
    for (qsizetype i = 0; i < keyword.size(); ++i) {
        const QChar c = keyword.at(i);
        const bool outer = i == 0 || i == keyword.size() - 1;
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || (outer && c.isSpace()))
            out += QStringLiteral("&#%1;").arg(c.unicode());
        else if (c.unicode() < 0x80 && (c.isPunct() || c.isSymbol()))
            out += QLatin1Char('\\') + c;
        else
            out += c;
    }
    return out;
}

// A code fence longer than any run of backticks in the meaning, so that no line of it ends
// the block.
QString fenceFor(const QString &meaning)
{
    qsizetype longest = 0;
    qsizetype run = 0;
    for (const QChar c : meaning) {
        run = c == QLatin1Char('`') ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return QString(std::max<qsizetype>(3, longest + 1), QLatin1Char('`'));
}

QString underlined(const QString &heading, QChar line)
{
    return heading + QLatin1Char('\n') + QString(std::max<qsizetype>(3, heading.size()), line) + QStringLiteral("\n\n");
}

QString anchorOf(Table table)
{
    return sections::tableName(table);
}

QString htmlStart(const Book &book, const QString &dated)
{
    QString html =
        QStringLiteral(
            "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>%1</title>\n<style>\n"
            "body { font-family: serif; max-width: 42em; margin: 2em auto; padding: 0 1em; }\n"
            "h1 { text-align: center; } .date { text-align: center; }\n"
            ".meaning { white-space: pre-wrap; margin: 0 0 1em 0; }\n"
            "</style>\n</head>\n<body>\n<h1>%1</h1>\n<p class=\"date\">%2</p>\n<nav>\n<h2>Contents</h2>\n<ul>\n")
            .arg(kTitle.toHtmlEscaped(), dated.toHtmlEscaped());
    for (const Chapter &chapter : book)
        html += QStringLiteral("<li><a href=\"#%1\">%2</a></li>\n")
                    .arg(anchorOf(chapter.table), sections::section(chapter.table).name.toHtmlEscaped());
    return html + QStringLiteral("</ul>\n</nav>\n");
}

// The text before a chapter's entries, the text of one entry, and the text after the last.
QString openingOf(Format format, const Book &book, const QString &dated)
{
    switch (format) {
    case Format::Html: return htmlStart(book, dated);
    case Format::Markdown: return QStringLiteral("# ") + kTitle + QStringLiteral("\n\n");
    case Format::Text: return underlined(kTitle, QLatin1Char('=')) + dated + QStringLiteral("\n\n");
    case Format::Csv: return QStringLiteral("section,keyword,meaning\r\n");
    case Format::Pdf: break;
    }
    return {};
}

QString chapterOf(Format format, Table table)
{
    const QString name = sections::section(table).name;
    switch (format) {
    case Format::Html: return QStringLiteral("<h2 id=\"%1\">%2</h2>\n").arg(anchorOf(table), name.toHtmlEscaped());
    case Format::Markdown: return QStringLiteral("## ") + name + QStringLiteral("\n\n");
    case Format::Text: return QLatin1Char('\n') + underlined(name, QLatin1Char('='));
    case Format::Csv:
    case Format::Pdf: break;
    }
    return {};
}

QString entryOf(Format format, Table table, const Entry &entry)
{
    switch (format) {
    case Format::Html:
        return QStringLiteral("<h3>%1</h3>\n<p class=\"meaning\">%2</p>\n")
            .arg(entry.keyword.toHtmlEscaped(), entry.meaning.toHtmlEscaped());
    case Format::Markdown: {
        const QString heading = QStringLiteral("### ") + markdownHeading(entry.keyword) + QStringLiteral("\n\n");
        // Plain words read best; a fence keeps whatever Markdown would change.
        if (readsBackPlain(entry.meaning))
            return heading + entry.meaning + QStringLiteral("\n\n");
        const QString fence = fenceFor(entry.meaning);
        return heading + fence + QLatin1Char('\n') + entry.meaning + QLatin1Char('\n') + fence + QStringLiteral("\n\n");
    }
    case Format::Text: return underlined(entry.keyword, QLatin1Char('-')) + entry.meaning + QStringLiteral("\n\n");
    case Format::Csv:
        return csvField(sections::section(table).name) + QLatin1Char(',') + csvField(entry.keyword) + QLatin1Char(',')
            + csvField(entry.meaning) + QStringLiteral("\r\n");
    case Format::Pdf: break;
    }
    return {};
}
} // namespace

QString formatName(Format format)
{
    for (const FormatInfo &info : kFormats)
        if (info.format == format)
            return QString::fromLatin1(info.name);
    return {};
}

std::optional<Format> formatNamed(const QString &name)
{
    for (const FormatInfo &info : kFormats)
        if (name.compare(QLatin1String(info.name), Qt::CaseInsensitive) == 0)
            return info.format;
    return std::nullopt;
}

std::optional<Format> formatOfFile(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"htm")
        return Format::Html;
    if (suffix == u"markdown")
        return Format::Markdown;
    if (suffix == u"text")
        return Format::Text;
    return suffix.isEmpty() ? std::nullopt : formatNamed(suffix);
}

QString filterOf(Format format)
{
    for (const FormatInfo &info : kFormats)
        if (info.format == format)
            return QString::fromLatin1(info.filter);
    return {};
}

qint64 entryCount(const Book &book)
{
    qint64 count = 0;
    for (const Chapter &chapter : book)
        count += qint64(chapter.entries.size());
    return count;
}

QString dateLine()
{
    return QLocale().toString(platform::clock().today(), QLocale::LongFormat);
}

store::Result<Book> read(const QString &diary, const std::vector<Table> &tables, store::ReadFrom from)
{
    Book book;
    for (Table table : sections::kTables) {
        if (std::find(tables.begin(), tables.end(), table) == tables.end())
            continue;
        auto entries = store::readSection(diary, table, from);
        if (!entries.ok())
            return entries.failure();
        // A book has no blank chapter and no contents line for a section without entries.
        if (!entries->empty())
            book.push_back({table, std::move(entries.value())});
    }
    return book;
}

bool writeText(QIODevice &device, Format format, const Book &book, const QString &dated, const Progress &progress)
{
    const qint64 total = entryCount(book);
    qint64 done = 0;
    QByteArray pending = openingOf(format, book, dated).toUtf8();
    auto flush = [&] {
        const bool written = device.write(pending) == pending.size();
        pending.clear();
        return written;
    };
    for (const Chapter &chapter : book) {
        pending += chapterOf(format, chapter.table).toUtf8();
        for (const Entry &entry : chapter.entries) {
            pending += entryOf(format, chapter.table, entry).toUtf8();
            if (pending.size() >= kChunk && !flush())
                return false;
            if (progress && ++done % kProgressStep == 0 && !progress(done, total))
                return false;
        }
    }
    if (format == Format::Html)
        pending += QStringLiteral("</body>\n</html>\n").toUtf8();
    return flush() && (!progress || progress(total, total));
}

QString exportFailure(const QString &path, const QString &reason)
{
    return QStringLiteral("The book could not be exported.\n%1\n%2").arg(QDir::toNativeSeparators(path), reason);
}

Outcome exportText(const QString &path, Format format, const Book &book, const QString &dated, const Progress &progress)
{
    BookFile file(path);
    if (const auto refused = file.start())
        return {Outcome::Kind::Failed, exportFailure(path, refused->detail)};
    bool stopped = false;
    const Progress watched = [&](qint64 done, qint64 total) {
        stopped = progress && !progress(done, total);
        return !stopped;
    };
    if (!writeText(file, format, book, dated, watched)) {
        file.cancel();
        if (stopped)
            return {Outcome::Kind::Cancelled, {}};
        return {Outcome::Kind::Failed, file.failure()};
    }
    if (const auto failed = file.commit())
        return {Outcome::Kind::Failed, exportFailure(path, failed->detail)};
    return {};
}

} // namespace book
