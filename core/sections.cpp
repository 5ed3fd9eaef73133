#include "core/sections.h"

namespace sections {

const std::array<Section, 4> kSections{{
    {Table::Spell, QStringLiteral("Spell"), QStringLiteral("Click on Open Spell to Access the Spells Section"),
     QStringLiteral("Add your new spell secrets and save them. Add, edit or remove the selected spells according "
                    "to your preferences.")},
    {Table::Incense, QStringLiteral("Incense"), QStringLiteral("Click on Open Incense to Access the Incense Section"),
     QStringLiteral("Add your new incense secrets and save them. Add, edit or remove the selected incense according "
                    "to your preferences.")},
    {Table::Recipes, QStringLiteral("Recipes"), QStringLiteral("Click on Open Recipes to Access the Recipes Section"),
     QStringLiteral("Add your new recipe secrets and save them. Add, edit or remove the selected recipes according "
                    "to your preferences.")},
    {Table::Rituals, QStringLiteral("Rituals"), QStringLiteral("Click on Open Rituals to Access the Rituals Section"),
     QStringLiteral("Add your new ritual secrets and save them. Add, edit or remove the selected rituals according "
                    "to your preferences.")},
}};

const Section &section(Table table)
{
    return kSections[static_cast<std::size_t>(table)];
}

const Section *sectionAt(int option)
{
    if (option >= 0 && option < int(kSections.size()))
        return &kSections[std::size_t(option)];
    return nullptr;
}

QString tableName(Table table)
{
    const auto index = static_cast<std::size_t>(table);
    return index < kSections.size() ? captions::table(kSections[index].name).toLower() : QString();
}

std::optional<Table> tableNamed(QStringView name)
{
    for (const Section &candidate : kSections)
        if (name.compare(tableName(candidate.table), Qt::CaseInsensitive) == 0)
            return candidate.table;
    return std::nullopt;
}

} // namespace sections
