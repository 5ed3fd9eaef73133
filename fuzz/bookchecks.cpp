#include "fuzz/checks.h"

#include "core/book/book.h"
#include "core/book/bookreaders.h"

#include <QBuffer>

namespace fuzzchecks {

namespace {
QString sameBook(const book::Book &read, const book::Book &again)
{
    if (read.size() != again.size())
        return QStringLiteral("%1 sections read back as %2").arg(read.size()).arg(again.size());
    for (std::size_t chapter = 0; chapter < read.size(); ++chapter) {
        if (read[chapter].table != again[chapter].table
            || read[chapter].entries.size() != again[chapter].entries.size())
            return QStringLiteral("section %1 read back otherwise").arg(chapter);
        for (std::size_t entry = 0; entry < read[chapter].entries.size(); ++entry) {
            const book::Entry &a = read[chapter].entries[entry];
            const book::Entry &b = again[chapter].entries[entry];
            if (a.keyword != b.keyword || a.meaning != b.meaning)
                return QStringLiteral("entry %1 of section %2 read back otherwise").arg(entry).arg(chapter);
        }
    }
    return {};
}
} // namespace

QString bookFiles(QByteArrayView input)
{
    const QByteArray bytes = input.toByteArray();
    const int lines = int(bytes.count('\n') + bytes.count('\r')) + 1;
    for (const book::Format format : {book::Format::Csv, book::Format::Markdown}) {
        auto parse = [format](const QByteArray &text) {
            return format == book::Format::Csv ? book::parseCsv(text) : book::parseMarkdown(text);
        };
        const QString name = book::formatName(format);
        const book::Parsed parsed = parse(bytes);
        if (parsed.problem) {
            if (parsed.problem->line < 1 || parsed.problem->line > lines)
                return QStringLiteral("%1: refused at line %2 of %3").arg(name).arg(parsed.problem->line).arg(lines);
            continue;
        }
        QBuffer written;
        written.open(QIODevice::WriteOnly);
        if (!book::writeText(written, format, parsed.book, QString(), {}))
            return name + QStringLiteral(": could not be written");
        const book::Parsed again = parse(written.data());
        if (again.problem)
            return QStringLiteral("%1: written book refused at line %2: %3")
                .arg(name)
                .arg(again.problem->line)
                .arg(again.problem->reason);
        if (const QString differs = sameBook(parsed.book, again.book); !differs.isEmpty())
            return name + QStringLiteral(": ") + differs;
    }
    return {};
}

} // namespace fuzzchecks
