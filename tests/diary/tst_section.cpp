// The section window driven as a user drives it, from the main window's choice to the diary file,
// with a real SQLCipher diary per test read back through a separate connection.

#include "controls.h"
#include "diaryfiles.h"
#include "fixture.h"
#include "mounts.h"
#include "sectionwindow.h"
#include "testmain.h"

#include "core/sections.h"
#include "core/store/store.h"
#include "gui/forms.h"
#include "gui/ui.h"
#include "gui/windows/exitwindow.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/sectionwindow.h"
#include "gui/windows/startupwindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QtTest>

#include <algorithm>

#include <memory>

using Mode = SectionWindow::Mode;
using Rows = std::vector<std::pair<QString, QString>>;

using testing::enterSection;
using testing::listed;
using testing::selectLine;

namespace {
const QString kBothEmpty = QStringLiteral("Please Enter Keyword And Its Corresponding Meaning");
const QString kKeywordEmpty = QStringLiteral("Please Enter The Keyword");
const QString kMeaningEmpty = QStringLiteral("Please Enter The Meaning Of The Keyword");

void click(QPushButton *button)
{
    QVERIFY2(button->isEnabled(), qPrintable(button->text()));
    QTest::mouseClick(button, Qt::LeftButton);
}

bool visible(const QWidget *window)
{
    return window && window->isVisible();
}
} // namespace

class SectionWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() { m_env.setUp({.workingDiary = true}); }
    void cleanup() { m_env.tearDown(); }

    void overviewAddsAnIncenseEntry();
    void eachSectionShowsOnlyItsOwnTextsAndRows_data();
    void eachSectionShowsOnlyItsOwnTextsAndRows();
    void layoutKeepsEveryCaptionWholeAndInPlace();
    void openAndCloseKeepListAndBoxes();
    void eachModeEnablesOnlyItsOwnControls_data();
    void eachModeEnablesOnlyItsOwnControls();
    void selectionShowsItsOwnRowByMouseAndArrowKeys();
    void duplicateKeywordsAreEditedAndRemovedByTheirOwnRow();
    void emptySection();
    void addTrimsOnlyOuterSpaces();
    void addChecksComeInOrderAndKeepWhatWasTyped();
    void editSaveChecksLikeAddAndNeedsARow();
    void editWithNoLineSelectedOffersToAddTheText_data();
    void undoAndRedoTakeBackSavesUnlessTypedSince();
    void editWithNoLineSelectedOffersToAddTheText();
    void untouchedMeaningIsWrittenBackExactly();
    void linesFollowWhatAnotherProgramChanged();
    void refreshShowsWhatTheTableHolds();
    void keyboardDrivesTheSection();
    void backThenAnotherSectionShowsOnlyThatSection();
    void leavingAsksBeforeTypedTextIsLost_data();
    void leavingAsksBeforeTypedTextIsLost();
    void bookChoicesFourAndFive_data();
    void bookChoicesFourAndFive();
    void failuresShowTheirMessageAndLoseNothing_data();
    void failuresShowTheirMessageAndLoseNothing();
    void moreThan32767EntriesListSelectAndEdit();

private:
    QString working() const { return m_env->workingDiary(); }
    std::vector<testing::DiaryRow> rows(const QString &table) const
    {
        return testing::readRows(working(), table).value_or(std::vector<testing::DiaryRow>{});
    }
    QStringList keywords(const QString &table) const { return testing::readKeywords(working(), table); }

    testing::Fixture m_env;
};

void SectionWindowTest::overviewAddsAnIncenseEntry()
{
    // The first visit: Continue copies the starter, and the section opens on it.
    QVERIFY(QFile::remove(working()));
    forms::ref<StartupWindow>();
    QVERIFY(forms::loaded<MainWindow>());
    QCOMPARE(testing::control<QRadioButton>(forms::loaded<MainWindow>(), "optOption_1")->text(),
             QStringLiteral("Incense Section"));
    SectionWindow *window = enterSection(1);
    QVERIFY(window && window->isVisible());
    QVERIFY(QFile::exists(working()));
    QCOMPARE(testing::control<QLabel>(window, "lblCaption_0")->text(), QStringLiteral("Incense Section"));
    QCOMPARE(window->mode(), Mode::Closed);
    QCOMPARE(testing::control<QPushButton>(window, "Command1")->text(), QStringLiteral("&Open Incense"));

    click(testing::control<QPushButton>(window, "Command1"));
    QCOMPARE(window->mode(), Mode::Browsing);
    QCOMPARE(testing::control<QPushButton>(window, "Command1")->text(), QStringLiteral("&Close Incense"));

    QStringList added;
    for (const QString &name : {QStringLiteral("Frankincense"), QStringLiteral("Myrrh")}) {
        click(testing::control<QPushButton>(window, "Command2"));
        QCOMPARE(window->mode(), Mode::Adding);
        QCOMPARE(testing::control<QPushButton>(window, "Command2")->text(), QStringLiteral("&Save Incense"));
        QCOMPARE(window->focusWidget(), testing::control<QLineEdit>(window, "txtKeyword"));
        QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), name);
        QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("Burn for ") + name);
        click(testing::control<QPushButton>(window, "Command2"));

        QCOMPARE(window->mode(), Mode::Browsing);
        QCOMPARE(testing::control<QPushButton>(window, "Command2")->text(), QStringLiteral("&Add Incense"));
        added << name;
        QCOMPARE(listed(window), added);
        QCOMPARE(window->selectedPosition(), -1);
        QVERIFY(testing::control<QLineEdit>(window, "txtKeyword")->text().isEmpty()
                && testing::meaningShown(window).isEmpty());
        QCOMPARE(testing::openFilesUnder(m_env->root()), 0);
    }
    QVERIFY(m_env->messages->shown.empty());

    const auto stored = rows(QStringLiteral("tblincense"));
    QCOMPARE(stored.size(), std::size_t(2));
    QCOMPARE(stored[1].keyword, QStringLiteral("Myrrh"));
    QCOMPARE(stored[1].meaning, QStringLiteral("Burn for Myrrh"));
    QCOMPARE(window->lineIndexes(), (std::vector<qint64>{stored[0].index, stored[1].index}));
    // Any other program with the password sees what the window shows, in the same order.
    if (QStandardPaths::findExecutable(QStringLiteral("sqlcipher")).isEmpty())
        QSKIP("the sqlcipher command-line tool is not installed");
    QCOMPARE(testing::sqlcipherTool(working(), QStringLiteral("SELECT keyword FROM tblincense ORDER BY \"Index\";"))
                 .split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             listed(window));
}

