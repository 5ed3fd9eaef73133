#pragma once

// The four diary sections, in the order of the main window's options: the one place that names
// each section, its table and the texts the windows show for it.

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace sections {

enum class Table { Spell, Incense, Recipes, Rituals };
inline constexpr std::array<Table, 4> kTables{Table::Spell, Table::Incense, Table::Recipes, Table::Rituals};

struct Section {
    Table table;
    // Composes the section window's captions, its title and its table's name.
    QString name;
    // The wording differs between sections on purpose (e.g. "Open Spell" but "the Spells Section").
    QString instruction;
    QString helpText;

    // The main window's option and the section window's title: "Spell Section".
    QString title() const { return name + QStringLiteral(" Section"); }
};

extern const std::array<Section, 4> kSections;

const Section &section(Table table);
// The section of a main-window option, 0 to 3; none for the book options and anything else.
const Section *sectionAt(int option);

// The SQL name of a section's table, "tblspell"; no other table is ever named in SQL.
QString tableName(Table table);
// One of the four tables by its name, letters in any case ("tblspell", "tblSpell"); nothing else.
std::optional<Table> tableNamed(QStringView name);

// The "Load Book" option (index 4) shows only this title in the section window.
inline const QString kLoadBookTitle = QStringLiteral("Load Book");
inline constexpr int kLoadBookOption = 4;

} // namespace sections

// The captions the section window composes from the chosen section's name at run time.
namespace captions {
inline QString open(const QString &name)
{
    return QStringLiteral("&Open ") + name;
}
inline QString close(const QString &name)
{
    return QStringLiteral("&Close ") + name;
}
inline QString add(const QString &name)
{
    return QStringLiteral("&Add ") + name;
}
inline QString save(const QString &name)
{
    return QStringLiteral("&Save ") + name;
}
inline QString edit(const QString &name)
{
    return QStringLiteral("&Edit ") + name;
}
inline QString remove(const QString &name)
{
    return QStringLiteral("&Remove ") + name;
}
inline QString exit(const QString &name)
{
    return QStringLiteral("E&xit ") + name;
}
// The table that run-time operations name: "tbl" followed by the section name.
inline QString table(const QString &name)
{
    return QStringLiteral("tbl") + name;
}
} // namespace captions
