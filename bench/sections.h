#pragma once

// Every action of the section window on one diary size, each beside its floor.

#include "harness.h"

#include "gui/sectionchoice.h"

#include <QString>
#include <QStringList>

#include <map>

namespace bench {

struct Figures {
    double window = 0;   // through SectionWindow, with reload and repaint where the action has them
    double floor = 0;    // reopen rule + the same SQL on an open connection + the bare widget work
    double store = 0;    // the store's own call (the database part of the window's action)
    double floorSql = 0; // reopen rule + the same SQL on an open connection
};

inline const QStringList kActions{QStringLiteral("load"), QStringLiteral("select"), QStringLiteral("add"),
                                  QStringLiteral("edit"), QStringLiteral("remove"), QStringLiteral("refresh")};

using Results = std::map<QString, std::map<int, Figures>>; // action -> entries -> figures

// The diary section every action works on.
inline const QString kTable = QStringLiteral("tblspell");
inline constexpr int kSection = 0;
inline const QString kSectionName = QStringLiteral("Spell");
// The main window's choice that opens it.
inline const SectionChoice kChoice{kSection, kSectionName, sections::Table::Spell};

// Makes the working diary with this many entries and measures every action on it; the diary
// holds the same rows again afterwards.
void measureSection(const Run &run, int entries, Results &results);

} // namespace bench
