#include "gui/book/bookpages.h"

#include "core/book/bookfile.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>

#include <functional>

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

// Text in these ranges (Latin, Greek, Cyrillic without combining marks, general punctuation)
// reads the same when its glyphs are only looked up, without the shaping that took most of the
// time of setting a book; any other text is shaped, so that joining scripts and marks come out right.
bool needsNoShaping(const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x0300 && !(u >= 0x0370 && u <= 0x0482) && !(u >= 0x048A && u <= 0x052F)
            && !(u >= 0x2000 && u <= 0x206F))
            return false;
    }
    return true;
}

// How a kind of paragraph looks, in the device's pixels; the space between two paragraphs is the
// larger of the one's below and the other's above, none at the top of a page.
struct Style {
    Style(const QFont &font, const QPaintDevice &device, qreal above, qreal below)
        : shaped(font, &device), plain(shaped), above(above), below(below)
    {
        plain.setStyleStrategy(QFont::PreferNoShaping);
    }
    QFont shaped;
    QFont plain;
    qreal above = 0;
    qreal below = 0;
};

struct Styles {
    Style title;
    Style keyword;
    Style meaning;
};

Styles stylesOf(const QPaintDevice &device, const Sheet &sheet)
{
    return {{fontOf(22, true), device, 0, sheet.points(18)},
            {fontOf(13, true), device, sheet.points(10), sheet.points(3)},
            {fontOf(11), device, 0, sheet.points(4)}};
}

// Sets a chapter down its pages, each paragraph laid out once, and hands every line to `draw` at
// its place on the page, and every page after the first to `turn`. Counting the pages is the same
// walk with nothing drawn, so the contents cannot disagree with the chapters.
class Setter {
public:
    using Draw = std::function<void(const QTextLine &line, QPointF at)>;
    Setter(QPaintDevice &device, const Sheet &sheet, Draw draw, std::function<void()> turn)
        : m_sheet(sheet), m_styles(stylesOf(device, sheet)), m_draw(std::move(draw)), m_turn(std::move(turn))
    {
        m_option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    }

    // The chapter's pages; none when the progress said stop.
    int set(const Chapter &chapter, const std::function<bool(qint64)> &progress)
    {
        m_pages = 1;
        m_y = 0;
        m_top = true;
        QTextLayout title;
        layOut(title, sections::section(chapter.table).name, m_styles.title);
        place(title, m_styles.title, 0);
        qint64 done = 0;
        QTextLayout keyword;
        QTextLayout meaning;
        for (const book::Entry &entry : chapter.entries) {
            layOut(keyword, withLineBreaks(entry.keyword), m_styles.keyword);
            layOut(meaning, withLineBreaks(entry.meaning), m_styles.meaning);
            // A keyword is not left alone at the foot of a page: its meaning's first line goes with it.
            place(keyword, m_styles.keyword,
                  std::max(m_styles.keyword.below, m_styles.meaning.above) + meaning.lineAt(0).height());
            place(meaning, m_styles.meaning, 0);
            if (++done % kProgressStep == 0 && !progress(done))
                return 0;
        }
        return progress(done) ? m_pages : 0;
    }

private:
    void layOut(QTextLayout &layout, const QString &text, const Style &style)
    {
        layout.clearLayout();
        layout.setText(text);
        layout.setFont(needsNoShaping(text) ? style.plain : style.shaped);
        // A paragraph that begins right to left stands at the right edge.
        const bool rightToLeft = text.isRightToLeft();
        m_option.setTextDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        m_option.setAlignment(rightToLeft ? Qt::AlignRight : Qt::AlignLeft);
        layout.setTextOption(m_option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLeadingIncluded(true);
            line.setLineWidth(m_sheet.text.width());
        }
        layout.endLayout();
    }

    void place(const QTextLayout &layout, const Style &style, qreal keep)
    {
        const qreal space = std::max(m_below, style.above);
        const int last = layout.lineCount() - 1;
        for (int index = 0; index <= last; ++index) {
            const QTextLine line = layout.lineAt(index);
            const qreal before = index == 0 && !m_top ? space : 0;
            const qreal needed = before + line.height() + (index == last ? keep : 0);
            if (!m_top && m_y + needed > m_sheet.text.height()) {
                m_turn();
                ++m_pages;
                m_y = 0;
            } else {
                m_y += before;
            }
            m_draw(line, QPointF(m_sheet.text.left(), m_sheet.text.top() + m_y));
            m_y += line.height();
            m_top = false;
        }
        m_below = style.below;
    }

    const Sheet &m_sheet;
    const Styles m_styles;
    const Draw m_draw;
    const std::function<void()> m_turn;
    QTextOption m_option;
    int m_pages = 1;
    qreal m_y = 0;
    qreal m_below = 0;
    bool m_top = true;
};

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
    painter.drawText(QRectF(sheet.text.topLeft(), QSizeF(sheet.text.width(), headingHeight)),
                     Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Contents"));
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

} // namespace

QPageLayout pageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 20, 20, 14),
                       QPageLayout::Millimeter);
}

bool paint(QPagedPaintDevice &device, const book::Book &book, const QString &dated, const book::Progress &progress)
{
    const Sheet sheet = sheetOf(device);
    // Every chapter but the last is set once to count its pages for the contents, and all are set
    // again to be painted: holding a chapter's lines from one to the other would take hundreds of
    // megabytes for a large diary.
    const std::size_t counted = book.empty() ? 0 : book.size() - 1;
    qint64 work = book::entryCount(book);
    for (std::size_t index = 0; index < counted; ++index)
        work += qint64(book[index].entries.size());
    qint64 before = 0;
    auto told = [&](qint64 done) { return !progress || progress(before + done, work); };

    std::vector<std::pair<QString, int>> contents;
    int nextPage = 3; // after the title and the contents
    Setter counter(
        device, sheet, [](const QTextLine &, QPointF) {}, [] {});
    for (std::size_t index = 0; index < book.size(); ++index) {
        contents.emplace_back(sections::section(book[index].table).name, nextPage);
        if (index < counted) {
            const int pages = counter.set(book[index], told);
            if (pages == 0)
                return false;
            nextPage += pages;
            before += qint64(book[index].entries.size());
        }
    }

    QPainter painter(&device);
    paintTitle(painter, sheet, dated);
    device.newPage();
    paintContents(painter, sheet, contents);
    paintFooter(painter, sheet, 2);
    int number = 3;
    Setter painting(
        device, sheet, [&](const QTextLine &line, QPointF at) { line.draw(&painter, at); },
        [&] {
            paintFooter(painter, sheet, number++);
            device.newPage();
        });
    for (const Chapter &chapter : book) {
        device.newPage();
        if (painting.set(chapter, told) == 0) {
            painter.end();
            return false;
        }
        paintFooter(painter, sheet, number++);
        before += qint64(chapter.entries.size());
    }
    return painter.end();
}

book::Outcome writePdf(const QString &path, const book::Book &book, const QString &dated,
                       const book::Progress &progress)
{
    book::BookFile file(path);
    if (const auto refused = file.start())
        return {book::Outcome::Kind::Failed, book::exportFailure(path, refused->detail)};
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
            // After a failed write the rest of the book cannot reach the disk: stop setting it.
            return !stopped && !file.failed();
        });
    }
    if (!painted || file.failed()) {
        file.cancel();
        if (stopped)
            return {book::Outcome::Kind::Cancelled, {}};
        return {book::Outcome::Kind::Failed, file.failure()};
    }
    if (const auto failed = file.commit())
        return {book::Outcome::Kind::Failed, book::exportFailure(path, failed->detail)};
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
