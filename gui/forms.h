#pragma once

// The window registry. A window is created the first time any code refers to it, and its
// load() runs then; at most one window of each class is loaded; unloading runs its unload()
// and destroys the window. The registry keeps the order in which the windows were loaded.

#include <QCloseEvent>
#include <QWidget>

#include <utility>
#include <vector>

namespace forms {

class Form {
public:
    virtual ~Form() = default;
    virtual void load() { }
    virtual void unload() { }
    // While the diary is locked its lock covers every window: forgetDiary() drops what the window
    // holds of the diary, and recallDiary() reads it again once the diary is unlocked, back to
    // where the user was. In between no widget of the window holds any of the diary's text, and
    // the window reads nothing of the diary; what must come back (what the user typed or searched
    // for, the selected line, the mode) is kept in memory only. A window outside the registry that
    // shows the diary implements forget() and recall() too.
    void forgetDiary();
    void recallDiary();
    bool diaryForgotten() const { return m_forgotten; }
    QWidget *widget();

protected:
    virtual void forget() { }
    virtual void recall() { }

private:
    bool m_forgotten = false;
};

// Base of every registered window: closing it (close box, Alt+F4) unloads it.
template <class Base>
class FormWindow : public Base, public Form {
protected:
    using Base::Base;
    void closeEvent(QCloseEvent *event) override;
};

const std::vector<Form *> &loadOrder();
void registerLoaded(Form *form);

// Removes the window from the registry, runs its unload(), hides it and deletes it once
// control returns to the event loop, so that a handler may go on after unloading its own window.
// Unloading a window that is not loaded does nothing.
void unload(Form *form);

// Set by quitAll: from then on no window is shown again.
bool ending();
void setEnding();

// Discards every window without running its unload handler and clears the ending flag, as if
// the program had just started: between test cases and benchmark runs.
void startAfresh();

template <class F>
F *loaded()
{
    for (Form *form : loadOrder())
        if (auto *match = dynamic_cast<F *>(form))
            return match;
    return nullptr;
}

// Any reference to a window: loads it first when it is not loaded. The arguments go to the
// constructor of a window made now; a loaded window keeps what it was made with.
template <class F, class... Args>
F *ref(Args &&...args)
{
    if (F *existing = loaded<F>())
        return existing;
    auto *created = new F(std::forward<Args>(args)...);
    registerLoaded(created);
    created->load();
    return created;
}

template <class F, class... Args>
void show(Args &&...args)
{
    if (ending())
        return;
    ref<F>(std::forward<Args>(args)...)->show();
}

// Hiding a window that is not loaded loads it first, which runs its load.
template <class F>
void hide()
{
    if (ending()) {
        if (F *existing = loaded<F>())
            existing->hide();
        return;
    }
    ref<F>()->hide();
}

template <class Base>
void FormWindow<Base>::closeEvent(QCloseEvent *event)
{
    forms::unload(this);
    event->accept();
}

} // namespace forms
