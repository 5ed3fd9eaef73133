#include "diary/SectionProfile.h"

// The wording differs between sections on purpose (e.g. "Open Spell" but "the Spells Section").
const std::array<SectionProfile, 4> SectionProfiles{{
    {0, QStringLiteral("Spell"), QStringLiteral("Spell Section"),
     QStringLiteral("Click on Open Spell to Access the Spells Section"),
     QStringLiteral("Add your new spell secrets and save them. Add, edit or remove the selected spells according "
                    "to your preferences."),
     QStringLiteral("&Open Spell"), QStringLiteral("&Add Spell"), QStringLiteral("&Remove Spell"),
     QStringLiteral("&Edit Spell"), QStringLiteral("E&xit Spell"), QStringLiteral("tblspell")},
    {1, QStringLiteral("Incense"), QStringLiteral("Incense Section"),
     QStringLiteral("Click on Open Incense to Access the Incense Section"),
     QStringLiteral("Add your new incense secrets and save them. Add, edit or remove the selected incense according "
                    "to your preferences."),
     QStringLiteral("&Open Incense"), QStringLiteral("&Add Incense"), QStringLiteral("&Remove Incense"),
     QStringLiteral("&Edit Incense"), QStringLiteral("E&xit Incense"), QStringLiteral("tblincense")},
    {2, QStringLiteral("Recipes"), QStringLiteral("Recipes Section"),
     QStringLiteral("Click on Open Recipes to Access the Recipes Section"),
     QStringLiteral("Add your new recipe secrets and save them. Add, edit or remove the selected recipes according "
                    "to your preferences."),
     QStringLiteral("&Open Recipes"), QStringLiteral("&Add Recipes"), QStringLiteral("&Remove Recipes"),
     QStringLiteral("&Edit Recipes"), QStringLiteral("E&xit Recipes"), QStringLiteral("tblrecipes")},
    {3, QStringLiteral("Rituals"), QStringLiteral("Rituals Section"),
     QStringLiteral("Click on Open Rituals to Access the Rituals Section"),
     QStringLiteral("Add your new ritual secrets and save them. Add, edit or remove the selected rituals according "
                    "to your preferences."),
     QStringLiteral("&Open Rituals"), QStringLiteral("&Add Rituals"), QStringLiteral("&Remove Rituals"),
     QStringLiteral("&Edit Rituals"), QStringLiteral("E&xit Rituals"), QStringLiteral("tblrituals")},
}};

const SectionProfile LoadBookProfile{4, {}, QStringLiteral("Load Book"), {}, {}, {}, {}, {}, {}, {}, {}};

const SectionProfile *profileOf(int number)
{
    if (number >= 0 && number < int(SectionProfiles.size()))
        return &SectionProfiles[std::size_t(number)];
    if (number == LoadBookProfile.number)
        return &LoadBookProfile;
    return nullptr;
}
