// The section window while the diary is locked: the list and the boxes go empty, and what must
// come back (the selected line, what the boxes held) is kept in memory only.

#include "gui/windows/sectionwindow.h"

#include "core/secrets.h"

#include <QItemSelectionModel>
#include <QListView>
#include <QSignalBlocker>
#include <QStringListModel>

void SectionWindow::forget()
{
    m_lockedAt = selectedIndex();
    m_lockedKeyword = selectedKeyword();
    m_boxes->hide();
    const QSignalBlocker quiet(m_keywordList->selectionModel());
    QStringList lines = m_keywords->stringList();
    fillList({});
    secrets::wipe(lines);
}

// The boxes get back what they held: the selection comes back without showing its entry in them.
void SectionWindow::recall()
{
    m_boxes->show();
    const QSignalBlocker keepTyping(m_keywordList->selectionModel());
    refreshList();
    if (m_lockedAt)
        select(*m_lockedAt);
}
