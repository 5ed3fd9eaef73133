// Exporting the diary as a book in the text formats: what each file holds, and that a stopped or
// failed export leaves no file behind.

#include "checks.h"
#include "diaryfiles.h"
#include "mounts.h"
#include "testmain.h"

#include "core/book/book.h"
#include "core/book/bookreaders.h"
#include "gui/book/bookpages.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using book::Format;
using store::Table;

using testing::bytesOf;

namespace {
book::Book smallBook()
{
    return {{Table::Spell,
             {{QStringLiteral("Rue"), QStringLiteral("plain")},
              {QStringLiteral("a,b"), QStringLiteral("say \"hi\"\r\nbye")}}},
            {Table::Rituals, {{QStringLiteral(" Moon"), QStringLiteral("full  ")}}}};
}
} // namespace

class ExportTest : public QObject {
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void pdfIsABookWithContentsAndPageNumbers();
    void csvIsATableForSpreadsheets();
    void htmlShowsMarkupAsText();
    void textFormatsKeepMeaningsVerbatim_data();
    void textFormatsKeepMeaningsVerbatim();
    void markdownFencesOnlyWhatWouldReadBackOtherwise_data();
    void markdownFencesOnlyWhatWouldReadBackOtherwise();
    void stoppedOrFailedExportLeavesNoFile_data();
    void stoppedOrFailedExportLeavesNoFile();
    void fullDiskSaysSoAndStopsTheWork_data();
    void fullDiskSaysSoAndStopsTheWork();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {
// The output of a poppler tool for the file; empty when the tool is missing.
QString popplerSays(const QString &tool, const QStringList &arguments)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return {};
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}
} // namespace

