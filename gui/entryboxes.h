#pragma once

// The keyword and meaning boxes of the section window, with what they were last given: an
// untouched meaning is written back exactly as it was read, and leaving can tell what the user
// changed. While the diary is locked the boxes are empty and what they held is kept here, in
// memory only; it is read and given as if they still held it, and goes back into them at unlock.

#include "core/store/store.h"

#include <QString>

#include <optional>

struct DiaryChange;
class QLineEdit;
class QPlainTextEdit;

class EntryBoxes {
public:
    EntryBoxes(QLineEdit *keyword, QPlainTextEdit *meaning);

    void set(const QString &keyword, const QString &meaning);
    QString keyword() const;
    QString meaning() const;
    // What the boxes were last given, as it was read.
    store::Entry given() const { return {m_shownKeyword, m_shownMeaning}; }
    // Whether leaving now would lose words the user wrote.
    bool unsaved(bool newEntry) const;

    // After an edit is saved the boxes keep its text, with nothing left to undo in them: until
    // they are set or typed in, they follow that entry as the diary changes, and empty when it goes. Gives the
    // diary's failure to read it.
    void follow(qint64 index);
    // The entry they follow, while they do.
    std::optional<qint64> followed() const { return m_followed ? std::optional(m_followed->index) : std::nullopt; }
    std::optional<store::Failure> followDiary(const DiaryChange &change, store::Table table);

    // Empties the boxes, keeping what they held.
    void hide();
    // Puts back what they held.
    void show();

private:
    // The meaning box's text as the box keeps it (paragraph breaks as U+2029).
    QString rawMeaning() const;

    QLineEdit *m_keyword;
    QPlainTextEdit *m_meaning;
    QString m_shownKeyword;
    QString m_shownMeaning;
    QString m_shownRaw;
    struct Held {
        QString keyword;
        QString rawMeaning;
    };
    std::optional<Held> m_held;
    struct Followed {
        qint64 index = 0;
        store::Entry shown;
    };
    std::optional<Followed> m_followed;
};