void SectionWindowTest::eachSectionShowsOnlyItsOwnTextsAndRows_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("instruction");
    QTest::addColumn<QString>("help");
    QTest::newRow("Spell") << 0 << "Spell"
                           << "Spell Section"
                           << "Click on Open Spell to Access the Spells Section"
                           << "Add your new spell secrets and save them. Add, edit or remove the selected spells "
                              "according to your preferences.";
    QTest::newRow("Incense") << 1 << "Incense"
                             << "Incense Section"
                             << "Click on Open Incense to Access the Incense Section"
                             << "Add your new incense secrets and save them. Add, edit or remove the selected incense "
                                "according to your preferences.";
    QTest::newRow("Recipes") << 2 << "Recipes"
                             << "Recipes Section"
                             << "Click on Open Recipes to Access the Recipes Section"
                             << "Add your new recipe secrets and save them. Add, edit or remove the selected recipes "
                                "according to your preferences.";
    QTest::newRow("Rituals") << 3 << "Rituals"
                             << "Rituals Section"
                             << "Click on Open Rituals to Access the Rituals Section"
                             << "Add your new ritual secrets and save them. Add, edit or remove the selected rituals "
                                "according to your preferences.";
}

void SectionWindowTest::eachSectionShowsOnlyItsOwnTextsAndRows()
{
    QFETCH(int, option);
    QFETCH(QString, name);
    QFETCH(QString, title);
    QFETCH(QString, instruction);
    QFETCH(QString, help);
    for (const QString section : {"Spell", "Incense", "Recipes", "Rituals"})
        QVERIFY(testing::appendRows(
            working(), QStringLiteral("tbl") + section.toLower(),
            {{section + QStringLiteral(" one"), QString()}, {section + QStringLiteral(" two"), QString()}}));

    SectionWindow *window = enterSection(option);
    QVERIFY(window);
    QCOMPARE(testing::control<QLabel>(window, "lblCaption_0")->text(), title);
    QCOMPARE(testing::control<QLabel>(window, "lblCaption_1")->text(), instruction);
    QCOMPARE(testing::control<QLabel>(window, "lblCaption_2")->text(), help);
    QCOMPARE((QStringList{testing::control<QPushButton>(window, "Command1")->text(),
                          testing::control<QPushButton>(window, "Command2")->text(),
                          testing::control<QPushButton>(window, "Command3")->text(),
                          testing::control<QPushButton>(window, "Command4")->text(),
                          testing::control<QPushButton>(window, "Command5")->text()}),
             (QStringList{"&Open " + name, "&Add " + name, "&Remove " + name, "&Edit " + name, "E&xit " + name}));
    QCOMPARE(listed(window), (QStringList{name + " one", name + " two"}));
    QCOMPARE(window->mode(), Mode::Closed);
    QCOMPARE(sections::tableName(sections::kSections[std::size_t(option)].table), "tbl" + name.toLower());
    QVERIFY(m_env->messages->shown.empty());
}

void SectionWindowTest::layoutKeepsEveryCaptionWholeAndInPlace()
{
    for (int option = 0; option < 4; ++option) {
        SectionWindow *window = enterSection(option);
        QVERIFY(window);
        QWidget *client = window->centralWidget();
        QCOMPARE(client->size(), ui::twips(0, 0, 6570, 7695).size());
        QCOMPARE(window->windowTitle(), QStringLiteral("Brimvale v2.05"));
        QCOMPARE(testing::control<QListView>(window, "lstKeyword")->geometry(), ui::twips(98, 1860, 6375, 1035));
        const std::array<QPushButton *, 5> buttons{
            testing::control<QPushButton>(window, "Command1"), testing::control<QPushButton>(window, "Command2"),
            testing::control<QPushButton>(window, "Command3"), testing::control<QPushButton>(window, "Command4"),
            testing::control<QPushButton>(window, "Command5")};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(buttons[i]->geometry(), ui::twips(98, 3120 + 345 * i, 6375, 350));
            QCOMPARE(buttons[i]->palette().color(QPalette::Button), QColor(192, 192, 192));
        }
        QCOMPARE(testing::control<QPlainTextEdit>(window, "txtMeaning")->geometry(), ui::twips(98, 5760, 6375, 1035));
        QCOMPARE(testing::control<QFrame>(window, "fraFullBrand")->geometry(), ui::twips(98, 6840, 6375, 855));
        QVERIFY(testing::control<QPushButton>(window, "cmdRefresh")->y() >= client->height());
        QCOMPARE(window->font().family(), QStringLiteral("Verdana"));
        QCOMPARE(testing::control<QLabel>(window, "lblCaption_0")->font().pointSizeF(), 11.25);
        QVERIFY(testing::control<QLabel>(window, "lblCaption_0")->font().bold());

        // Every caption whole, and nothing on top of anything else.
        const std::vector<QWidget *> stack{
            testing::control<ui::LinkLabel>(window, "Label14"), testing::control<QLabel>(window, "lblCaption_0"),
            testing::control<QLabel>(window, "lblCaption_1"),   testing::control<QLabel>(window, "lblCaption_2"),
            testing::control<QListView>(window, "lstKeyword"),  testing::control<QPushButton>(window, "Command1"),
            testing::control<QPushButton>(window, "Command2"),  testing::control<QPushButton>(window, "Command3"),
            testing::control<QPushButton>(window, "Command4"),  testing::control<QPushButton>(window, "Command5"),
            testing::control<QLabel>(window, "Label1"),         testing::control<QLineEdit>(window, "txtKeyword"),
            testing::control<QLabel>(window, "Label2"),         testing::control<QPlainTextEdit>(window, "txtMeaning"),
            testing::control<QFrame>(window, "fraFullBrand")};
        for (std::size_t i = 0; i < stack.size(); ++i) {
            QVERIFY2(client->rect().contains(stack[i]->geometry()), qPrintable(stack[i]->objectName()));
            if (auto *label = qobject_cast<QLabel *>(stack[i]); label && !label->wordWrap())
                QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
            if (auto *label = qobject_cast<QLabel *>(stack[i]); label && label->wordWrap())
                QVERIFY2(label->height() >= label->heightForWidth(label->width()), qPrintable(label->text()));
            for (std::size_t j = i + 1; j < stack.size(); ++j)
                QVERIFY2(!stack[i]->geometry().intersects(stack[j]->geometry()),
                         qPrintable(stack[i]->objectName() + " / " + stack[j]->objectName()));
        }
        QFrame *frame = testing::control<QFrame>(window, "fraFullBrand");
        QCOMPARE(frame->childAt(frame->rect().center()), testing::control<ui::LinkLabel>(window, "lblFullBrand"));

        // The diary's own entries stand above these three.
        const QList<QAction *> file = testing::control<QMenu>(window, "mnuFile")
                                          ->actions()
                                          .mid(testing::control<QMenu>(window, "mnuFile")->actions().size() - 3);
        QCOMPARE(file.size(), 3);
        QCOMPARE(file[0], testing::control<QAction>(window, "mnuBack"));
        QVERIFY(file[1]->isSeparator() && file[1]->objectName() == QStringLiteral("mnuFileSep1"));
        QCOMPARE(file[2], testing::control<QAction>(window, "mnuExit"));
        QVERIFY(testing::control<QMenu>(window, "mnuHelp")->findChild<QAction *>(QStringLiteral("mnuHelpSep1")));
        QVERIFY(testing::control<QMenu>(window, "mnuHelp")->findChild<QAction *>(QStringLiteral("mnuHelpSep2")));
        QCOMPARE(testing::control<QAction>(window, "mnuAbout")->text(), QStringLiteral("&About Software"));
        testing::control<QAction>(window, "mnuBack")->trigger();
        testing::flushDeletions();
    }
}

