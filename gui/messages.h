#pragma once

// Message boxes: the windows' seam. Every message the program shows goes through here, so that
// tests can read what was said and script the answer.

#include <QString>

#include <memory>

class QWidget;

namespace gui {

enum class MessageIcon { Information, Warning, Critical };
enum class Answer { Ok, Yes, No, Save, Discard, Cancel, First, Second };

// Modal message boxes with the application title as caption.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A single OK button.
    virtual void show(QWidget *parent, const QString &text, MessageIcon icon) = 0;
    // Yes and No buttons with the information icon.
    virtual Answer askYesNo(QWidget *parent, const QString &text) = 0;
    // Yes and No with the warning icon, before a step that cannot be taken back: No is the default,
    // and Escape answers No.
    virtual Answer askYesNoWarning(QWidget *parent, const QString &text) { return askYesNo(parent, text); }
    // Save, Discard and Cancel buttons with the question icon; Save is the default, Escape cancels,
    // and Save and Discard have access keys.
    virtual Answer askSaveDiscardCancel(QWidget *parent, const QString &text) = 0;
    // Two buttons of these captions (First, Second) and Cancel, with the question icon; the first
    // is the default, Escape cancels.
    virtual Answer askChoice(QWidget *parent, const QString &text, const QString &first, const QString &second) = 0;
};

// Application-modal QMessageBox.
std::unique_ptr<MessageBoxes> productionMessages();

// Replaces the message boxes in use and gives the previous ones back.
std::unique_ptr<MessageBoxes> installMessages(std::unique_ptr<MessageBoxes> messages);
MessageBoxes &messages();

} // namespace gui
