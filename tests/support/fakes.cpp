#include "fakes.h"

namespace fakes {

void MessageBoxes::show(QWidget *parent, const QString &text, gui::MessageIcon icon)
{
    shown.push_back({text, icon, false, parent, {}});
    if (whileShown)
        whileShown(shown.back());
}

gui::Answer MessageBoxes::askYesNo(QWidget *parent, const QString &text)
{
    return ask(parent, text, gui::Answer::No);
}

gui::Answer MessageBoxes::askYesNoWarning(QWidget *parent, const QString &text)
{
    return ask(parent, text, gui::Answer::No, {}, gui::MessageIcon::Warning);
}

gui::Answer MessageBoxes::askSaveDiscardCancel(QWidget *parent, const QString &text)
{
    return ask(parent, text, gui::Answer::Cancel);
}

gui::Answer MessageBoxes::askChoice(QWidget *parent, const QString &text, const QString &first, const QString &second)
{
    return ask(parent, text, gui::Answer::First, {first, second});
}

gui::Answer MessageBoxes::ask(QWidget *parent, const QString &text, gui::Answer unscripted, const QStringList &choices,
                              gui::MessageIcon icon)
{
    shown.push_back({text, icon, true, parent, choices});
    if (whileShown)
        whileShown(shown.back());
    if (answers.empty())
        return unscripted;
    const gui::Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

QStringList MessageBoxes::texts() const
{
    QStringList result;
    for (const Message &message : shown)
        result << message.text;
    return result;
}

} // namespace fakes
