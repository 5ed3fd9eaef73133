#pragma once

// Everything the section window's captions and enabled states follow from, as one value: the
// window's mode, and which of its two-step buttons (Open/Close, Add/Save, Edit/Save) still show
// the caption they were drawn with. A button's caption names the step its click takes; a drawn
// caption ("&Open", "&Add", "&Edit") names no section and is not the caption of a first step, so
// such a button takes its second step on its first click. Any step of a button gives it the
// caption of the mode from then on. A section's load gives every button that caption; a book
// option loads no section and leaves the drawn ones.

#include <QString>

#include <cstdint>
#include <optional>

class SectionState {
public:
    enum class Mode { Closed, Browsing, Adding, Editing };
    enum class Button { Open, Add, Edit };

    // As the window is drawn: closed, every two-step button with its drawn caption.
    SectionState() = default;
    // A section loaded: closed, every caption that of the mode.
    static SectionState loaded() { return SectionState(Mode::Closed, 0); }

    Mode mode() const { return m_mode; }
    // An entry is being added or edited: every other control waits until it is saved or given up.
    bool writing() const { return m_mode == Mode::Adding || m_mode == Mode::Editing; }
    // Whether a click on the button takes its first step: open, start adding, start editing.
    bool firstStep(Button button) const;
    // The caption the mode gives the button; none while it shows its drawn caption.
    std::optional<QString> caption(Button button, const QString &section) const;
    bool enabled(Button button) const;
    // The list, Remove and Exit.
    bool listEnabled() const { return m_mode == Mode::Browsing; }
    bool boxesEnabled() const { return m_mode != Mode::Closed; }
    // Whether some button still shows its drawn caption: no section was loaded, or a book option
    // left its buttons half way.
    bool anyDrawn() const { return m_drawn != 0; }

    // The steps, each the state it leads to.
    SectionState opened() const { return stepOf(Button::Open, Mode::Browsing); }
    SectionState closed() const { return stepOf(Button::Open, Mode::Closed); }
    SectionState adding() const { return stepOf(Button::Add, Mode::Adding); }
    SectionState editing() const { return stepOf(Button::Edit, Mode::Editing); }
    // Browsing again, once the entry this button began was saved or given up.
    SectionState browsingAfter(Button button) const { return stepOf(button, Mode::Browsing); }

private:
    static constexpr std::uint8_t kEveryButton = 0b111;
    SectionState(Mode mode, std::uint8_t drawn) : m_mode(mode), m_drawn(drawn) { }
    SectionState stepOf(Button button, Mode next) const;
    bool drawn(Button button) const;
    // Whether the button shows the caption of its first step in this mode.
    bool showsFirstStep(Button button) const;

    Mode m_mode = Mode::Closed;
    std::uint8_t m_drawn = kEveryButton;
};