void SectionWindowTest::openAndCloseKeepListAndBoxes()
{
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"), {{"Sage", "Cleansing"}}));
    SectionWindow *window = enterSection(0);
    QVERIFY(window);
    click(testing::control<QPushButton>(window, "Command1"));
    selectLine(window, 0);
    QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), QStringLiteral("Sage"));

    click(testing::control<QPushButton>(window, "Command1"));
    QCOMPARE(testing::control<QPushButton>(window, "Command1")->text(), QStringLiteral("&Open Spell"));
    QCOMPARE(window->mode(), Mode::Closed);
    QCOMPARE(window->selectedPosition(), 0);
    QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), QStringLiteral("Sage"));
    QCOMPARE(testing::meaningShown(window), QStringLiteral("Cleansing"));
    click(testing::control<QPushButton>(window, "Command1"));
    QCOMPARE(window->mode(), Mode::Browsing);
}

void SectionWindowTest::eachModeEnablesOnlyItsOwnControls_data()
{
    // The buttons pressed from a fresh window, and every control enabled then: while an entry is
    // written nothing else may be started, or the half-written text would land in another action.
    QTest::addColumn<QStringList>("pressed");
    QTest::addColumn<QStringList>("enabled");
    const QStringList boxes{"txtKeyword", "txtMeaning"};
    QTest::newRow("closed") << QStringList{} << QStringList{"Command1"};
    QTest::newRow("browsing") << QStringList{
        "Command1"} << QStringList{"Command1", "Command2", "Command3", "Command4", "Command5", "lstKeyword"} + boxes;
    QTest::newRow("adding") << QStringList{"Command1", "Command2"} << QStringList{"Command2"} + boxes;
    QTest::newRow("editing") << QStringList{"Command1", "Command4"} << QStringList{"Command4"} + boxes;
    QTest::newRow("closed again") << QStringList{"Command1", "Command1"} << QStringList{"Command1"};
}

void SectionWindowTest::eachModeEnablesOnlyItsOwnControls()
{
    QFETCH(QStringList, pressed);
    QFETCH(QStringList, enabled);
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"), {{"Sage", "Cleansing"}}));
    SectionWindow *window = enterSection(0);
    QVERIFY(window);
    for (const QString &button : pressed) {
        if (button == u"Command4")
            selectLine(window, 0);
        click(testing::control<QPushButton>(window, button));
    }
    QStringList found;
    for (const char *name :
         {"Command1", "Command2", "Command3", "Command4", "Command5", "lstKeyword", "txtKeyword", "txtMeaning"})
        if (testing::control<QWidget>(window, name)->isEnabled())
            found << QString::fromLatin1(name);
    QCOMPARE(found, enabled);
}

void SectionWindowTest::selectionShowsItsOwnRowByMouseAndArrowKeys()
{
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblrecipes"),
                                {{"Bread", "first"}, {"Bread", "second"}, {"Bread", "third"}, {"Ale", "fourth"}}));
    SectionWindow *window = enterSection(2);
    QVERIFY(window);
    click(testing::control<QPushButton>(window, "Command1"));
    selectLine(window, 2);
    QCOMPARE(window->selectedPosition(), 2);
    QCOMPARE(testing::meaningShown(window), QStringLiteral("third"));
    QCOMPARE(testing::openFilesUnder(m_env->root()), 0);

    QTest::keyClick(testing::control<QListView>(window, "lstKeyword"), Qt::Key_Down);
    QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), QStringLiteral("Ale"));
    QCOMPARE(testing::meaningShown(window), QStringLiteral("fourth"));
    for (const char *expected : {"third", "second", "first"}) {
        QTest::keyClick(testing::control<QListView>(window, "lstKeyword"), Qt::Key_Up);
        QCOMPARE(testing::meaningShown(window), QString::fromLatin1(expected));
    }
    QVERIFY(m_env->messages->shown.empty());
}

void SectionWindowTest::duplicateKeywordsAreEditedAndRemovedByTheirOwnRow()
{
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"), {{"Sage", "one"}, {"Sage", "two"}}));
    const auto before = rows(QStringLiteral("tblspell"));
    QCOMPARE(before.size(), std::size_t(2));
    SectionWindow *window = enterSection(0);
    QVERIFY(window);
    click(testing::control<QPushButton>(window, "Command1"));
    selectLine(window, 1);

    click(testing::control<QPushButton>(window, "Command4"));
    QCOMPARE(window->mode(), Mode::Editing);
    QCOMPARE(testing::control<QPushButton>(window, "Command4")->text(), QStringLiteral("&Save Spell"));
    QCOMPARE(window->focusWidget(), testing::control<QLineEdit>(window, "txtKeyword"));
    testing::control<QPlainTextEdit>(window, "txtMeaning")->moveCursor(QTextCursor::End);
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral(" edited"));
    click(testing::control<QPushButton>(window, "Command4"));
    QCOMPARE(window->mode(), Mode::Browsing);
    QCOMPARE(window->selectedPosition(), -1);
    QCOMPARE(testing::meaningShown(window), QStringLiteral("two edited")); // the boxes keep what was saved
    auto after = rows(QStringLiteral("tblspell"));
    QCOMPARE(after.size(), std::size_t(2));
    QCOMPARE(after[0], before[0]);
    QCOMPARE(after[1], (testing::DiaryRow{before[1].index, QStringLiteral("Sage"), QStringLiteral("two edited")}));

    selectLine(window, 1);
    click(testing::control<QPushButton>(window, "Command3"));
    QCOMPARE(window->mode(), Mode::Browsing);
    QCOMPARE(rows(QStringLiteral("tblspell")), std::vector<testing::DiaryRow>{before[0]});
    QCOMPARE(listed(window), QStringList{QStringLiteral("Sage")});
    QVERIFY(testing::control<QLineEdit>(window, "txtKeyword")->text().isEmpty()
            && testing::meaningShown(window).isEmpty());
    QVERIFY(m_env->messages->shown.empty());
    QCOMPARE(testing::openFilesUnder(m_env->root()), 0);
}

void SectionWindowTest::emptySection()
{
    SectionWindow *window = enterSection(3);
    QVERIFY(window);
    QVERIFY(listed(window).isEmpty());
    click(testing::control<QPushButton>(window, "Command1"));
    QCOMPARE(window->mode(), Mode::Browsing);
    const QByteArray file = testing::bytesOf(working());

    click(testing::control<QPushButton>(window, "Command3"));
    QVERIFY(listed(window).isEmpty());
    click(testing::control<QPushButton>(window, "Command4"));
    click(testing::control<QPushButton>(window, "Command4"));
    QCOMPARE(window->mode(), Mode::Browsing);
    QVERIFY(listed(window).isEmpty());
    QCOMPARE(testing::bytesOf(working()), file);

    click(testing::control<QPushButton>(window, "Command2"));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("Beltane"));
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("Fire"));
    click(testing::control<QPushButton>(window, "Command2"));
    QCOMPARE(listed(window), QStringList{QStringLiteral("Beltane")});
    QCOMPARE(keywords(QStringLiteral("tblrituals")), QStringList{QStringLiteral("Beltane")});
    QVERIFY(m_env->messages->shown.empty());
}