void ExportTest::pdfIsABookWithContentsAndPageNumbers()
{
    book::Book book{{Table::Spell, {}}, {Table::Rituals, {}}};
    QStringList keywords;
    for (int i = 0; i < 120; ++i) {
        const QString keyword = QStringLiteral("Keyword%1").arg(i, 3, 10, QLatin1Char('0'));
        keywords << keyword;
        book[i < 100 ? 0 : 1].entries.push_back({keyword, QStringLiteral("First line of %1\nsecond line").arg(i)});
    }
    book[1].entries.push_back({QStringLiteral("\u0391\u03b8\u03b7\u03bd\u03ac \u05e9\u05dc\u05d5\u05dd"),
                               QStringLiteral("\U0001F702 \U000E0001 \uFFFF no font has these")});
    const QString file = m_dir->filePath(QStringLiteral("Book of Shadows.pdf"));
    QVERIFY(bookpages::writePdf(file, book, QStringLiteral("7 December 2026")).done());

    const QString text =
        popplerSays(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    if (text.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QVERIFY2(pages.size() > 4, qPrintable(text));
    QVERIFY(pages[0].contains(QStringLiteral("Book of Shadows")));
    QVERIFY(pages[0].contains(QStringLiteral("7 December 2026")));
    // The contents name each chapter with the page it starts on, and that page begins it.
    const QRegularExpression line(QStringLiteral("^\\s*(Spell|Rituals)\\s+(\\d+)\\s*$"),
                                  QRegularExpression::MultilineOption);
    auto found = line.globalMatch(pages[1]);
    int chapters = 0;
    while (found.hasNext()) {
        const auto match = found.next();
        const int page = match.captured(2).toInt();
        QVERIFY(page >= 3 && page <= pages.size());
        QCOMPARE(pages[page - 1].trimmed().section(QLatin1Char('\n'), 0, 0).trimmed(), match.captured(1));
        ++chapters;
    }
    QCOMPARE(chapters, 2);
    // Every page after the title ends with its number, and no keyword stands alone above it.
    for (int page = 2; page <= pages.size(); ++page) {
        QCOMPARE(pages[page - 1].trimmed().section(QLatin1Char('\n'), -1).trimmed(), QString::number(page));
        const QStringList lines = pages[page - 1].trimmed().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(lines.size() < 2 || !lines[lines.size() - 2].contains(QStringLiteral("Keyword")),
                 qPrintable(pages[page - 1]));
    }
    qsizetype at = 0;
    for (const QString &keyword : keywords) {
        const qsizetype next = text.indexOf(keyword, at);
        QVERIFY2(next > at, qPrintable(keyword));
        at = next;
    }
    QVERIFY(text.contains(QStringLiteral("\u0391\u03b8\u03b7\u03bd\u03ac")));
    QVERIFY(text.contains(QStringLiteral("second line")));

    const QString fonts = popplerSays(QStringLiteral("pdffonts"), {file});
    const QStringList rows = fonts.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2);
    QVERIFY(!rows.isEmpty());
    for (const QString &row : rows)
        QVERIFY2(row.contains(QStringLiteral(" yes ")), qPrintable(fonts));
}

void ExportTest::csvIsATableForSpreadsheets()
{
    book::Book book = smallBook();
    const QString megabyte = QString(1 << 20, QLatin1Char('x')) + QStringLiteral(",\"\r\n");
    book[1].entries.push_back({QStringLiteral("long"), megabyte});
    const QString file = m_dir->filePath(QStringLiteral("book.csv"));
    QVERIFY(book::exportText(file, Format::Csv, book, QString()).done());
    // The book holds what the diary does: a new file is the user's alone.
    QVERIFY(!testing::othersMayRead(file));
    const QByteArray bytes = bytesOf(file);
    QVERIFY(bytes.startsWith("section,keyword,meaning\r\n"
                             "Spell,Rue,plain\r\n"
                             "Spell,\"a,b\",\"say \"\"hi\"\"\r\nbye\"\r\n"
                             "Rituals,\" Moon\",\"full  \"\r\n"
                             "Rituals,long,\"xxx"));
    QVERIFY(bytes.endsWith("x,\"\"\r\n\"\r\n"));

    const book::Parsed parsed = book::parseCsv(bytes);
    QVERIFY(!parsed.problem);
    QCOMPARE(parsed.book.size(), std::size_t(2));
    QCOMPARE(parsed.book[1].entries[1].meaning, megabyte);
}

void ExportTest::htmlShowsMarkupAsText()
{
    const book::Book book{
        {Table::Incense,
         {{QStringLiteral("<b>Myrrh</b>"), QStringLiteral("<script>alert(1)</script> & \"more\"\n<img src=x>")}}}};
    const QString file = m_dir->filePath(QStringLiteral("book.html"));
    QVERIFY(book::exportText(file, Format::Html, book, QStringLiteral("7 December 2026")).done());
    const QString html = QString::fromUtf8(bytesOf(file));
    QVERIFY(html.contains(QStringLiteral("&lt;b&gt;Myrrh&lt;/b&gt;")));
    QVERIFY(html.contains(
        QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;more&quot;\n&lt;img src=x&gt;")));
    QVERIFY(!html.contains(QStringLiteral("<script")));
    QVERIFY(!html.contains(QStringLiteral("<img")));
    QVERIFY(html.contains(QStringLiteral("7 December 2026")));
    QVERIFY(html.contains(QStringLiteral("<meta charset=\"utf-8\">")));
}

void ExportTest::textFormatsKeepMeaningsVerbatim_data()
{
    QTest::addColumn<Format>("format");
    QTest::newRow("markdown") << Format::Markdown;
    QTest::newRow("plain text") << Format::Text;
}

void ExportTest::textFormatsKeepMeaningsVerbatim()
{
    QFETCH(Format, format);
    const QString file = m_dir->filePath(QStringLiteral("book"));
    QVERIFY(book::exportText(file, format, smallBook(), QStringLiteral("today")).done());
    const QString text = QString::fromUtf8(bytesOf(file));
    qsizetype at = 0;
    // The title, then each section and its entries in their order, meanings as they are.
    for (const QString &part :
         {QStringLiteral("Book of Shadows"), QStringLiteral("Spell"), QStringLiteral("Rue"),
          QStringLiteral("\nplain\n"), QStringLiteral("a"), QStringLiteral("\nsay \"hi\"\r\nbye\n"),
          QStringLiteral("Rituals"), QStringLiteral("Moon"), QStringLiteral("\nfull  \n")}) {
        const qsizetype found = text.indexOf(part, at);
        QVERIFY2(found >= 0, qPrintable(part));
        at = found + part.size();
    }
}

void ExportTest::markdownFencesOnlyWhatWouldReadBackOtherwise_data()
{
    QTest::addColumn<QString>("meaning");
    QTest::addColumn<bool>("fenced");
    QTest::newRow("words") << QStringLiteral("Fill a jar with *salt*.") << false;
    QTest::newRow("paragraphs and lines") << QStringLiteral("one\ntwo\n\nthree") << false;
    QTest::newRow("a heading's line") << QStringLiteral("# not a heading") << true;
    QTest::newRow("an underline") << QStringLiteral("text\n---") << true;
    QTest::newRow("an indented line") << QStringLiteral("    code") << true;
    QTest::newRow("a blank line at the end") << QStringLiteral("x\n") << true;
    QTest::newRow("a comment left open") << QStringLiteral("<!-- x") << true;
}

// Meanings read as plain words in any Markdown viewer; a fence keeps those that would not come
// back exactly.
void ExportTest::markdownFencesOnlyWhatWouldReadBackOtherwise()
{
    QFETCH(QString, meaning);
    QFETCH(bool, fenced);
    const QString file = m_dir->filePath(QStringLiteral("book.md"));
    QVERIFY(book::exportText(file, Format::Markdown, {{Table::Spell, {{QStringLiteral("Jar"), meaning}}}}, QString())
                .done());
    const QString text = QString::fromUtf8(bytesOf(file));
    const QString plain = QStringLiteral("### Jar\n\n") + meaning + QStringLiteral("\n\n");
    QVERIFY2(text.endsWith(plain) != fenced, qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("### Jar\n\n```\n")) == fenced, qPrintable(text));
}

void ExportTest::stoppedOrFailedExportLeavesNoFile_data()
{
    QTest::addColumn<Format>("format");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<bool>("failing");
    for (Format format : {Format::Csv, Format::Markdown, Format::Text, Format::Html, Format::Pdf}) {
        const QByteArray name = book::formatName(format).toLatin1();
        QTest::newRow(name + " cancelled") << format << false << false;
        QTest::newRow(name + " cancelled over an older file") << format << true << false;
    }
    QTest::newRow("folder missing") << Format::Csv << false << true;
}

void ExportTest::stoppedOrFailedExportLeavesNoFile()
{
    QFETCH(Format, format);
    QFETCH(bool, existing);
    QFETCH(bool, failing);
    const QString folder = failing ? m_dir->filePath(QStringLiteral("gone")) : m_dir->path();
    const QString file = folder + QStringLiteral("/Book of Shadows.") + book::formatName(format);
    if (existing) {
        QFile older(file);
        QVERIFY(older.open(QIODevice::WriteOnly));
        older.write("older export");
    }
    book::Book book{{Table::Spell, {}}};
    for (int i = 0; i < 2000; ++i)
        book[0].entries.push_back({QString::number(i), QStringLiteral("meaning")});

    const book::Outcome outcome =
        bookpages::exportBook(file, format, book, QString(), [](qint64 done, qint64) { return done < 1000; });
    QCOMPARE(outcome.kind, failing ? book::Outcome::Kind::Failed : book::Outcome::Kind::Cancelled);
    if (failing)
        QVERIFY2(outcome.message.startsWith(QStringLiteral("The book could not be exported.\n")
                                            + QDir::toNativeSeparators(file)),
                 qPrintable(outcome.message));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files),
             existing ? QStringList{QFileInfo(file).fileName()} : QStringList());
    if (existing)
        QCOMPARE(bytesOf(file), QByteArray("older export"));
    if (existing && !failing) {
        // A file that is replaced keeps the permissions its owner gave it.
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        QVERIFY(bookpages::exportBook(file, format, book, QString()).done());
        QVERIFY(QFileInfo(file).permissions() & QFile::ReadOther);
    }
}

