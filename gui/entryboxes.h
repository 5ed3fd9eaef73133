#pragma once

// The keyword and meaning boxes of the section window, with what they were last given: an
// untouched meaning is written back exactly as it was read, and leaving can tell what the user
// changed.

#include <QString>

class QLineEdit;
class QPlainTextEdit;

class EntryBoxes {
public:
    EntryBoxes(QLineEdit *keyword, QPlainTextEdit *meaning);

    void set(const QString &keyword, const QString &meaning);
    QString keyword() const;
    QString meaning() const;
    // Whether leaving now would lose words the user wrote.
    bool unsaved(bool newEntry) const;

private:
    QLineEdit *m_keyword;
    QPlainTextEdit *m_meaning;
    QString m_shownKeyword;
    QString m_shownMeaning;
    QString m_shownRaw;
};