void SectionWindowTest::addTrimsOnlyOuterSpaces()
{
    SectionWindow *window = enterSection(0);
    QVERIFY(window);
    click(testing::control<QPushButton>(window, "Command1"));
    click(testing::control<QPushButton>(window, "Command2"));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("  Rose  petal  "));
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("  line one "));
    QTest::keyClick(testing::control<QPlainTextEdit>(window, "txtMeaning"), Qt::Key_Return);
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("line  two"));
    QTest::keyClick(testing::control<QPlainTextEdit>(window, "txtMeaning"), Qt::Key_Return);
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("  "));
    testing::control<QPlainTextEdit>(window, "txtMeaning")
        ->insertPlainText(QStringLiteral("\tpasted\u00a0 ")); // a tab arrives by pasting
    click(testing::control<QPushButton>(window, "Command2"));

    const auto stored = rows(QStringLiteral("tblspell"));
    QCOMPARE(stored.size(), std::size_t(1));
    QCOMPARE(stored[0].keyword, QStringLiteral("Rose  petal"));
    QCOMPARE(stored[0].meaning, QStringLiteral("line one \nline  two\n  \tpasted\u00a0"));
    QCOMPARE(listed(window), QStringList{QStringLiteral("Rose  petal")});
}

void SectionWindowTest::addChecksComeInOrderAndKeepWhatWasTyped()
{
    SectionWindow *window = enterSection(1);
    QVERIFY(window);
    click(testing::control<QPushButton>(window, "Command1"));
    const QByteArray file = testing::bytesOf(working());
    auto messages = [this] { return m_env->messages->texts(); };

    // Both empty: the way to cancel an add.
    click(testing::control<QPushButton>(window, "Command2"));
    click(testing::control<QPushButton>(window, "Command2"));
    QCOMPARE(messages(), QStringList{kBothEmpty});
    QCOMPARE(m_env->messages->shown.back().icon, gui::MessageIcon::Critical);
    QCOMPARE(m_env->messages->shown.back().parent, window);
    QCOMPARE(window->mode(), Mode::Browsing);
    QCOMPARE(testing::control<QPushButton>(window, "Command2")->text(), QStringLiteral("&Add Incense"));

    // Spaces only count as empty, both alone and together.
    click(testing::control<QPushButton>(window, "Command2"));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("   "));
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("  "));
    click(testing::control<QPushButton>(window, "Command2"));
    QCOMPARE(messages().last(), kBothEmpty);
    QCOMPARE(window->mode(), Mode::Browsing);

    // Something typed: the message, and the window waits for the missing part.
    click(testing::control<QPushButton>(window, "Command2"));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("Copal"));
    click(testing::control<QPushButton>(window, "Command2"));
    QCOMPARE(messages().last(), kMeaningEmpty);
    QCOMPARE(window->mode(), Mode::Adding);
    QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), QStringLiteral("Copal"));
    QCOMPARE(window->focusWidget(), testing::control<QPlainTextEdit>(window, "txtMeaning"));

    testing::control<QLineEdit>(window, "txtKeyword")->setText(QStringLiteral("  "));
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("Resin"));
    click(testing::control<QPushButton>(window, "Command2"));
    QCOMPARE(messages().last(), kKeywordEmpty);
    QCOMPARE(window->mode(), Mode::Adding);
    QCOMPARE(testing::meaningShown(window), QStringLiteral("Resin"));
    QCOMPARE(window->focusWidget(), testing::control<QLineEdit>(window, "txtKeyword"));
    QCOMPARE(messages().size(), 4);
    QCOMPARE(testing::bytesOf(working()), file);

    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("Copal"));
    click(testing::control<QPushButton>(window, "Command2"));
    QCOMPARE(messages().size(), 4);
    QCOMPARE(keywords(QStringLiteral("tblincense")), QStringList{QStringLiteral("Copal")});
}

void SectionWindowTest::editSaveChecksLikeAddAndNeedsARow()
{
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"), {{"Sage", "Cleansing"}, {"Rue", "Grace"}}));
    const auto before = rows(QStringLiteral("tblspell"));
    SectionWindow *window = enterSection(0);
    QVERIFY(window);
    click(testing::control<QPushButton>(window, "Command1"));

    selectLine(window, 0);
    click(testing::control<QPushButton>(window, "Command4"));
    testing::control<QLineEdit>(window, "txtKeyword")->clear();
    click(testing::control<QPushButton>(window, "Command4"));
    QCOMPARE(m_env->messages->texts(), QStringList{kKeywordEmpty});
    QCOMPARE(window->mode(), Mode::Editing);
    QCOMPARE(testing::meaningShown(window), QStringLiteral("Cleansing"));
    QCOMPARE(window->selectedPosition(), 0);

    // An add refused with both boxes empty leaves the selection marked; an edit then stores nothing.
    testing::control<QPlainTextEdit>(window, "txtMeaning")->clear();
    click(testing::control<QPushButton>(window, "Command4"));
    QCOMPARE(m_env->messages->texts().last(), kBothEmpty);
    QCOMPARE(window->mode(), Mode::Browsing);
    selectLine(window, 1);
    click(testing::control<QPushButton>(window, "Command2"));
    click(testing::control<QPushButton>(window, "Command2"));
    QCOMPARE(window->selectedPosition(), 1);
    click(testing::control<QPushButton>(window, "Command4"));
    click(testing::control<QPushButton>(window, "Command4"));
    QCOMPARE(m_env->messages->texts().last(), kBothEmpty);
    QCOMPARE(rows(QStringLiteral("tblspell")), before);
}

void SectionWindowTest::editWithNoLineSelectedOffersToAddTheText_data()
{
    QTest::addColumn<bool>("typed");
    QTest::addColumn<gui::Answer>("answer");
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<bool>("stored");
    QTest::newRow("nothing typed: no question") << false << gui::Answer::Cancel << Mode::Browsing << false;
    QTest::newRow("added as a new entry") << true << gui::Answer::First << Mode::Browsing << true;
    QTest::newRow("discarded") << true << gui::Answer::Second << Mode::Browsing << false;
    QTest::newRow("cancelled: the text stays") << true << gui::Answer::Cancel << Mode::Editing << false;
}

