#include "gui/markeddelegate.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

namespace {

// The text laid out on one line, its marked parts in bold.
QTextLine layOut(QTextLayout &layout, const QString &text, const QList<int> &marks, const QStyleOptionViewItem &item,
                 int width)
{
    QList<QTextLayout::FormatRange> formats;
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    for (qsizetype i = 0; i + 1 < marks.size(); i += 2) {
        const int from = std::min(marks[i], int(text.size()));
        const int length = std::min(marks[i + 1], int(text.size()) - from);
        if (length > 0)
            formats.append({from, length, bold});
    }
    layout.clearLayout();
    layout.setText(text);
    layout.setFont(item.font);
    layout.setFormats(formats);
    QTextOption option(QStyle::visualAlignment(item.direction, item.displayAlignment));
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(item.direction);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(width);
    line.setPosition(QPointF(0, 0));
    layout.endLayout();
    return line;
}

} // namespace

MarkedDelegate::MarkedDelegate(int marksRole, QObject *parent) : QStyledItemDelegate(parent), m_marksRole(marksRole)
{
}

void MarkedDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QWidget *widget = item.widget;
    const QStyle *style = widget ? widget->style() : QApplication::style();
    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget)
                           .adjusted(style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1, 0,
                                     -style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) - 1, 0);
    const QString text = item.text;
    item.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QList<int> marks = index.data(m_marksRole).value<QList<int>>();
    QTextLayout layout;
    QTextLine line = layOut(layout, text, marks, item, area.width());
    // Too long for the list: cut where the room ends, before an ellipsis.
    if (line.naturalTextWidth() > area.width()) {
        const QString ellipsis(QChar(u'\u2026'));
        const int room = area.width() - QFontMetrics(item.font).horizontalAdvance(ellipsis);
        const int fits = std::max(0, line.xToCursor(std::max(0, room), QTextLine::CursorOnCharacter));
        line = layOut(layout, text.left(fits) + ellipsis, marks, item, area.width());
    }
    const QPalette::ColorGroup group = !(item.state & QStyle::State_Enabled) ? QPalette::Disabled
        : (item.state & QStyle::State_Active)                                ? QPalette::Normal
                                                                             : QPalette::Inactive;
    painter->save();
    painter->setClipRect(area);
    painter->setPen(
        item.palette.color(group, (item.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
    layout.draw(painter, QPointF(area.left(), area.top() + (area.height() - line.height()) / 2));
    painter->restore();
}
