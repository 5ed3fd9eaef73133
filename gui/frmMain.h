#pragma once

#include "gui/chrome.h"
#include "gui/forms.h"

#include <QMainWindow>

#include <array>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The main window: the user picks one of the four diary sections and continues into it.
class frmMain : public forms::FormWindow<QMainWindow> {
    Q_OBJECT
public:
    frmMain();

    void Form_Load() override;
    void Form_Unload() override;

    void optOption_Click(int index);
    void cmdContinue_Click();
    bool ValidateChoice();
    // What Continue does before the section window: the data folder, the first-use copy and the
    // diary's own password, each with its message; false when one of them stopped it.
    bool workingDiaryReady();
    void mnuExit_Click();
    void mnuAbout_Click();

    ui::LinkLabel *Label14 = nullptr;
    std::array<QLabel *, 5> lblCaptions{};
    QGroupBox *Frame2 = nullptr;
    QGroupBox *Frame1 = nullptr;
    std::array<QRadioButton *, 6> optOption{};
    QLabel *Picture1 = nullptr;
    QPushButton *cmdContinue = nullptr;
    chrome::PromoFrame promo;
    QMenu *mnuFile = nullptr;
    QAction *mnuExit = nullptr;
    chrome::HelpMenus help;

private:
    bool prepareDiary(bool folderReady);
    void reportFailure(const QString &message, const QString &detail);
    void showKeptBackups(const QString &kept);
};