void SectionWindowTest::editWithNoLineSelectedOffersToAddTheText()
{
    QFETCH(bool, typed);
    QFETCH(gui::Answer, answer);
    QFETCH(Mode, mode);
    QFETCH(bool, stored);
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblrituals"), {{"Imbolc", "Candles"}}));
    SectionWindow *window = enterSection(3);
    QVERIFY(window);
    click(testing::control<QPushButton>(window, "Command1"));
    click(testing::control<QPushButton>(window, "Command4"));
    if (typed) {
        QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("Beltane Fire"));
        QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("Leap the flames"));
    }
    m_env->messages->answers = {answer};
    click(testing::control<QPushButton>(window, "Command4"));

    QCOMPARE(m_env->messages->shown.size(), std::size_t(typed ? 1 : 0));
    QCOMPARE(window->mode(), mode);
    QCOMPARE(keywords(QStringLiteral("tblrituals")).size(), stored ? 2 : 1);
    QCOMPARE(listed(window).size(), stored ? 2 : 1);
    // Only a refusal to choose keeps the text in the boxes.
    QCOMPARE(testing::meaningShown(window),
             mode == Mode::Editing || stored ? QStringLiteral("Leap the flames") : QString());
    if (mode == Mode::Editing) {
        // Leaving asks about the text as the new entry it would be.
        m_env->messages->answers = {gui::Answer::Cancel};
        testing::control<QAction>(window, "mnuBack")->trigger();
        QCOMPARE(m_env->messages->last(), QStringLiteral("Save the entry you are writing?"));
    }
    if (!stored)
        return;

    // The boxes show the new entry with no line selected: Edit changes that entry, unasked.
    click(testing::control<QPushButton>(window, "Command4"));
    testing::control<QPlainTextEdit>(window, "txtMeaning")->moveCursor(QTextCursor::End);
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral(" at dusk"));
    click(testing::control<QPushButton>(window, "Command4"));
    QCOMPARE(m_env->messages->shown.size(), std::size_t(1));
    QCOMPARE(rows(QStringLiteral("tblrituals")).back().meaning, QStringLiteral("Leap the flames at dusk"));
}

void SectionWindowTest::undoAndRedoTakeBackSavesUnlessTypedSince()
{
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"), {{"Sage", "Cleansing"}}));
    SectionWindow *window = enterSection(0);
    QVERIFY(window);
    auto *meaning = testing::control<QPlainTextEdit>(window, "txtMeaning");
    const auto press = [](QKeyCombination keys) {
        QTest::keyClick(QApplication::focusWidget(), keys.key(), keys.keyboardModifiers());
    };
    const auto stored = [this] {
        QStringList texts;
        for (const auto &row : rows(QStringLiteral("tblspell")))
            texts << row.keyword + QLatin1Char('=') + row.meaning;
        return texts.join(QLatin1Char(' '));
    };
    click(testing::control<QPushButton>(window, "Command1"));
    selectLine(window, 0);
    click(testing::control<QPushButton>(window, "Command4"));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral(" Leaf"));
    meaning->moveCursor(QTextCursor::End);
    QTest::keyClicks(meaning, QStringLiteral(" by night"));
    click(testing::control<QPushButton>(window, "Command4"));

    // Nothing is typed in either box since the save, though the Meaning box was typed in before it.
    meaning->setFocus();
    const std::pair<QKeyCombination, const char *> steps[]{
        {Qt::CTRL | Qt::Key_Z, "Sage=Cleansing"},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, "Sage Leaf=Cleansing by night"},
        {Qt::CTRL | Qt::Key_Z, "Sage=Cleansing"},
        {Qt::CTRL | Qt::Key_Y, "Sage Leaf=Cleansing by night"},
    };
    for (const auto &[keys, after] : steps) {
        press(keys);
        QCOMPARE(stored(), QString::fromUtf8(after));
        // The boxes follow the entry, its keyword changed too.
        QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text() + QLatin1Char('=')
                     + testing::meaningShown(window),
                 QString::fromUtf8(after));
    }

    // An add is taken back too, and Redo steps forward through the undos in turn.
    click(testing::control<QPushButton>(window, "Command2"));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("Rue"));
    QTest::keyClicks(meaning, QStringLiteral("Grace"));
    click(testing::control<QPushButton>(window, "Command2"));
    const std::pair<QKeyCombination, const char *> more[]{
        {Qt::CTRL | Qt::Key_Z, "Sage Leaf=Cleansing by night"},
        {Qt::CTRL | Qt::Key_Z, "Sage=Cleansing"},
        {Qt::CTRL | Qt::Key_Y, "Sage Leaf=Cleansing by night"},
        {Qt::CTRL | Qt::Key_Y, "Sage Leaf=Cleansing by night Rue=Grace"},
        {Qt::CTRL | Qt::Key_Z, "Sage Leaf=Cleansing by night"},
    };
    for (const auto &[keys, after] : more) {
        press(keys);
        QCOMPARE(stored(), QString::fromUtf8(after));
    }
    // A change made after an undo leaves nothing to do again.
    click(testing::control<QPushButton>(window, "Command2"));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("Yarrow"));
    QTest::keyClicks(meaning, QStringLiteral("Courage"));
    click(testing::control<QPushButton>(window, "Command2"));
    press(Qt::CTRL | Qt::Key_Y);
    QCOMPARE(stored(), QStringLiteral("Sage Leaf=Cleansing by night Yarrow=Courage"));
    QCOMPARE(m_env->messages->texts(), QStringList{QStringLiteral("There is nothing in this section to do again.")});

    // Typed since: Ctrl+Z takes back the typing, and the diary keeps its text.
    selectLine(window, 0);
    click(testing::control<QPushButton>(window, "Command4"));
    meaning->setFocus();
    meaning->moveCursor(QTextCursor::End);
    QTest::keyClicks(meaning, QStringLiteral("!"));
    press(Qt::CTRL | Qt::Key_Z);
    QCOMPARE(testing::meaningShown(window), QStringLiteral("Cleansing by night"));
    QCOMPARE(stored(), QStringLiteral("Sage Leaf=Cleansing by night Yarrow=Courage"));
}

void SectionWindowTest::untouchedMeaningIsWrittenBackExactly()
{
    const QString awkward = QStringLiteral("first\r\nsecond\u00a0nbsp\u2028sep\rend");
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"), {{"Sage", awkward}}));
    SectionWindow *window = enterSection(0);
    QVERIFY(window);
    click(testing::control<QPushButton>(window, "Command1"));
    selectLine(window, 0);
    click(testing::control<QPushButton>(window, "Command4"));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral(" leaf"));
    click(testing::control<QPushButton>(window, "Command4"));
    const auto stored = rows(QStringLiteral("tblspell"));
    QCOMPARE(stored.size(), std::size_t(1));
    QCOMPARE(stored[0].keyword, QStringLiteral("Sage leaf"));
    QCOMPARE(stored[0].meaning, awkward);
}

