#include "gui/sectionwindowstate.h"

#include "core/sections.h"
#include "gui/frmResultBOS.h"
#include "gui/modBookOfShadows.h"

#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>

SectionWindowMode SectionWindowState(const frmResultBOS &window)
{
    const QString &name = modBookOfShadows::strSection;
    const bool list = window.lstKeyword->isEnabled();
    const bool boxes = window.txtKeyword->isEnabled() && window.txtMeaning->isEnabled();
    const bool others = window.Command3->isEnabled() || window.Command5->isEnabled();
    if (window.Command1->isEnabled()) {
        const bool restEnabled = window.Command2->isEnabled() && window.Command3->isEnabled()
                                 && window.Command4->isEnabled() && window.Command5->isEnabled() && list && boxes;
        const bool restDisabled = !window.Command2->isEnabled() && !window.Command3->isEnabled()
                                  && !window.Command4->isEnabled() && !window.Command5->isEnabled() && !list
                                  && !window.txtKeyword->isEnabled() && !window.txtMeaning->isEnabled();
        if (window.Command1->text() == SectionCaptions::open(name) && restDisabled)
            return SectionWindowMode::Closed;
        if (window.Command1->text() == SectionCaptions::close(name) && restEnabled
            && window.Command2->text() == SectionCaptions::add(name)
            && window.Command4->text() == SectionCaptions::edit(name))
            return SectionWindowMode::Browsing;
        return SectionWindowMode::Other;
    }
    if (others || list || !boxes)
        return SectionWindowMode::Other;
    if (window.Command2->isEnabled() && !window.Command4->isEnabled()
        && window.Command2->text() == SectionCaptions::save(name))
        return SectionWindowMode::Adding;
    if (window.Command4->isEnabled() && !window.Command2->isEnabled()
        && window.Command4->text() == SectionCaptions::save(name))
        return SectionWindowMode::Editing;
    return SectionWindowMode::Other;
}
