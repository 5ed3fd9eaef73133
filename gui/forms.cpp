#include "gui/forms.h"

#include "core/diary.h"

#include <algorithm>

namespace forms {

namespace {
std::vector<Form *> &registry()
{
    static std::vector<Form *> windows;
    return windows;
}
bool g_ending = false;
} // namespace

// The window sees its own state whole while it forgets it, and again as it recalls it.
void Form::forgetDiary()
{
    forget();
    m_forgotten = true;
}

void Form::recallDiary()
{
    m_forgotten = false;
    recall();
}

QWidget *Form::widget()
{
    return dynamic_cast<QWidget *>(this);
}

const std::vector<Form *> &loadOrder()
{
    return registry();
}

void registerLoaded(Form *form)
{
    registry().push_back(form);
}

void unload(Form *form)
{
    auto &windows = registry();
    const auto found = std::find(windows.begin(), windows.end(), form);
    if (found == windows.end())
        return;
    windows.erase(found);
    form->unload();
    if (QWidget *window = form->widget()) {
        window->hide();
        window->deleteLater();
    }
}

bool ending()
{
    return g_ending;
}

void setEnding()
{
    g_ending = true;
}

void startAfresh()
{
    g_ending = true; // no unload handler may show another window on the way out
    while (!registry().empty()) {
        Form *form = registry().front();
        registry().erase(registry().begin());
        if (QWidget *window = form->widget()) {
            window->hide();
            window->deleteLater();
        }
    }
    g_ending = false;
    Diary::working().startAfresh();
}

} // namespace forms