void SectionWindowTest::linesFollowWhatAnotherProgramChanged()
{
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"), {{"A", "a"}, {"B", "b"}, {"C", "c"}}));
    SectionWindow *window = enterSection(0);
    QVERIFY(window);
    click(testing::control<QPushButton>(window, "Command1"));

    // Another program removes a row behind the window's back: the next click finds it out, and
    // the line the user chose is the one shown.
    QVERIFY(testing::execute(working(), QStringLiteral("DELETE FROM tblspell WHERE keyword = 'A'")));
    selectLine(window, 1);
    QCOMPARE(listed(window), (QStringList{"B", "C"}));
    QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), QStringLiteral("B"));
    QCOMPARE(testing::meaningShown(window), QStringLiteral("b"));

    // The entry being edited goes: Save asks, and taking the diary as it is writes nothing.
    click(testing::control<QPushButton>(window, "Command4"));
    QVERIFY(testing::execute(working(), QStringLiteral("DELETE FROM tblspell WHERE keyword = 'B'")));
    testing::control<QLineEdit>(window, "txtKeyword")->setText(QStringLiteral("Changed"));
    const QByteArray file = testing::bytesOf(working());
    m_env->messages->answers = {gui::Answer::Second};
    click(testing::control<QPushButton>(window, "Command4"));
    QCOMPARE(m_env->messages->shown.size(), std::size_t(1));
    QCOMPARE(window->mode(), Mode::Browsing);
    QCOMPARE(listed(window), QStringList{QStringLiteral("C")});
    QCOMPARE(testing::bytesOf(working()), file);

    // A line whose row holds another entry by the time it is clicked is not taken for it.
    QVERIFY(testing::execute(working(), QStringLiteral("DELETE FROM tblspell")));
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"), {{"D", "d"}}));
    selectLine(window, 0);
    QCOMPARE(listed(window), QStringList{QStringLiteral("D")});
    click(testing::control<QPushButton>(window, "Command3"));
    QCOMPARE(keywords(QStringLiteral("tblspell")), QStringList{QStringLiteral("D")});
    QCOMPARE(m_env->messages->shown.size(), std::size_t(1));
}

void SectionWindowTest::refreshShowsWhatTheTableHolds()
{
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblincense"), {{"Amber", "warm"}}));
    SectionWindow *window = enterSection(1);
    QVERIFY(window);
    click(testing::control<QPushButton>(window, "Command1"));
    selectLine(window, 0);
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblincense"), {{"Benzoin", "sweet"}}));
    testing::control<QPushButton>(window, "cmdRefresh")->click();
    QCOMPARE(listed(window), (QStringList{"Amber", "Benzoin"}));
    QCOMPARE(window->selectedPosition(), -1);
    QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), QStringLiteral("Amber"));
    QCOMPARE(window->mode(), Mode::Browsing);
    QCOMPARE(testing::openFilesUnder(m_env->root()), 0);
}

void SectionWindowTest::keyboardDrivesTheSection()
{
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblrituals"), {{"Samhain", "Ancestors"}}));
    SectionWindow *window = enterSection(3);
    QVERIFY(window);
    QTest::keyClick(window, Qt::Key_O, Qt::AltModifier);
    QTRY_COMPARE(window->mode(), Mode::Browsing);
    QTest::keyClick(window, Qt::Key_A, Qt::AltModifier);
    QTRY_COMPARE(window->mode(), Mode::Adding);
    QTest::keyClicks(window->focusWidget(), QStringLiteral("Yule"));
    QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
    QTRY_COMPARE(window->focusWidget(), testing::control<QPlainTextEdit>(window, "txtMeaning"));
    QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("Solstice"));
    QTest::keyClick(window, Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(listed(window), (QStringList{"Samhain", "Yule"}));

    // Alt+R belongs to Remove alone; the hidden reload button takes no access key.
    selectLine(window, 0);
    QTest::keyClick(window, Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(keywords(QStringLiteral("tblrituals")), QStringList{QStringLiteral("Yule")});
    QTest::keyClick(window, Qt::Key_X, Qt::AltModifier);
    QTRY_VERIFY(!forms::loaded<SectionWindow>());
    QVERIFY(visible(forms::loaded<MainWindow>()));
}

void SectionWindowTest::backThenAnotherSectionShowsOnlyThatSection()
{
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"), {{"Sage", "Cleansing"}}));
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblrituals"), {{"Imbolc", "Candles"}}));
    SectionWindow *window = enterSection(0);
    QVERIFY(window);
    click(testing::control<QPushButton>(window, "Command1"));
    selectLine(window, 0);
    click(testing::control<QPushButton>(window, "Command2"));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("never stored"));
    m_env->messages->answers = {gui::Answer::Discard};
    testing::control<QAction>(window, "mnuBack")->trigger();
    testing::flushDeletions();
    QCOMPARE(m_env->messages->shown.size(), std::size_t(1));
    QVERIFY(m_env->messages->shown[0].question);
    QVERIFY(!forms::loaded<SectionWindow>());
    QVERIFY(visible(forms::loaded<MainWindow>()));
    QVERIFY(forms::loaded<ExitWindow>());
    QVERIFY(!forms::loaded<ExitWindow>()->isVisible());

    window = enterSection(3);
    QVERIFY(window);
    QCOMPARE(testing::control<QLabel>(window, "lblCaption_0")->text(), QStringLiteral("Rituals Section"));
    QCOMPARE(listed(window), QStringList{QStringLiteral("Imbolc")});
    QVERIFY(testing::control<QLineEdit>(window, "txtKeyword")->text().isEmpty()
            && testing::meaningShown(window).isEmpty());
    QCOMPARE(window->mode(), Mode::Closed);
    click(testing::control<QPushButton>(window, "Command1"));
    click(testing::control<QPushButton>(window, "Command5"));
    testing::flushDeletions();
    QVERIFY(!forms::loaded<SectionWindow>());
    QVERIFY(visible(forms::loaded<MainWindow>()));
    QCOMPARE(keywords(QStringLiteral("tblspell")), QStringList{QStringLiteral("Sage")});
}

namespace {
// Escape gives up the entry being written and stays, where the others leave the window.
enum class Way { Back, CloseBox, Exit, Escape };
// RefusedByDiary: an entry typed, and the diary file gone by the time the user leaves.
enum class Typed { Nothing, Entry, Incomplete, RefusedByDiary };
} // namespace

void SectionWindowTest::leavingAsksBeforeTypedTextIsLost_data()
{
    QTest::addColumn<Way>("way");
    QTest::addColumn<bool>("editing");
    QTest::addColumn<Typed>("typed");
    QTest::addColumn<gui::Answer>("answer");
    QTest::addColumn<bool>("leaves");
    QTest::addColumn<bool>("stored");
    const std::pair<Way, const char *> ways[]{
        {Way::Back, "Back"}, {Way::CloseBox, "close box"}, {Way::Exit, "Exit"}, {Way::Escape, "Escape"}};
    for (const auto &[way, wayName] : ways) {
        for (const bool editing : {false, true}) {
            const QByteArray name = QByteArray(wayName) + (editing ? ", editing, " : ", adding, ");
            auto row = [&](const char *what) -> QTestData & {
                return QTest::newRow((name + what).constData()) << way << editing;
            };
            row("nothing typed") << Typed::Nothing << gui::Answer::Cancel << true << false;
            row("save") << Typed::Entry << gui::Answer::Save << true << true;
            row("discard") << Typed::Entry << gui::Answer::Discard << true << false;
            row("stay") << Typed::Entry << gui::Answer::Cancel << false << false;
            row("save refused by a check") << Typed::Incomplete << gui::Answer::Save << false << false;
            row("save refused by the diary") << Typed::RefusedByDiary << gui::Answer::Save << false << false;
        }
    }
}

