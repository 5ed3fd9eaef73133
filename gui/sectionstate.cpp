#include "gui/sectionstate.h"

#include "core/sections.h"

#include <array>

namespace {
struct Steps {
    // The mode the button belongs to: the only one besides browsing in which it is enabled.
    SectionState::Mode own;
    // Whether its own mode shows the caption of the first step (Open) or of the second (Save).
    bool firstInOwnMode;
    QString (*first)(const QString &);
    QString (*second)(const QString &);
};

const Steps &steps(SectionState::Button button)
{
    using Mode = SectionState::Mode;
    static const std::array<Steps, 3> table{{
        {Mode::Closed, true, captions::open, captions::close},
        {Mode::Adding, false, captions::add, captions::save},
        {Mode::Editing, false, captions::edit, captions::save},
    }};
    return table[std::size_t(button)];
}

std::uint8_t bit(SectionState::Button button)
{
    return std::uint8_t(1u << unsigned(button));
}
} // namespace

bool SectionState::drawn(Button button) const
{
    return (m_drawn & bit(button)) != 0;
}

bool SectionState::showsFirstStep(Button button) const
{
    const Steps &own = steps(button);
    return (m_mode == own.own) == own.firstInOwnMode;
}

bool SectionState::firstStep(Button button) const
{
    return !drawn(button) && showsFirstStep(button);
}

std::optional<QString> SectionState::caption(Button button, const QString &section) const
{
    if (drawn(button))
        return std::nullopt;
    const Steps &own = steps(button);
    return showsFirstStep(button) ? own.first(section) : own.second(section);
}

bool SectionState::enabled(Button button) const
{
    return m_mode == Mode::Browsing || m_mode == steps(button).own;
}

SectionState SectionState::stepOf(Button button, Mode next) const
{
    return SectionState(next, std::uint8_t(m_drawn & ~bit(button)));
}
