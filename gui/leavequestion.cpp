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

Underneath askChangedUnderneath(QWidget *window, const std::optional<store::Entry> &now)
{
    // A long meaning would make a window taller than the screen.
    constexpr qsizetype kShown = 300;
    QString text;
    if (now) {
        const QString meaning = now->meaning.size() > kShown ? now->meaning.left(kShown) + QChar(0x2026) : now->meaning;
        text = QStringLiteral("While you edited this entry, it changed in the diary. The diary now holds:\n\n"
                              "Keyword: %1\nMeaning: %2\n\n"
                              "Keep your text in its place, or take the diary's and give up yours?")
                   .arg(now->keyword, meaning);
    } else {
        text = QStringLiteral("While you edited this entry, it was removed from the diary.\n\n"
                              "Keep your text as a new entry, or take the diary as it is and give up yours?");
    }
    switch (
        gui::messages().askChoice(window, text, QStringLiteral("&Keep Mine"), QStringLiteral("&Take the Diary's"))) {
    case gui::Answer::First: return Underneath::KeepMine;
    case gui::Answer::Second: return Underneath::TakeTheDiarys;
    default: return Underneath::Stay;
    }
}

NoEntry askAddInstead(QWidget *window)
{
    const QString text =
        QStringLiteral("No entry was selected when you pressed Edit, so there is no entry to change.\n\n"
                       "Add what you typed as a new entry?");
    switch (gui::messages().askChoice(window, text, QStringLiteral("&Add as New Entry"), QStringLiteral("&Discard"))) {
    case gui::Answer::First: return NoEntry::AddAsNew;
    case gui::Answer::Second: return NoEntry::Discard;
    default: return NoEntry::Stay;
    }
}

} // namespace leavequestion
