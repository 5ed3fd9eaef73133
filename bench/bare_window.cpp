// The yardstick for start-up time and memory: a Qt Widgets program that shows one empty window.

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    window.setObjectName(QStringLiteral("bareWindow"));
    window.resize(435, 527); // the main window's size
    window.show();
    return QApplication::exec();
}
