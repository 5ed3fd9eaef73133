#pragma once

// The fixed texts of the four diary sections, and the captions the section window composes from
// a section's name at run time.

#include <QString>

#include <array>

struct SectionProfile {
    int number = 0;
    QString name;
    QString title;
    QString instruction;
    QString helpText;
    QString openCaption;
    QString addCaption;
    QString removeCaption;
    QString editCaption;
    QString exitCaption;
    QString loadTable; // empty in the reduced profile, which fills no list

    QString loadQuery() const { return loadTable.isEmpty() ? QString() : QStringLiteral("select * from ") + loadTable; }
    // A reduced profile sets only the three labels and ends the load there.
    bool reduced() const { return loadTable.isEmpty(); }
};

extern const std::array<SectionProfile, 4> SectionProfiles;
// The "Load Book" choice: a title and two empty labels, nothing else.
extern const SectionProfile LoadBookProfile;

// The profile of a section number: 0 to 3 the sections, 4 the reduced one, none for others.
const SectionProfile *profileOf(int number);

namespace SectionCaptions {
inline QString open(const QString &name) { return QStringLiteral("&Open ") + name; }
inline QString close(const QString &name) { return QStringLiteral("&Close ") + name; }
inline QString add(const QString &name) { return QStringLiteral("&Add ") + name; }
inline QString save(const QString &name) { return QStringLiteral("&Save ") + name; }
inline QString edit(const QString &name) { return QStringLiteral("&Edit ") + name; }
// The table that run-time operations name: "tbl" followed by the section name.
inline QString table(const QString &name) { return QStringLiteral("tbl") + name; }
} // namespace SectionCaptions
