#include "gui/ui.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace ui {

void place(QWidget *control, int left, int top, int width, int height)
{
    const int w = px(width);
    int needed = control->sizeHint().height();
    if (control->hasHeightForWidth())
        needed = control->heightForWidth(w);
    control->setGeometry(px(left), px(top), w, std::max(px(height), needed));
}

QFont font(const QString &family, qreal points, bool bold, bool underline)
{
    QFont result(family);
    result.setPointSizeF(points);
    result.setBold(bold);
    result.setUnderline(underline);
    return result;
}

QFont verdana(qreal points, bool bold, bool underline)
{
    return font(QStringLiteral("Verdana"), points, bold, underline);
}

void setTextColor(QWidget *control, const QColor &color)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::ButtonText, color);
    palette.setColor(QPalette::Text, color);
    control->setPalette(palette);
}

void setColor(QWidget *control, QPalette::ColorRole role, const QColor &color)
{
    QPalette palette = control->palette();
    palette.setColor(role, color);
    control->setPalette(palette);
}

void setBackground(QWidget *control, const QColor &color)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::Window, color);
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

void fixClientArea(QWidget *window, int widthTwips, int heightTwips)
{
    window->setFixedSize(px(widthTwips), px(heightTwips));
}

void centerOnScreen(QWidget *window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

namespace {
// The program's images are drawn as SVG. The Windows build carries no SVG module: there they are
// rendered to PNG when the program is built.
QIcon image(const QString &name)
{
#ifdef Q_OS_WIN
    return QIcon(QStringLiteral(":/brimvale/%1.png").arg(name));
#else
    return QIcon(QStringLiteral(":/brimvale/%1.svg").arg(name));
#endif
}
} // namespace

QIcon programIcon()
{
    return image(QStringLiteral("icon"));
}

QIcon decorativePicture()
{
    return image(QStringLiteral("picture"));
}

LinkLabel::LinkLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(text);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void LinkLabel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

QLabel *plainLabel(QWidget *parent, const QString &name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel *plainLabel(QWidget *parent, const QString &name, const QString &text, const QFont &font)
{
    QLabel *label = plainLabel(parent, name, text);
    label->setFont(font);
    return label;
}

void fitToText(QLabel *label, int left, int top, int width, int height)
{
    const QWidget *client = label->parentWidget();
    const int room = client->width() - px(left) - px(98);
    const int needed = label->sizeHint().width();
    label->setWordWrap(needed > room);
    place(label, left, top, std::max(width, std::min(needed, room) * kTwipsPerPixel), height);
}

void fitAroundCentre(QLabel *label, int left, int top, int width, int height)
{
    const int centre = left + width / 2;
    const int needed = std::max(width, (label->sizeHint().width() + 2) * kTwipsPerPixel);
    place(label, centre - needed / 2, top, needed, height);
}

BusyCursor::BusyCursor(Qt::CursorShape shape)
{
    QGuiApplication::setOverrideCursor(shape);
}

BusyCursor::~BusyCursor()
{
    QGuiApplication::restoreOverrideCursor();
}

FocusReturn::FocusReturn(QWidget *opener) : m_window(opener ? opener->window() : nullptr)
{
}

FocusReturn::~FocusReturn()
{
    if (m_window && m_window->isVisible())
        m_window->activateWindow();
}

QCheckBox *showPasswordToggle(QWidget *parent, const QString &caption, std::initializer_list<QLineEdit *> boxes)
{
    auto *toggle = new QCheckBox(caption, parent);
    toggle->setObjectName(QStringLiteral("chkShowPassword"));
    QObject::connect(toggle, &QCheckBox::toggled, parent, [shown = std::vector<QLineEdit *>(boxes)](bool on) {
        for (QLineEdit *box : shown)
            if (box)
                box->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password);
    });
    return toggle;
}

} // namespace ui
