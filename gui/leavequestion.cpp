#include "gui/leavequestion.h"

#include "gui/messages.h"

namespace leavequestion {

bool mayLeave(QWidget *window, Entry entry, const std::function<bool()> &save)
{
    const QString question = entry == Entry::New ? QStringLiteral("Save the entry you are writing?")
                                                 : QStringLiteral("Save your changes to this entry?");
    switch (gui::messages().askSaveDiscardCancel(window, question)) {
    case gui::Answer::Save: return save();
    case gui::Answer::Discard: return true;
    default: return false;
    }
}

} // namespace leavequestion
