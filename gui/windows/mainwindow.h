#pragma once

#include "core/sections.h"
#include "gui/chrome.h"
#include "gui/forms.h"
#include "gui/sectionchoice.h"

#include <QMainWindow>

#include <array>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The main window: the user picks one of the four diary sections and continues into it.
class MainWindow : public forms::FormWindow<QMainWindow> {
    Q_OBJECT
public:
    // The choice of an earlier main window is kept, though Continue asks for a new one.
    explicit MainWindow(SectionChoice earlier = {});

    const SectionChoice &choice() const { return m_choice; }

    void load() override;
    void unload() override;

    // The table's option, then Continue, as the user would: an option already ticked leaves the
    // choice as it stands.
    void continueInto(sections::Table table);
    // The promotional frame, which the start-up window's draw also decides.
    chrome::PromoFrame *promo() { return &m_promo; }

private:
    void chooseOption(int index);
    void continueIntoSection();
    bool validateChoice();
    void leave();
    // What Continue does before the section window, and an import before it reads: the data
    // folder, the first-use copy and the diary's own password, each with its message; false when
    // one of them stopped it.
    bool readyDiary();

    SectionChoice m_choice;
    ui::LinkLabel *m_forumLink = nullptr;
    std::array<QLabel *, 5> m_captions{};
    QGroupBox *m_sectionFrame = nullptr; // the four sections
    QGroupBox *m_bookFrame = nullptr;    // the book options, never seen
    std::array<QRadioButton *, 6> m_sectionOptions{};
    QLabel *m_picture = nullptr;
    QPushButton *m_continueButton = nullptr;
    chrome::PromoFrame m_promo;
    QMenu *m_fileMenu = nullptr;
    QAction *m_exitAction = nullptr;
    chrome::HelpMenus m_help;

    bool prepareDiary(bool folderReady);
    void showKeptBackups(const QString &kept);
};
