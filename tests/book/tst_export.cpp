// Exporting the diary as a book in the text formats: what each file holds, and that a stopped or
// failed export leaves no file behind.

#include "checks.h"
#include "diaryfiles.h"
#include "testmain.h"

#include "core/book.h"
#include "core/bookreaders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using book::Format;
using modDB::Table;

namespace {
QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

book::Book smallBook()
{
    return {{Table::Spell, {{QStringLiteral("Rue"), QStringLiteral("plain")}, {QStringLiteral("a,b"), QStringLiteral("say \"hi\"\r\nbye")}}},
            {Table::Rituals, {{QStringLiteral(" Moon"), QStringLiteral("full  ")}}}};
}
} // namespace

class ExportTest : public QObject {
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void csvIsATableForSpreadsheets();
    void htmlShowsMarkupAsText();
    void textFormatsKeepMeaningsVerbatim_data();
    void textFormatsKeepMeaningsVerbatim();
    void stoppedOrFailedExportLeavesNoFile_data();
    void stoppedOrFailedExportLeavesNoFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void ExportTest::csvIsATableForSpreadsheets()
{
    book::Book book = smallBook();
    const QString megabyte = QString(1 << 20, QLatin1Char('x')) + QStringLiteral(",\"\r\n");
    book[1].entries.push_back({QStringLiteral("long"), megabyte});
    const QString file = m_dir->filePath(QStringLiteral("book.csv"));
    QVERIFY(book::exportText(file, Format::Csv, book, QString()).done());
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
    const book::Book book{{Table::Incense, {{QStringLiteral("<b>Myrrh</b>"), QStringLiteral("<script>alert(1)</script> & \"more\"\n<img src=x>")}}}};
    const QString file = m_dir->filePath(QStringLiteral("book.html"));
    QVERIFY(book::exportText(file, Format::Html, book, QStringLiteral("7 December 2026")).done());
    const QString html = QString::fromUtf8(bytesOf(file));
    QVERIFY(html.contains(QStringLiteral("&lt;b&gt;Myrrh&lt;/b&gt;")));
    QVERIFY(html.contains(QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;more&quot;\n&lt;img src=x&gt;")));
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
    for (const QString &part : {QStringLiteral("Book of Shadows"), QStringLiteral("Spell"), QStringLiteral("Rue"),
                                QStringLiteral("\nplain\n"), QStringLiteral("a"), QStringLiteral("\nsay \"hi\"\r\nbye\n"),
                                QStringLiteral("Rituals"), QStringLiteral("Moon"), QStringLiteral("\nfull  \n")}) {
        const qsizetype found = text.indexOf(part, at);
        QVERIFY2(found >= 0, qPrintable(part));
        at = found + part.size();
    }
}

void ExportTest::stoppedOrFailedExportLeavesNoFile_data()
{
    QTest::addColumn<Format>("format");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<bool>("failing");
    for (Format format : {Format::Csv, Format::Markdown, Format::Text, Format::Html}) {
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

    const book::Outcome outcome = book::exportText(file, format, book, QString(), [](qint64 done, qint64) { return done < 1000; });
    QCOMPARE(outcome.kind, failing ? book::Outcome::Kind::Failed : book::Outcome::Kind::Cancelled);
    if (failing)
        QVERIFY2(outcome.message.startsWith(QStringLiteral("The book could not be exported.\n") + QDir::toNativeSeparators(file)),
                 qPrintable(outcome.message));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), existing ? QStringList{QFileInfo(file).fileName()} : QStringList());
    if (existing)
        QCOMPARE(bytesOf(file), QByteArray("older export"));
}

BRIMVALE_TEST_MAIN(ExportTest)
#include "tst_export.moc"
