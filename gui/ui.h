#pragma once

// Small helpers shared by the windows: twip layout, fonts, colours and the link label.

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPointer>
#include <QRect>

#include <initializer_list>

class QCheckBox;
class QLineEdit;
class QWidget;

namespace ui {

// Window layouts are drawn in twips; at 96 dpi fifteen twips make one pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int px(int twips)
{
    return twips / kTwipsPerPixel;
}
constexpr QRect twips(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

// Places a control at its twip rectangle. Where the font needs more height than the layout
// gives, the control grows downwards; its width and position stay as drawn.
void place(QWidget *control, int left, int top, int width, int height);

QFont font(const QString &family, qreal points, bool bold = false, bool underline = false);
QFont verdana(qreal points, bool bold = false, bool underline = false);

void setTextColor(QWidget *control, const QColor &color);
// One colour of the control's palette.
void setColor(QWidget *control, QPalette::ColorRole role, const QColor &color);
void setBackground(QWidget *control, const QColor &color);

// Gives a window a fixed client area and its caption and icon.
void fixClientArea(QWidget *window, int widthTwips, int heightTwips);
void centerOnScreen(QWidget *window);

QIcon programIcon();
// The main window's decorative picture.
QIcon decorativePicture();

// A label of plain text (never rich text, whatever the user's text holds), named for tests and
// screen readers.
QLabel *plainLabel(QWidget *parent, const QString &name, const QString &text);
QLabel *plainLabel(QWidget *parent, const QString &name, const QString &text, const QFont &font);
// A one-line label as wide as its text needs, growing to the right but never past the client
// area less the 98-twip margin the windows keep; it wraps when even that is too narrow.
void fitToText(QLabel *label, int left, int top, int width, int height);
// A title that stays centred where it was drawn, however long its text is.
void fitAroundCentre(QLabel *label, int left, int top, int width, int height);

// The wait cursor over every window while it lives, for work that holds the event loop.
class BusyCursor {
public:
    explicit BusyCursor(Qt::CursorShape shape = Qt::WaitCursor);
    ~BusyCursor();
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// Gives the keyboard focus back to the window of `opener` when it goes out of scope, after a
// dialog over it: window managers may otherwise leave the focus nowhere once a dialog closes
// straight after a message of its own.
class FocusReturn {
public:
    explicit FocusReturn(QWidget *opener);
    ~FocusReturn();
    FocusReturn(const FocusReturn &) = delete;
    FocusReturn &operator=(const FocusReturn &) = delete;

private:
    QPointer<QWidget> m_window;
};

// A check box that shows what is typed in the password boxes while it is ticked.
QCheckBox *showPasswordToggle(QWidget *parent, const QString &caption, std::initializer_list<QLineEdit *> boxes);

// A label that acts as a link: pointing hand, clicked on release of the left button,
// and Space or Enter when a caller gives it the focus.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString &text, QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace ui
