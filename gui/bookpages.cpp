#include "gui/bookpages.h"

#include <QAbstractTextDocumentLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <memory>

namespace bookpages {

namespace {
using book::Chapter;

// DejaVu is what the install step brings; fontconfig falls back to any other installed font for
// a script it lacks, and a character no font has is drawn as a box.
const QString kFamily = QStringLiteral("DejaVu Serif");
constexpr qreal kFooterPoints = 28;
// Entries between two words to the progress while a chapter is set.
constexpr int kProgressStep = 256;

QFont fontOf(qreal points, bool bold = false)
{
    QFont font(kFamily);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Where the pages of a device are: the text area, and the band at its foot for the number.
struct Sheet {
    QRectF text;
    QRectF footer;
    qreal dpi = 72;
    qreal points(qreal value) const { return value * dpi / 72; }
};

Sheet sheetOf(QPagedPaintDevice &device)
{
    Sheet sheet;
    sheet.dpi = device.logicalDpiY();
    const QRectF area(QPointF(0, 0), device.pageLayout().paintRectPixels(int(sheet.dpi)).size());
    const qreal footer = sheet.points(kFooterPoints);
    sheet.text = area.adjusted(0, 0, 0, -footer);
    sheet.footer = QRectF(area.left(), area.bottom() - footer, area.width(), footer);
    return sheet;
}

// Line breaks of every kind become line breaks inside one paragraph, so that blank lines stay.
QString withLineBreaks(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return text;
}

// A chapter set on pages of the sheet's size; none when the progress said stop.
std::unique_ptr<QTextDocument> setChapter(const Chapter &chapter, QPagedPaintDevice &device, const Sheet &sheet,
                                          const std::function<bool(qint64)> &progress)
{
    auto document = std::make_unique<QTextDocument>();
    document->setDocumentMargin(0);
    document->setDefaultFont(fontOf(11));
    document->setUndoRedoEnabled(false);

    QTextBlockFormat title;
    title.setBottomMargin(sheet.points(18));
    title.setHeadingLevel(1);
    QTextCharFormat titleFont;
    titleFont.setFont(fontOf(22, true));
    QTextBlockFormat keyword;
    keyword.setTopMargin(sheet.points(10));
    keyword.setBottomMargin(sheet.points(3));
    keyword.setHeadingLevel(2);
    QTextCharFormat keywordFont;
    keywordFont.setFont(fontOf(13, true));
    QTextBlockFormat meaning;
    meaning.setBottomMargin(sheet.points(4));
    QTextCharFormat meaningFont;
    meaningFont.setFont(fontOf(11));

    QTextCursor cursor(document.get());
    cursor.setBlockFormat(title);
    cursor.insertText(sections::section(chapter.table).name, titleFont);
    qint64 done = 0;
    for (const book::Entry &entry : chapter.entries) {
        cursor.insertBlock(keyword, keywordFont);
        cursor.insertText(withLineBreaks(entry.keyword));
        cursor.insertBlock(meaning, meaningFont);
        cursor.insertText(withLineBreaks(entry.meaning));
        if (++done % kProgressStep == 0 && !progress(done))
            return nullptr;
    }
    if (!progress(done))
        return nullptr;
    // Laid out once, whole, after the text is in: a layout in place would follow every insertion.
    document->documentLayout()->setPaintDevice(&device);
    document->setPageSize(sheet.text.size());
    document->pageCount();
    return document;
}

void paintFooter(QPainter &painter, const Sheet &sheet, int number)
{
    painter.setFont(fontOf(9));
    painter.drawText(sheet.footer, Qt::AlignHCenter | Qt::AlignBottom, QString::number(number));
}

void paintTitle(QPainter &painter, const Sheet &sheet, const QString &dated)
{
    QRectF upper = sheet.text;
    upper.setBottom(sheet.text.center().y());
    painter.setFont(fontOf(32, true));
    painter.drawText(upper, Qt::AlignHCenter | Qt::AlignBottom, book::kTitle);
    QRectF lower = sheet.text;
    lower.setTop(upper.bottom() + sheet.points(24));
    painter.setFont(fontOf(14));
    painter.drawText(lower, Qt::AlignHCenter | Qt::AlignTop, dated);
}

void paintContents(QPainter &painter, const Sheet &sheet, const std::vector<std::pair<QString, int>> &lines)
{
    painter.setFont(fontOf(22, true));
    const qreal headingHeight = painter.fontMetrics().height() * 2;
    painter.drawText(QRectF(sheet.text.topLeft(), QSizeF(sheet.text.width(), headingHeight)), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("Contents"));
    painter.setFont(fontOf(13));
    const qreal lineHeight = painter.fontMetrics().height() * 1.6;
    qreal top = sheet.text.top() + headingHeight;
    for (const auto &[name, page] : lines) {
        const QRectF line(sheet.text.left(), top, sheet.text.width(), lineHeight);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, name);
        painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, QString::number(page));
        top += lineHeight;
    }
}

void paintPage(QPainter &painter, const Sheet &sheet, QTextDocument &document, int page)
{
    painter.save();
    const qreal height = sheet.text.height();
    painter.translate(sheet.text.left(), sheet.text.top() - page * height);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(0, page * height, sheet.text.width(), height);
    painter.setClipRect(context.clip);
    document.documentLayout()->draw(&painter, context);
    painter.restore();
}
} // namespace

