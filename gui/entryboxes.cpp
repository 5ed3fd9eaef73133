#include "gui/entryboxes.h"

#include "core/entries.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

EntryBoxes::EntryBoxes(QLineEdit *keyword, QPlainTextEdit *meaning) : m_keyword(keyword), m_meaning(meaning)
{
}

void EntryBoxes::set(const QString &keyword, const QString &meaning)
{
    m_keyword->setText(keyword);
    m_meaning->setPlainText(meaning);
    m_shownKeyword = keyword;
    m_shownMeaning = meaning;
    m_shownRaw = m_meaning->document()->toRawText();
}

QString EntryBoxes::keyword() const
{
    return m_keyword->text();
}

QString EntryBoxes::meaning() const
{
    // The box turns "\r\n" and a lone "\r" into paragraph breaks; what it shows unchanged is
    // given back as it was read.
    const QString shown = m_meaning->document()->toRawText();
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
