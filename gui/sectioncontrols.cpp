#include "gui/sectioncontrols.h"

#include "gui/chrome.h"
#include "gui/quickprefixlistmodel.h"
#include "gui/ui.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>

#include <limits>

SectionControls SectionControls::make(QMainWindow *window, QWidget *client)
{
    SectionControls controls;
    chrome::addForumLink(client, QRect(728, 0, 5115, 390));

    controls.captions[0] =
        ui::plainLabel(client, QStringLiteral("lblCaption_0"), QStringLiteral("Caption"), ui::verdana(11.25, true));
    controls.captions[0]->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    controls.captions[1] =
        ui::plainLabel(client, QStringLiteral("lblCaption_1"),
                       QStringLiteral("Click on Open Spell to Access the Spells Section"), ui::verdana(9.75, true));
    controls.captions[2] =
        ui::plainLabel(client, QStringLiteral("lblCaption_2"),
                       QStringLiteral("Add your new spell secrets and save them. Add, edit or remove the selected "
                                      "spells according to your preferences."),
                       ui::verdana(9.75));
    controls.captions[2]->setWordWrap(true);
    ui::place(controls.captions[2], 98, 1200, 6375, 480);

    controls.keywords = new QuickPrefixListModel(window);
    controls.keywordList = new QListView(client);
    controls.keywordList->setObjectName(QStringLiteral("lstKeyword"));
    controls.keywordList->setAccessibleName(QStringLiteral("Keywords"));
    controls.keywordList->setModel(controls.keywords);
    controls.keywordList->setUniformItemSizes(true);
    controls.keywordList->setSelectionMode(QAbstractItemView::SingleSelection);
    controls.keywordList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui::setColor(controls.keywordList, QPalette::Base, Qt::white);
    controls.keywordList->setGeometry(ui::twips(98, 1860, 6375, 1035));

    controls.openButton = chrome::addCommandButton(client, QStringLiteral("Command1"), QStringLiteral("&Open"), 3120);
    controls.addButton = chrome::addCommandButton(client, QStringLiteral("Command2"), QStringLiteral("&Add"), 3465);
    controls.removeButton =
        chrome::addCommandButton(client, QStringLiteral("Command3"), QStringLiteral("&Remove"), 3810);
    controls.editButton = chrome::addCommandButton(client, QStringLiteral("Command4"), QStringLiteral("&Edit"), 4155);
    controls.exitButton = chrome::addCommandButton(client, QStringLiteral("Command5"), QStringLiteral("E&xit"), 4500);

    QLabel *keywordLabel =
        ui::plainLabel(client, QStringLiteral("Label1"), QStringLiteral("Keyword"), ui::verdana(8.25, true));
    ui::fitToText(keywordLabel, 105, 4920, 840, 195);
    controls.keywordEdit = new QLineEdit(client);
    controls.keywordEdit->setObjectName(QStringLiteral("txtKeyword"));
    controls.keywordEdit->setAccessibleName(QStringLiteral("Keyword"));
    controls.keywordEdit->setMaxLength(std::numeric_limits<int>::max());
    ui::setColor(controls.keywordEdit, QPalette::Base, Qt::white);
    ui::place(controls.keywordEdit, 98, 5160, 6375, 285);
    keywordLabel->setBuddy(controls.keywordEdit);

    QLabel *meaningLabel =
        ui::plainLabel(client, QStringLiteral("Label2"), QStringLiteral("Meaning"), ui::verdana(8.25, true));
    ui::fitToText(meaningLabel, 105, 5520, 810, 195);
    controls.meaningEdit = new QPlainTextEdit(client);
    controls.meaningEdit->setObjectName(QStringLiteral("txtMeaning"));
    controls.meaningEdit->setAccessibleName(QStringLiteral("Meaning"));
    controls.meaningEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    controls.meaningEdit->setTabChangesFocus(true);
    ui::setColor(controls.meaningEdit, QPalette::Base, Qt::white);
    controls.meaningEdit->setGeometry(ui::twips(98, 5760, 6375, 1035));
    meaningLabel->setBuddy(controls.meaningEdit);

    chrome::addPromoFrame(client, QRect(98, 6840, 6375, 855), QRect(60, 165, 6300, 615));

    // Below the client area, never seen: it only carries the reload. Its access key would make
    // Alt+R ambiguous with the Remove button, so it has none.
    controls.refreshButton = new QPushButton(QStringLiteral("&Refresh"), client);
    controls.refreshButton->setObjectName(QStringLiteral("cmdRefresh"));
    controls.refreshButton->setShortcut(QKeySequence());
    controls.refreshButton->setFocusPolicy(Qt::NoFocus);
    controls.refreshButton->setGeometry(ui::twips(360, 7800, 855, 375));

    return controls;
}
