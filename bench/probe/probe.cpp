// Loaded into an unchanged program through QT_QPA_GENERIC_PLUGINS, so that the benchmark can time
// the real executable from its process start to its first painted window, and read its peak
// memory once it shows a diary section. Reports on stdout and ends the process at once.
//
// BRIMVALE_PROBE_WINDOW   objectName of the window to wait for (empty: the first window painted)
// BRIMVALE_PROBE_SECTION  when set (0 to 3), goes on from the main window into that section,
//                         opens it, selects its last entry and reports the peak memory there

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QGenericPlugin>
#include <QItemSelectionModel>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

long peakKb()
{
    FILE *status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1)
            break;
    std::fclose(status);
    return kb;
}

[[noreturn]] void finish(const char *what)
{
    std::printf("probe %s\n", what);
    std::fflush(stdout);
    std::_Exit(0);
}

template <class T>
T *child(QWidget *window, const char *name)
{
    return window ? window->findChild<T *>(QString::fromLatin1(name)) : nullptr;
}

QWidget *topLevel(const QString &name)
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->objectName() == name && widget->isVisible())
            return widget;
    return nullptr;
}

class Probe : public QObject {
public:
    Probe()
    {
        m_window = qEnvironmentVariable("BRIMVALE_PROBE_WINDOW");
        bool ok = false;
        m_section = qEnvironmentVariableIntValue("BRIMVALE_PROBE_SECTION", &ok);
        if (!ok)
            m_section = -1;
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint || m_stage != Stage::WaitingForFirstWindow || !watched->isWidgetType())
            return false;
        auto *widget = static_cast<QWidget *>(watched);
        QWidget *window = widget->window();
        if (!m_window.isEmpty() && window->objectName() != m_window)
            return false;
        m_stage = Stage::FirstWindowPainting;
        // Runs once this paint and everything queued with it are done.
        QTimer::singleShot(0, this, [this, window] { firstWindowShown(window); });
        return false;
    }

private:
    enum class Stage { WaitingForFirstWindow, FirstWindowPainting, Section };

    void firstWindowShown(QWidget *window)
    {
        const long long shown = monotonicNs();
        if (m_section < 0) {
            char text[128];
            std::snprintf(text, sizeof text, "shown %lld peak %ld", shown, peakKb());
            finish(text);
        }
        m_stage = Stage::Section;
        // The user's way in: the section's option, then Continue.
        auto *option = child<QAbstractButton>(window, qPrintable(QStringLiteral("optOption_%1").arg(m_section)));
        auto *next = child<QAbstractButton>(window, "cmdContinue");
        if (!option || !next)
            finish("error the main window has no section option or Continue button");
        option->click();
        next->click();
        QTimer::singleShot(0, this, [this] { inSection(); });
    }

    void inSection()
    {
        QWidget *window = topLevel(QStringLiteral("frmResultBOS"));
        auto *open = child<QAbstractButton>(window, "Command1");
        auto *list = child<QAbstractItemView>(window, "lstKeyword");
        if (!open || !list)
            finish("error the section window did not open");
        open->click();
        const int rows = list->model()->rowCount();
        if (rows > 0) {
            const QModelIndex last = list->model()->index(rows - 1, 0);
            list->scrollTo(last);
            list->selectionModel()->select(last, QItemSelectionModel::ClearAndSelect);
        }
        window->repaint();
        QCoreApplication::processEvents();
        char text[128];
        std::snprintf(text, sizeof text, "section rows %d peak %ld", rows, peakKb());
        finish(text);
    }

    QString m_window;
    int m_section = -1;
    Stage m_stage = Stage::WaitingForFirstWindow;
};

} // namespace

class ProbePlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "probe.json")
public:
    QObject *create(const QString &key, const QString &) override
    {
        return key.compare(QLatin1String("brimvaleprobe"), Qt::CaseInsensitive) == 0 ? new Probe : nullptr;
    }
};

#include "probe.moc"
