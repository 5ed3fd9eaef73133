#pragma once

#include "app/forms.h"

#include <QMainWindow>

class QAction;
class QMenu;

// The section window: lists, shows and edits the entries of the chosen diary section.
class frmResultBOS : public forms::FormWindow<QMainWindow> {
    Q_OBJECT
public:
    frmResultBOS();

    void Form_Load() override;
    void Form_Unload() override;

    void mnuBack_Click();
    void mnuExit_Click();

    QMenu *mnuFile = nullptr;
    QAction *mnuBack = nullptr;
    QAction *mnuExit = nullptr;
};