void ExportTest::fullDiskSaysSoAndStopsTheWork_data()
{
    QTest::addColumn<Format>("format");
    QTest::addColumn<int>("entries");
    QTest::addColumn<bool>("filled"); // the disk is full before the export starts
    QTest::newRow("csv, disk full already") << Format::Csv << 2 << true;
    QTest::newRow("csv larger than the disk") << Format::Csv << 20000 << false;
    QTest::newRow("pdf larger than the disk") << Format::Pdf << 3000 << false;
}

void ExportTest::fullDiskSaysSoAndStopsTheWork()
{
    QFETCH(Format, format);
    QFETCH(int, entries);
    QFETCH(bool, filled);
    const QString folder = m_dir->filePath(QStringLiteral("small"));
    QVERIFY(QDir().mkpath(folder));
    const testing::Mount disk = testing::Mount::small(folder, 96);
    if (!disk.ok())
        QSKIP(qPrintable(QStringLiteral("no small file system: ") + disk.error()));
    if (filled) {
        QFile filler(folder + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        filler.write(QByteArray(1 << 20, 'x'));
    }
    book::Book book{{Table::Spell, {}}};
    for (int i = 0; i < entries; ++i)
        book[0].entries.push_back(
            {QStringLiteral("Keyword %1").arg(i), QStringLiteral("A meaning of some length, number %1.").arg(i)});

    const QString file = folder + QStringLiteral("/book.") + book::formatName(format);
    qint64 reached = 0;
    qint64 total = 0;
    const book::Outcome outcome = bookpages::exportBook(file, format, book, QString(), [&](qint64 done, qint64 all) {
        reached = done;
        total = all;
        return true;
    });
    QCOMPARE(outcome.kind, book::Outcome::Kind::Failed);
    QCOMPARE(outcome.message,
             QStringLiteral("The book could not be exported.\n%1\nNo space left on device")
                 .arg(QDir::toNativeSeparators(file)));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             filled ? QStringList{QStringLiteral("filler")} : QStringList());
    // Nothing more is set once a write has failed.
    if (format == Format::Pdf)
        QVERIFY2(reached < total, qPrintable(QStringLiteral("%1 of %2").arg(reached).arg(total)));
}

BRIMVALE_TEST_MAIN(ExportTest)
#include "tst_export.moc"
