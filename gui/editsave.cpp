#include "gui/editsave.h"

#include "core/diary.h"
#include "gui/leavequestion.h"
#include "gui/messages.h"

namespace editsave {

namespace {
Outcome failed(QWidget *window, const store::Failure &failure)
{
    gui::messages().show(window, store::message(failure), gui::MessageIcon::Critical);
    return {};
}

Outcome added(QWidget *window, store::Table table, const store::Entry &typed)
{
    const auto added = Diary::working().add(table, typed);
    if (!added.ok())
        return failed(window, added.failure());
    return {Outcome::Kind::Written, std::nullopt, *added};
}
} // namespace

Outcome save(QWidget *window, store::Table table, std::optional<qint64> index, const store::Entry &given,
             const store::Entry &typed)
{
    if (!index) {
        const leavequestion::NoEntry answer = leavequestion::askAddInstead(window);
        if (answer == leavequestion::NoEntry::AddAsNew)
            return added(window, table, typed);
        Outcome outcome;
        if (answer == leavequestion::NoEntry::Discard)
            outcome.kind = Outcome::Kind::GaveUp;
        return outcome;
    }
    Diary &diary = Diary::working();
    const auto now = diary.entry(table, *index);
    if (!now.ok())
        return failed(window, now.failure());
    if (*now != given) {
        switch (leavequestion::askChangedUnderneath(window, *now)) {
        case leavequestion::Underneath::Stay: return {};
        case leavequestion::Underneath::TakeTheDiarys: return {Outcome::Kind::TookTheDiary, *now, *index};
        case leavequestion::Underneath::KeepMine: break;
        }
    }
    if (!*now)
        return added(window, table, typed);
    if (const auto updated = diary.update(table, *index, typed); !updated.ok())
        return failed(window, updated.failure());
    return {Outcome::Kind::Written, std::nullopt, *index};
}

} // namespace editsave
