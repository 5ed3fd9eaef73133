#pragma once

// Timing on a busy machine: medians of many runs, with the variants of one action taking turns
// so that a change in the machine's load falls on all of them alike.

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QWidget;

namespace bench {

struct Run {
    int reps = 25;
    std::vector<int> sizes{1000, 8000, 32767, 100000};
    // A password of the user's own for the measured diaries; none: the built-in key.
    QString password;
    // Only the find window's figures (--find-only), when working on them.
    bool findOnly = false;
};

// Stops the run: a benchmark that measured something else than it meant is worse than none.
void require(bool condition, const char *what);

double median(std::vector<double> values);

// A field of /proc/self/status in kilobytes ("VmRSS:", "VmHWM:"); 0 where there is none.
long statusKb(const char *field);

// One variant of an action: setup and check run untimed around the timed part.
struct Lane {
    std::function<void(int rep)> setup;
    std::function<void(int rep)> timed;
    std::function<void(int rep)> check;
    double *median = nullptr; // where the median goes
};

// A few warm-up rounds, then `reps` rounds; in each round every lane runs once, starting with
// a different lane each time.
void measure(const Run &run, const std::vector<Lane> &lanes);

// Unloads every window without running the unload handlers, which would show the exit window.
void closeWindows();

class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget *widget);
    int paints() const { return m_paints; }
    QWidget *widget() const { return m_widget; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_widget;
    int m_paints = 0;
};

// What the event loop does before it waits again: posted layouts (zero-time timers, which may
// ask for another repaint when they run) and the repaints of what changed, until a pass brings
// no new paint of the watched widget. Should none come at all, one is forced.
void settle(PaintWatch &watch);
// How often settle had to force a paint.
int forcedPaints();

} // namespace bench
