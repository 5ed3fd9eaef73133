// The yardstick for start-up time and memory: a Qt Widgets program that shows one empty window
// the size of the main window. With --text the window shows one line in the main window's font,
// which shows what starting the font system costs any program.

#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    window.setObjectName(QStringLiteral("bareWindow"));
    window.resize(435, 527);
    if (QApplication::arguments().contains(QStringLiteral("--text"))) {
        auto *line = new QLabel(QStringLiteral("Brimvale"), &window);
        line->setFont(QFont(QStringLiteral("Verdana"), 8));
        line->move(10, 10);
    }
    window.show();
    return QApplication::exec();
}
