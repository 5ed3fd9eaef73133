// Renders the program's SVG icon into the PNG sizes of the hicolor icon theme.

#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: render_icons ICON.svg OUTPUT_FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QDir output(QString::fromLocal8Bit(argv[2]));
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImageReader reader(source);
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read();
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        if (image.isNull() || !output.mkpath(folder)
            || !image.save(output.filePath(folder + QStringLiteral("/org.brimvale.Brimvale.png")))) {
            std::fprintf(stderr, "render_icons: cannot render %dx%d: %s\n", size, size,
                         qPrintable(reader.errorString()));
            return 1;
        }
    }
    return 0;
}
