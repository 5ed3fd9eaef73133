#include "gui/entryboxes.h"

#include "core/diary.h"
#include "core/entries.h"
#include "core/text.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <utility>

EntryBoxes::EntryBoxes(QLineEdit *keyword, QPlainTextEdit *meaning) : m_keyword(keyword), m_meaning(meaning)
{
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
    m_followed = Followed{index, {keyword(), meaning()}};
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
    if (!change.wholeSection(table) && !change.row(table, index))
        return std::nullopt;
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
