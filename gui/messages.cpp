#include "gui/messages.h"

#include "core/identity.h"
#include "gui/diarylock.h"
#include "gui/ui.h"

#include <QMessageBox>
#include <QPushButton>

#include <utility>

namespace gui {

namespace {

// A lone carriage return separates lines in our message texts; the widget wants a line feed.
QString displayText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// A flow whose dialogs the lock closed tells and asks nothing more.
bool endedQuietly()
{
    return DiaryLock::instance().endingCutShortFlows();
}

class QtMessageBoxes final : public MessageBoxes {
public:
    void show(QWidget *parent, const QString &text, MessageIcon icon) override
    {
        if (endedQuietly())
            return;
        const ui::FocusReturn focusBack(parent);
        QMessageBox box(icon == MessageIcon::Critical      ? QMessageBox::Critical
                            : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                           : QMessageBox::Information,
                        app::kApplicationTitle, displayText(text), QMessageBox::Ok, parent);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    }

    Answer askYesNo(QWidget *parent, const QString &text) override
    {
        if (endedQuietly())
            return Answer::No;
        const ui::FocusReturn focusBack(parent);
        QMessageBox box(QMessageBox::Information, app::kApplicationTitle, displayText(text),
                        QMessageBox::Yes | QMessageBox::No, parent);
        box.setWindowModality(Qt::ApplicationModal);
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }

    Answer askYesNoWarning(QWidget *parent, const QString &text) override
    {
        if (endedQuietly())
            return Answer::No;
        const ui::FocusReturn focusBack(parent);
        QMessageBox box(QMessageBox::Warning, app::kApplicationTitle, displayText(text),
                        QMessageBox::Yes | QMessageBox::No, parent);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        box.setWindowModality(Qt::ApplicationModal);
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }

    Answer askSaveDiscardCancel(QWidget *parent, const QString &text) override
    {
        if (endedQuietly())
            return Answer::Cancel;
        QMessageBox box(QMessageBox::Question, app::kApplicationTitle, displayText(text),
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
        box.setDefaultButton(QMessageBox::Save);
        // The captions Qt gives these two have no access key.
        box.button(QMessageBox::Save)->setText(QStringLiteral("&Save"));
        box.button(QMessageBox::Discard)->setText(QStringLiteral("&Discard"));
        box.setWindowModality(Qt::ApplicationModal);
        switch (box.exec()) {
        case QMessageBox::Save: return Answer::Save;
        case QMessageBox::Discard: return Answer::Discard;
        default: return Answer::Cancel;
        }
    }

    Answer askChoice(QWidget *parent, const QString &text, const QString &first, const QString &second) override
    {
        if (endedQuietly())
            return Answer::Cancel;
        const ui::FocusReturn focusBack(parent);
        QMessageBox box(QMessageBox::Question, app::kApplicationTitle, displayText(text), QMessageBox::Cancel, parent);
        QPushButton *firstButton = box.addButton(first, QMessageBox::AcceptRole);
        QPushButton *secondButton = box.addButton(second, QMessageBox::AcceptRole);
        box.setDefaultButton(firstButton);
        box.setEscapeButton(QMessageBox::Cancel);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
        if (box.clickedButton() == firstButton)
            return Answer::First;
        return box.clickedButton() == secondButton ? Answer::Second : Answer::Cancel;
    }
};

std::unique_ptr<MessageBoxes> &current()
{
    static std::unique_ptr<MessageBoxes> messages;
    return messages;
}

} // namespace

std::unique_ptr<MessageBoxes> productionMessages()
{
    return std::make_unique<QtMessageBoxes>();
}

std::unique_ptr<MessageBoxes> installMessages(std::unique_ptr<MessageBoxes> messages)
{
    return std::exchange(current(), std::move(messages));
}

MessageBoxes &messages()
{
    Q_ASSERT_X(current(), "gui", "message boxes used before gui::installMessages()");
    return *current();
}

} // namespace gui
