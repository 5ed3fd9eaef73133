#include "gui/sectionwindowstate.h"

#include "core/sections.h"
#include "gui/windows/sectionwindow.h"
#include "gui/modBookOfShadows.h"

#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>

SectionWindowMode SectionWindowState(const SectionWindow &window)
{
    const QString &name = modBookOfShadows::strSection;
    const bool list = window.m_keywordList->isEnabled();
    const bool boxes = window.m_keywordEdit->isEnabled() && window.m_meaningEdit->isEnabled();
    const bool others = window.m_removeButton->isEnabled() || window.m_exitButton->isEnabled();
    if (window.m_openButton->isEnabled()) {
        const bool restEnabled = window.m_addButton->isEnabled() && window.m_removeButton->isEnabled()
                                 && window.m_editButton->isEnabled() && window.m_exitButton->isEnabled() && list && boxes;
        const bool restDisabled = !window.m_addButton->isEnabled() && !window.m_removeButton->isEnabled()
                                  && !window.m_editButton->isEnabled() && !window.m_exitButton->isEnabled() && !list
                                  && !window.m_keywordEdit->isEnabled() && !window.m_meaningEdit->isEnabled();
        if (window.m_openButton->text() == captions::open(name) && restDisabled)
            return SectionWindowMode::Closed;
        if (window.m_openButton->text() == captions::close(name) && restEnabled
            && window.m_addButton->text() == captions::add(name)
            && window.m_editButton->text() == captions::edit(name))
            return SectionWindowMode::Browsing;
        return SectionWindowMode::Other;
    }
    if (others || list || !boxes)
        return SectionWindowMode::Other;
    if (window.m_addButton->isEnabled() && !window.m_editButton->isEnabled()
        && window.m_addButton->text() == captions::save(name))
        return SectionWindowMode::Adding;
    if (window.m_editButton->isEnabled() && !window.m_addButton->isEnabled()
        && window.m_editButton->text() == captions::save(name))
        return SectionWindowMode::Editing;
    return SectionWindowMode::Other;
}