QPageLayout pageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 20, 20, 14), QPageLayout::Millimeter);
}

bool paint(QPagedPaintDevice &device, const book::Book &book, const QString &dated, const book::Progress &progress)
{
    const Sheet sheet = sheetOf(device);
    // A chapter is set once to learn its pages for the contents and again to paint it: holding
    // every chapter set at once would take hundreds of megabytes for a large diary. The last
    // chapter's length is needed by no page number; the others are counted from the last back,
    // so that the first one, set last, is painted without a second setting.
    const std::size_t setFirst = book.size() > 1 ? book.size() - 1 : book.size();
    qint64 work = book::entryCount(book);
    for (std::size_t index = 0; index < setFirst; ++index)
        work += qint64(book[index].entries.size());
    qint64 before = 0;
    auto told = [&](qint64 done) { return !progress || progress(before + done, work); };

    std::vector<int> pages(book.size());
    std::unique_ptr<QTextDocument> document;
    for (std::size_t index = setFirst; index-- > 0;) {
        document.reset();
        document = setChapter(book[index], device, sheet, told);
        if (!document)
            return false;
        before += qint64(book[index].entries.size());
        pages[index] = document->pageCount();
    }
    std::vector<std::pair<QString, int>> contents;
    int nextPage = 3; // after the title and the contents
    for (std::size_t index = 0; index < book.size(); ++index) {
        contents.emplace_back(sections::section(book[index].table).name, nextPage);
        nextPage += pages[index];
    }

    QPainter painter(&device);
    paintTitle(painter, sheet, dated);
    device.newPage();
    paintContents(painter, sheet, contents);
    paintFooter(painter, sheet, 2);
    int number = 3;
    for (std::size_t index = 0; index < book.size(); ++index) {
        const Chapter &chapter = book[index];
        if (index > 0) {
            document = setChapter(chapter, device, sheet, [](qint64) { return true; });
            pages[index] = document->pageCount();
        }
        for (int page = 0; page < pages[index]; ++page) {
            device.newPage();
            paintPage(painter, sheet, *document, page);
            paintFooter(painter, sheet, number++);
            if (!told(qint64(chapter.entries.size()) * (page + 1) / pages[index])) {
                painter.end();
                return false;
            }
        }
        document.reset();
        before += qint64(chapter.entries.size());
    }
    return painter.end();
}

book::Outcome writePdf(const QString &path, const book::Book &book, const QString &dated, const book::Progress &progress)
{
    QSaveFile file(path);
    if (const auto refused = book::openForBook(file))
        return {book::Outcome::Kind::Failed, *refused};
    bool stopped = false;
    bool painted = false;
    {
        QPdfWriter writer(&file);
        writer.setTitle(book::kTitle);
        writer.setCreator(QStringLiteral("Brimvale"));
        writer.setResolution(300);
        writer.setPageLayout(pageLayout());
        painted = paint(writer, book, dated, [&](qint64 done, qint64 total) {
            stopped = progress && !progress(done, total);
            return !stopped;
        });
    }
    if (!painted || file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        file.cancelWriting();
        if (stopped)
            return {book::Outcome::Kind::Cancelled, {}};
        return {book::Outcome::Kind::Failed, book::exportFailure(path, reason)};
    }
    if (!file.commit())
        return {book::Outcome::Kind::Failed, book::exportFailure(path, file.errorString())};
    return {};
}

book::Outcome exportBook(const QString &path, book::Format format, const book::Book &book, const QString &dated,
                         const book::Progress &progress)
{
    if (format == book::Format::Pdf)
        return writePdf(path, book, dated, progress);
    return book::exportText(path, format, book, dated, progress);
}

} // namespace bookpages