void SectionWindowTest::leavingAsksBeforeTypedTextIsLost()
{
    QFETCH(Way, way);
    QFETCH(bool, editing);
    QFETCH(Typed, typed);
    QFETCH(gui::Answer, answer);
    QFETCH(bool, leaves);
    QFETCH(bool, stored);
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"), {{"Sage", "Cleansing"}}));
    const auto before = rows(QStringLiteral("tblspell"));
    SectionWindow *window = enterSection(0);
    QVERIFY(window);
    click(testing::control<QPushButton>(window, "Command1"));
    if (editing) {
        selectLine(window, 0);
        click(testing::control<QPushButton>(window, "Command4"));
        if (typed == Typed::Entry || typed == Typed::RefusedByDiary) {
            testing::control<QPlainTextEdit>(window, "txtMeaning")->moveCursor(QTextCursor::End);
            QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral(" by night"));
        } else if (typed == Typed::Incomplete) {
            testing::control<QLineEdit>(window, "txtKeyword")->clear();
        }
    } else {
        click(testing::control<QPushButton>(window, "Command2"));
        // Spaces alone count as nothing typed, as they do for the checks.
        QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"),
                         typed == Typed::Nothing ? QStringLiteral("   ") : QStringLiteral("Rue"));
        if (typed == Typed::Entry || typed == Typed::RefusedByDiary)
            QTest::keyClicks(testing::control<QPlainTextEdit>(window, "txtMeaning"), QStringLiteral("For sight"));
    }
    // An edit reads its entry before it writes: the diary is kept from writing, not from reading.
    const QString aside = working() + QStringLiteral(".aside");
    std::optional<testing::Mount> readOnly;
    if (typed == Typed::RefusedByDiary && editing) {
        readOnly.emplace(testing::Mount::readOnly(m_env->dataFolder()));
        if (!readOnly->ok())
            QSKIP(qPrintable(QStringLiteral("no read-only mount: ") + readOnly->error()));
    } else if (typed == Typed::RefusedByDiary) {
        QVERIFY(QFile::rename(working(), aside));
    }
    const Mode mode = window->mode();
    const QString keywordTyped = testing::control<QLineEdit>(window, "txtKeyword")->text();
    const QString meaningTyped = testing::meaningShown(window);
    m_env->messages->answers = {answer};

    QPointer<SectionWindow> watched(window);
    if (way == Way::Back)
        testing::control<QAction>(window, "mnuBack")->trigger();
    else if (way == Way::CloseBox)
        window->close();
    else if (way == Way::Escape)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    else
        testing::control<QAction>(window, "mnuExit")->trigger();
    testing::flushDeletions();
    readOnly.reset();
    if (typed == Typed::RefusedByDiary && !editing)
        QVERIFY(QFile::rename(aside, working()));

    const int questions = int(std::count_if(m_env->messages->shown.begin(), m_env->messages->shown.end(),
                                            [&](const fakes::Message &message) { return message.question; }));
    QCOMPARE(questions, typed == Typed::Nothing ? 0 : 1);
    // A refused save shows why after the question, and the window stays with what was typed.
    const bool refused = typed == Typed::Incomplete || typed == Typed::RefusedByDiary;
    QCOMPARE(m_env->messages->shown.size(), std::size_t(refused ? 2 : questions));
    QCOMPARE(!watched, leaves && way != Way::Escape);
    if (way == Way::Escape && leaves) {
        // Browsing again on the line it was on, which shows what the diary holds.
        QCOMPARE(window->mode(), Mode::Browsing);
        QCOMPARE(window->selectedPosition(), editing && !stored ? 0 : -1);
        const auto now = rows(QStringLiteral("tblspell"));
        QCOMPARE(testing::meaningShown(window), editing ? now[0].meaning : QString());
    } else if (leaves) {
        QCOMPARE(visible(forms::loaded<MainWindow>()), way == Way::Back);
        QCOMPARE(visible(forms::loaded<ExitWindow>()), way != Way::Back);
    } else {
        QVERIFY(window->isVisible());
        QCOMPARE(window->mode(), mode);
        QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), keywordTyped);
        QCOMPARE(testing::meaningShown(window), meaningTyped);
    }
    auto expected = before;
    if (stored && editing)
        expected[0].meaning = QStringLiteral("Cleansing by night");
    const auto after = rows(QStringLiteral("tblspell"));
    QCOMPARE(after.size(), expected.size() + (stored && !editing ? 1 : 0));
    QCOMPARE(std::vector(after.begin(), after.begin() + qsizetype(expected.size())), expected);
    if (after.size() > expected.size())
        QCOMPARE((std::pair{after.back().keyword, after.back().meaning}), (std::pair{keywordTyped, meaningTyped}));
}

void SectionWindowTest::bookChoicesFourAndFive_data()
{
    QTest::addColumn<int>("book");
    QTest::newRow("Load Book") << 4;
    QTest::newRow("Save Book") << 5;
}

void SectionWindowTest::bookChoicesFourAndFive()
{
    QFETCH(int, book);
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"), {{"Sage", "Cleansing"}}));
    SectionWindow *window = enterSection(0, book);
    QVERIFY(window);
    QCOMPARE(window->choice().option, book);
    if (book == 4) {
        QCOMPARE((QStringList{testing::control<QLabel>(window, "lblCaption_0")->text(),
                              testing::control<QLabel>(window, "lblCaption_1")->text(),
                              testing::control<QLabel>(window, "lblCaption_2")->text()}),
                 (QStringList{"Load Book", "", ""}));
    } else {
        QCOMPARE(testing::control<QLabel>(window, "lblCaption_0")->text(), QStringLiteral("Caption"));
        QCOMPARE(testing::control<QLabel>(window, "lblCaption_1")->text(),
                 QStringLiteral("Click on Open Spell to Access the Spells Section"));
    }
    QCOMPARE((QStringList{testing::control<QPushButton>(window, "Command1")->text(),
                          testing::control<QPushButton>(window, "Command2")->text(),
                          testing::control<QPushButton>(window, "Command3")->text(),
                          testing::control<QPushButton>(window, "Command4")->text(),
                          testing::control<QPushButton>(window, "Command5")->text()}),
             (QStringList{"&Open", "&Add", "&Remove", "&Edit", "E&xit"}));
    QVERIFY(listed(window).isEmpty());

    // The design caption is not the idle one: the first click takes the second action.
    click(testing::control<QPushButton>(window, "Command1"));
    QCOMPARE(testing::control<QPushButton>(window, "Command1")->text(), QStringLiteral("&Open Spell"));
    QCOMPARE(window->mode(), Mode::Closed);
    click(testing::control<QPushButton>(window, "Command1"));
    QCOMPARE(window->mode(), Mode::Browsing);
    // "&Add" and "&Edit" are no captions of a mode: each button's first click takes its second action.
    QCOMPARE((QStringList{testing::control<QPushButton>(window, "Command2")->text(),
                          testing::control<QPushButton>(window, "Command4")->text()}),
             (QStringList{"&Add", "&Edit"}));
    QCOMPARE(testing::control<QPushButton>(window, "Command1")->text(), QStringLiteral("&Close Spell"));

    click(testing::control<QPushButton>(window, "Command2"));
    QCOMPARE(m_env->messages->texts(), QStringList{kBothEmpty});
    QCOMPARE(testing::control<QPushButton>(window, "Command2")->text(), QStringLiteral("&Add Spell"));
    click(testing::control<QPushButton>(window, "Command4"));
    QCOMPARE(m_env->messages->texts().size(), 1);
    QCOMPARE(testing::control<QPushButton>(window, "Command4")->text(), QStringLiteral("&Edit Spell"));
    QCOMPARE(window->mode(), Mode::Browsing);
    QCOMPARE(listed(window), QStringList{QStringLiteral("Sage")});
    QCOMPARE(keywords(QStringLiteral("tblspell")), QStringList{QStringLiteral("Sage")});
}

