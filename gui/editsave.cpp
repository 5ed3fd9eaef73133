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
} // namespace

Outcome save(QWidget *window, store::Table table, qint64 index, const store::Entry &given, const store::Entry &typed)
{
    Diary &diary = Diary::working();
    const auto now = diary.entry(table, index);
    if (!now.ok())
        return failed(window, now.failure());
    if (*now != given) {
        switch (leavequestion::askChangedUnderneath(window, *now)) {
        case leavequestion::Underneath::Stay: return {};
        case leavequestion::Underneath::TakeTheDiarys: return {Outcome::Kind::TookTheDiary, *now};
        case leavequestion::Underneath::KeepMine: break;
        }
    }
    if (*now) {
        if (const auto updated = diary.update(table, index, typed); !updated.ok())
            return failed(window, updated.failure());
    } else if (const auto added = diary.add(table, typed); !added.ok()) {
        return failed(window, added.failure());
    }
    return {Outcome::Kind::Written, std::nullopt};
}

} // namespace editsave
