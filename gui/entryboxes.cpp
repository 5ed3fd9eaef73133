#include "gui/entryboxes.h"

#include "core/diary.h"
#include "core/entries.h"
#include "core/text.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <utility>

namespace {
// A box takes Ctrl+Z (and Redo's keys) for itself only while it has typing to take back (or
// again); otherwise the keys go to the window's Undo and Redo, which take back the last save.
class UndoWhatWasTyped : public QObject {
public:
    UndoWhatWasTyped(QLineEdit *keyword, QPlainTextEdit *meaning) : QObject(keyword), m_meaning(meaning)
    {
        keyword->installEventFilter(this);
        meaning->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *box, QEvent *event) override
    {
        if (event->type() != QEvent::ShortcutOverride)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool undo = key->matches(QKeySequence::Undo);
        if (!undo && !key->matches(QKeySequence::Redo) && key->keyCombination() != (Qt::CTRL | Qt::Key_Y))
            return false;
        const QTextDocument *text = m_meaning->document();
        const auto *line = qobject_cast<QLineEdit *>(box);
        const bool typed = line ? (undo ? line->isUndoAvailable() : line->isRedoAvailable())
                                : (undo ? text->isUndoAvailable() : text->isRedoAvailable());
        if (typed)
            return false;
        event->ignore();
        return true;
    }

private:
    QPlainTextEdit *m_meaning;
};
} // namespace

EntryBoxes::EntryBoxes(QLineEdit *keyword, QPlainTextEdit *meaning) : m_keyword(keyword), m_meaning(meaning)
{
    new UndoWhatWasTyped(keyword, meaning);
}

void EntryBoxes::set(const QString &keyword, const QString &meaning)
{
    if (m_held) {
        // As the box would keep it.
        QTextDocument box;
        box.setPlainText(meaning);
        m_held = Held{keyword, box.toRawText()};
    } else {
        m_keyword->setText(keyword);
        m_meaning->setPlainText(meaning);
    }
    m_shownKeyword = keyword;
    m_shownMeaning = meaning;
    m_shownRaw = rawMeaning();
    m_followed.reset();
}

void EntryBoxes::follow(qint64 index)
{
    // What was typed is saved: Ctrl+Z now takes the save back, not the typing.
    m_keyword->setText(m_keyword->text());
    m_meaning->document()->clearUndoRedoStacks();
    // They were given what they show now.
    m_shownKeyword = keyword();
    m_shownMeaning = meaning();
    m_shownRaw = rawMeaning();
    m_followed = Followed{index, {m_shownKeyword, m_shownMeaning}};
}

std::optional<store::Failure> EntryBoxes::followDiary(const DiaryChange &change, store::Table table)
{
    if (!m_followed)
        return std::nullopt;
    const store::Entry shown{keyword(), meaning()};
    if (shown != m_followed->shown) {
        m_followed.reset();
        return std::nullopt;
    }
    const qint64 index = m_followed->index;
    // A change of this program names the entry as it is now, under whatever keyword it has.
    if (!change.wholeSection(table)) {
        const DiaryChange::Row *row = change.row(table, index);
        if (!row)
            return std::nullopt;
        set(row->now ? row->now->keyword : QString(), row->now ? row->now->meaning : QString());
        if (row->now)
            follow(index);
        return std::nullopt;
    }
    const auto entry = Diary::working().entry(table, index);
    if (!entry.ok())
        return entry.failure();
    // A row under another keyword is another entry (the file was replaced): as if it were gone.
    const bool same = *entry && (*entry)->keyword == text::trimSpaces(shown.keyword);
    set(same ? (*entry)->keyword : QString(), same ? (*entry)->meaning : QString());
    if (same)
        follow(index);
    return std::nullopt;
}

QString EntryBoxes::keyword() const
{
    return m_held ? m_held->keyword : m_keyword->text();
}

QString EntryBoxes::meaning() const
{
    // The box turns "\r\n" and a lone "\r" into paragraph breaks; what it shows unchanged is
    // given back as it was read.
    const QString shown = rawMeaning();
    if (shown == m_shownRaw)
        return m_shownMeaning;
    QString text = shown;
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

bool EntryBoxes::unsaved(bool newEntry) const
{
    return entries::unsaved(newEntry, keyword(), meaning(), m_shownKeyword, m_shownMeaning);
}

void EntryBoxes::hide()
{
    if (m_held)
        return;
    m_held = Held{m_keyword->text(), rawMeaning()};
    // setText, unlike clear, also drops the box's undo steps, which hold what was typed.
    m_keyword->setText(QString());
    m_meaning->setPlainText(QString());
}

void EntryBoxes::show()
{
    if (!m_held)
        return;
    const Held held = *std::exchange(m_held, std::nullopt);
    m_keyword->setText(held.keyword);
    // A paragraph break goes in as one; the box reads back exactly what it held.
    m_meaning->setPlainText(held.rawMeaning);
}

QString EntryBoxes::rawMeaning() const
{
    return m_held ? m_held->rawMeaning : m_meaning->document()->toRawText();
}