void SectionWindowTest::failuresShowTheirMessageAndLoseNothing_data()
{
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << "missing"
                             << "The diary file is missing.";
    QTest::newRow("zero-length") << "zero"
                                 << "The diary file is damaged or the password is wrong.";
    QTest::newRow("corrupt") << "corrupt"
                             << "The diary file is damaged or the password is wrong.";
    QTest::newRow("read-only") << "readonly"
                               << "The diary file is read-only.";
    QTest::newRow("disk full") << "full"
                               << "The entry could not be saved: the disk is full.";
}

void SectionWindowTest::failuresShowTheirMessageAndLoseNothing()
{
    QFETCH(QString, condition);
    QFETCH(QString, message);
    std::optional<testing::Mount> mount;
    if (condition == u"full") {
        QVERIFY(QFile::remove(working()));
        mount.emplace(testing::Mount::small(m_env->dataFolder(), 256));
        if (!mount->ok())
            QSKIP(qPrintable(QStringLiteral("no small file system: ") + mount->error()));
        QVERIFY(testing::writeEmptyDiary(working()));
    }
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblspell"), {{"Sage", "Cleansing"}}));
    const bool damagedAtLoad = condition == u"zero" || condition == u"corrupt";
    if (condition == u"zero") {
        QFile file(working());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    } else if (condition == u"corrupt") {
        QByteArray bytes = testing::bytesOf(working());
        bytes.replace(16, 2000, QByteArray(2000, '\x5a'));
        QFile file(working());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    const QByteArray before = testing::bytesOf(working());
    const QString expected = message + QLatin1Char('\n') + QDir::toNativeSeparators(working());

    SectionWindow *window = enterSection(0);
    QVERIFY(window);
    if (damagedAtLoad) {
        QCOMPARE(m_env->messages->texts(), QStringList{expected});
        QCOMPARE(m_env->messages->shown.back().icon, gui::MessageIcon::Critical);
        QVERIFY(listed(window).isEmpty());
    } else {
        QVERIFY(m_env->messages->shown.empty());
        QCOMPARE(listed(window), QStringList{QStringLiteral("Sage")});
    }
    QCOMPARE(window->mode(), Mode::Closed);
    click(testing::control<QPushButton>(window, "Command1"));

    if (condition == u"missing") {
        QVERIFY(QFile::remove(working()));
    } else if (condition == u"readonly") {
        mount.emplace(testing::Mount::readOnly(m_env->dataFolder()));
        if (!mount->ok())
            QSKIP(qPrintable(QStringLiteral("no read-only mount: ") + mount->error()));
    } else if (condition == u"full") {
        QFile filler(m_env->dataFolder() + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) { }
    }
    const qsizetype shown = m_env->messages->shown.size();

    click(testing::control<QPushButton>(window, "Command2"));
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("Vervain"));
    testing::control<QPlainTextEdit>(window, "txtMeaning")->setPlainText(QString(100000, QLatin1Char('v')));
    click(testing::control<QPushButton>(window, "Command2"));
    QCOMPARE(m_env->messages->shown.size(), std::size_t(shown + 1));
    QCOMPARE(m_env->messages->last(), expected);
    QCOMPARE(window->mode(), Mode::Adding);
    QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), QStringLiteral("Vervain"));
    QCOMPARE(testing::meaningShown(window).size(), 100000);
    QCOMPARE(testing::openFilesUnder(m_env->root()), 0);

    if (condition == u"missing") {
        QVERIFY(!QFile::exists(working()));
    } else {
        QCOMPARE(testing::bytesOf(working()), before);
        if (!damagedAtLoad)
            QCOMPARE(keywords(QStringLiteral("tblspell")), QStringList{QStringLiteral("Sage")});
    }
}

void SectionWindowTest::moreThan32767EntriesListSelectAndEdit()
{
    constexpr int kCount = 33000;
    Rows many;
    many.reserve(kCount);
    for (int i = 0; i < kCount; ++i)
        many.emplace_back(QStringLiteral("Keyword %1").arg(i), QStringLiteral("Meaning %1").arg(i));
    QVERIFY(testing::appendRows(working(), QStringLiteral("tblrituals"), many));

    SectionWindow *window = enterSection(3);
    QVERIFY(window);
    QCOMPARE(testing::control<QListView>(window, "lstKeyword")->model()->rowCount(), kCount);
    QCOMPARE(window->lineIndexes().size(), std::size_t(kCount));
    click(testing::control<QPushButton>(window, "Command1"));
    selectLine(window, 0);
    QTest::keyClick(testing::control<QListView>(window, "lstKeyword"), Qt::Key_End);
    QCOMPARE(window->selectedPosition(), kCount - 1);
    QCOMPARE(testing::meaningShown(window), QStringLiteral("Meaning 32999"));
    QTest::keyClick(testing::control<QListView>(window, "lstKeyword"), Qt::Key_Up);
    QCOMPARE(testing::control<QLineEdit>(window, "txtKeyword")->text(), QStringLiteral("Keyword 32998"));

    click(testing::control<QPushButton>(window, "Command4"));
    testing::control<QLineEdit>(window, "txtKeyword")->clear();
    QTest::keyClicks(testing::control<QLineEdit>(window, "txtKeyword"), QStringLiteral("Changed"));
    click(testing::control<QPushButton>(window, "Command4"));
    auto stored = rows(QStringLiteral("tblrituals"));
    QCOMPARE(stored.size(), std::size_t(kCount));
    QCOMPARE(stored[32998].keyword, QStringLiteral("Changed"));
    QCOMPARE(stored[32997].keyword, QStringLiteral("Keyword 32997"));
    QCOMPARE(listed(window).value(32998), QStringLiteral("Changed"));

    selectLine(window, 32768);
    QCOMPARE(testing::meaningShown(window), QStringLiteral("Meaning 32768"));
    click(testing::control<QPushButton>(window, "Command3"));
    stored = rows(QStringLiteral("tblrituals"));
    QCOMPARE(stored.size(), std::size_t(kCount - 1));
    QCOMPARE(stored[32768].keyword, QStringLiteral("Keyword 32769"));
    QCOMPARE(testing::control<QListView>(window, "lstKeyword")->model()->rowCount(), kCount - 1);
    QVERIFY(m_env->messages->shown.empty());
}

BRIMVALE_TEST_MAIN(SectionWindowTest)

#include "tst_section.moc"
