#include "core/book/bookimport.h"

#include "core/autolock.h"
#include "core/book/bookreaders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace book {

namespace {
QString nothingImported(const QString &why)
{
    return QStringLiteral("Nothing was imported.\n") + why;
}

store::Failure refused(const QString &message, store::FailureKind kind = store::FailureKind::Other)
{
    return {kind, message};
}
} // namespace

store::Result<Book> load(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool csv = suffix == u"csv";
    if (!csv && suffix != u"md" && suffix != u"markdown") {
        auto diary = read(path, {sections::kTables.begin(), sections::kTables.end()}, store::ReadFrom::OtherFile);
        if (!diary.ok())
            return refused(nothingImported(store::message(diary.failure())), diary.failure().kind);
        return diary;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(nothingImported(QStringLiteral("The file could not be read.\n%1\n%2")
                                           .arg(QDir::toNativeSeparators(path), file.errorString())));
    Parsed parsed = csv ? parseCsv(file.readAll()) : parseMarkdown(file.readAll());
    if (parsed.problem)
        return refused(problemMessage(path, *parsed.problem));
    return std::move(parsed.book);
}

store::Result<Preview> preview(const QString &diary, const Book &incoming)
{
    Preview preview;
    for (const Chapter &chapter : incoming) {
        auto present = store::readSection(diary, chapter.table);
        if (!present.ok())
            return present.failure();
        QSet<std::pair<QString, QString>> known;
        known.reserve(qsizetype(present->size()));
        for (const Entry &entry : *present)
            known.insert({entry.keyword, entry.meaning});
        Chapter additions{chapter.table, {}};
        for (const Entry &entry : chapter.entries) {
            if (BookBuilder::refusalOf(entry))
                ++preview.leftOut;
            else if (known.contains({entry.keyword, entry.meaning}))
                ++preview.skipped;
            else {
                // A file that lists the same entry twice adds it once.
                known.insert({entry.keyword, entry.meaning});
                additions.entries.push_back(entry);
            }
        }
        preview.added[std::size_t(chapter.table)] += qint64(additions.entries.size());
        if (!additions.entries.empty())
            preview.additions.push_back(std::move(additions));
    }
    return preview;
}

QString describe(const Preview &preview)
{
    QStringList lines;
    for (const sections::Section &section : sections::kSections) {
        const qint64 count = preview.added[std::size_t(section.table)];
        lines << QStringLiteral("%1: %2 %3 to add")
                     .arg(section.name)
                     .arg(count)
                     .arg(count == 1 ? QStringLiteral("entry") : QStringLiteral("entries"));
    }
    lines << QStringLiteral("Already in the diary, skipped: %1").arg(preview.skipped);
    if (preview.leftOut == 1)
        lines << QStringLiteral("1 entry without a keyword or meaning is left out");
    else if (preview.leftOut > 1)
        lines << QStringLiteral("%1 entries without a keyword or meaning are left out").arg(preview.leftOut);
    return lines.join(QLatin1Char('\n'));
}

Outcome import(const QString &diary, const Preview &preview, const Progress &progress)
{
    // The progress window lets events in between the rows it writes.
    const autolock::WriteUnderWay writing;
    const qint64 total = entryCount(preview.additions);
    const auto written =
        store::addEntries(diary, preview.additions, [&](qint64 done) { return !progress || progress(done, total); });
    if (!written.ok()) {
        // A message that names the import says already that nothing was imported.
        const QString said = store::message(written.failure());
        return {Outcome::Kind::Failed, store::namesTask(written.failure()) ? said : nothingImported(said)};
    }
    if (!*written)
        return {Outcome::Kind::Cancelled, {}};
    return {};
}

} // namespace book
