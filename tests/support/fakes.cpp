#include "fakes.h"

namespace fakes {

void MessageBoxes::show(QWidget *parent, const QString &text, platform::MessageIcon icon)
{
    shown.push_back({text, icon, false, parent});
    if (whileShown)
        whileShown(shown.back());
}

platform::Answer MessageBoxes::askYesNo(QWidget *parent, const QString &text)
{
    shown.push_back({text, platform::MessageIcon::Information, true, parent});
    if (whileShown)
        whileShown(shown.back());
    if (answers.empty())
        return platform::Answer::No;
    const platform::Answer answer = answers.front();
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
