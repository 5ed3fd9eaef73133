#include "harness.h"

#include "gui/forms.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QWidget>

#include <algorithm>

namespace bench {

namespace {
constexpr int kWarmups = 2;
int g_forcedPaints = 0;
} // namespace

void require(bool condition, const char *what)
{
    if (!condition)
        qFatal("benchmark check failed: %s", what);
}

long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    return 0;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void measure(const Run &run, const std::vector<Lane> &lanes)
{
    std::vector<std::vector<double>> samples(lanes.size());
    for (int rep = -kWarmups; rep < run.reps; ++rep) {
        for (std::size_t turn = 0; turn < lanes.size(); ++turn) {
            const std::size_t which = (std::size_t(rep + kWarmups) + turn) % lanes.size();
            const Lane &lane = lanes[which];
            if (lane.setup)
                lane.setup(rep);
            QElapsedTimer timer;
            timer.start();
            lane.timed(rep);
            const double ms = double(timer.nsecsElapsed()) / 1e6;
            if (lane.check)
                lane.check(rep);
            if (rep >= 0)
                samples[which].push_back(ms);
            QCoreApplication::processEvents();
        }
    }
    for (std::size_t which = 0; which < lanes.size(); ++which)
        if (lanes[which].median)
            *lanes[which].median = median(samples[which]);
}

PaintWatch::PaintWatch(QWidget *widget) : m_widget(widget)
{
    widget->installEventFilter(this);
}

bool PaintWatch::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == QEvent::Paint)
        ++m_paints;
    return false;
}

void settle(PaintWatch &watch)
{
    const int before = watch.paints();
    int seen = before;
    for (int pass = 0; pass < 16; ++pass) {
        QCoreApplication::processEvents();
        if (watch.paints() == seen && seen != before)
            break;
        seen = watch.paints();
    }
    if (watch.paints() == before) {
        watch.widget()->repaint();
        ++g_forcedPaints;
    }
}

int forcedPaints()
{
    return g_forcedPaints;
}

void closeWindows()
{
    forms::startAfresh();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace bench
