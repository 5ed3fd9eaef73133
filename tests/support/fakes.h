#pragma once

// Test doubles for the platform seams. Each records what the program asked of it and answers
// from a script the test sets up.

#include "core/services.h"
#include "gui/filedialogs.h"
#include "gui/messages.h"

#include <QMap>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace fakes {

struct Message {
    QString text;
    gui::MessageIcon icon = gui::MessageIcon::Information;
    bool question = false;
    QWidget *parent = nullptr;
    QStringList choices; // the captions of a question's own buttons
};

class MessageBoxes final : public gui::MessageBoxes {
public:
    std::vector<Message> shown;
    // Answers for the questions, taken in order; No, Cancel for a save question, or the first
    // of two choices, when the script runs out.
    std::deque<gui::Answer> answers;
    // Runs while the box would be on the screen, e.g. to look at the windows behind it.
    std::function<void(const Message &)> whileShown;

    void show(QWidget *parent, const QString &text, gui::MessageIcon icon) override;
    gui::Answer askYesNo(QWidget *parent, const QString &text) override;
    // Recorded with the warning icon; unscripted, No.
    gui::Answer askYesNoWarning(QWidget *parent, const QString &text) override;
    gui::Answer askSaveDiscardCancel(QWidget *parent, const QString &text) override;
    // Unscripted: the default, the first choice.
    gui::Answer askChoice(QWidget *parent, const QString &text, const QString &first, const QString &second) override;

    QStringList texts() const;
    QString last() const { return shown.empty() ? QString() : shown.back().text; }

private:
    gui::Answer ask(QWidget *parent, const QString &text, gui::Answer unscripted, const QStringList &choices = {},
                    gui::MessageIcon icon = gui::MessageIcon::Information);
};

// Answers every file dialog with the next scripted path; cancels when the script runs out.
class FileDialogs final : public gui::FileDialogs {
public:
    std::deque<QString> answers;
    QStringList suggested; // the path or folder each dialog started at
    QString saveFileName(QWidget *, const QString &, const QString &start, const QString &) override
    {
        return answer(start);
    }
    QString openFileName(QWidget *, const QString &, const QString &start, const QString &) override
    {
        return answer(start);
    }

private:
    QString answer(const QString &start)
    {
        suggested << start;
        if (answers.empty())
            return {};
        const QString path = answers.front();
        answers.pop_front();
        return path;
    }
};

class WebLauncher final : public platform::WebLauncher {
public:
    QStringList opened;
    void open(const QString &address) override { opened << address; }
};

class SettingsStore final : public platform::SettingsStore {
public:
    QMap<QString, QString> values; // "application/section/key" -> value
    bool failWrites = false;
    int writes = 0;

    static QString path(const QString &application, const QString &section, const QString &key)
    {
        return application + QLatin1Char('/') + section + QLatin1Char('/') + key;
    }
    QString read(const QString &application, const QString &section, const QString &key) override
    {
        return values.value(path(application, section, key));
    }
    bool write(const QString &application, const QString &section, const QString &key, const QString &value) override
    {
        ++writes;
        if (failWrites)
            return false;
        values[path(application, section, key)] = value;
        return true;
    }
};

// Stands still until a test sets or advances it.
class Clock final : public platform::Clock {
public:
    QDateTime moment{QDate(2026, 12, 7), QTime(21, 15)};
    QDate today() const override { return moment.date(); }
    QDateTime now() const override { return moment; }
    void setToday(const QDate &day) { moment.setDate(day); }
    void advance(qint64 seconds) { moment = moment.addSecs(seconds); }
};

class RandomSource final : public platform::RandomSource {
public:
    std::deque<float> values;
    float fallback = 0.5f;
    int seeds = 0;
    void seed() override { ++seeds; }
    float next() override
    {
        if (values.empty())
            return fallback;
        const float value = values.front();
        values.pop_front();
        return value;
    }
};

class SystemFacts final : public platform::SystemFacts {
public:
    QString appData;
    QString program;
    QString appDataFolder() const override { return appData; }
    QString programFolder() const override { return program; }
};

class InstanceLock final : public platform::InstanceLock {
public:
    bool running = false;
    int asked = 0;
    bool anotherInstanceRunning() override
    {
        ++asked;
        return running;
    }
};

class ProcessEnd final : public platform::ProcessEnd {
public:
    int calls = 0;
    void end() override { ++calls; }
    bool requested() const override { return calls > 0; }
};

// Gives its answers in order to each prompt, until one opens the diary or the answers run out
// (the user gives up then).
class PasswordPrompt final : public platform::PasswordPrompt {
public:
    std::deque<QString> answers;
    int asked = 0;
    int refused = 0;     // answers that did not open the diary
    QStringList diaries; // the file each prompt asked for
    // Runs while the prompt would be on the screen, e.g. to move the focus as its closing does.
    std::function<void()> whileAsked;
    bool ask(const QString &diary, const std::function<bool(const QString &)> &tryPassword) override
    {
        ++asked;
        diaries << diary;
        if (whileAsked)
            whileAsked();
        while (!answers.empty()) {
            const QString answer = answers.front();
            answers.pop_front();
            if (tryPassword(answer))
                return true;
            ++refused;
        }
        return false;
    }
};

} // namespace fakes
