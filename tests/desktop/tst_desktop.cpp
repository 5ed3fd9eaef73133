// The program as a screen reader and a keyboard user meet it: every control has a name to
// announce, and the diary's main flow works from the keyboard alone.

#include "controls.h"
#include "diaryfiles.h"
#include "environment.h"

#include "core/identity.h"
#include "gui/forms.h"
#include "gui/windows/aboutdialog.h"
#include "gui/windows/exitwindow.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/sectionwindow.h"
#include "gui/windows/startupwindow.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

QString spokenName(QWidget *widget)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name).trimmed() : QString();
}

// The controls a user can reach or read, each with the name a screen reader would announce.
QStringList unnamedControls(QWidget *window)
{
    QStringList unnamed;
    for (QWidget *child : window->findChildren<QWidget *>()) {
        const bool control = qobject_cast<QAbstractButton *>(child) || qobject_cast<QLineEdit *>(child)
            || qobject_cast<QPlainTextEdit *>(child) || qobject_cast<QAbstractItemView *>(child)
            || (qobject_cast<QLabel *>(child) && !qobject_cast<QLabel *>(child)->pixmap().isNull());
        if (control && !child->objectName().startsWith(QLatin1String("qt_")) && spokenName(child).isEmpty())
            unnamed << child->objectName() + QLatin1Char(' ') + QString::fromLatin1(child->metaObject()->className());
    }
    return unnamed;
}

void activate(QWidget *window)
{
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { app::setApplicationIdentity(); }
    void init()
    {
        m_env = std::make_unique<testing::Environment>();
        QVERIFY(testing::writeEmptyDiary(m_env->starterDiary()));
    }
    void cleanup() { m_env.reset(); }

    void everyControlHasASpokenName();
    void theDiaryWorksFromTheKeyboardAlone();

private:
    std::unique_ptr<testing::Environment> m_env;
};

void DesktopTest::everyControlHasASpokenName()
{
    forms::ref<StartupWindow>();
    MainWindow *main = forms::loaded<MainWindow>();
    QVERIFY(main);
    QCOMPARE(unnamedControls(main), QStringList());

    QString aboutReport = QStringLiteral("not opened");
    QTimer::singleShot(0, [&aboutReport] {
        auto *about = qobject_cast<AboutDialog *>(QApplication::activeModalWidget());
        if (!about)
            return;
        aboutReport = unnamedControls(about).join(QLatin1Char(','));
        testing::control<QPushButton>(about, QStringLiteral("cmdOK"))->click();
    });
    testing::control<QAction>(main, "mnuAbout")->trigger();
    QCOMPARE(aboutReport, QString());

    testing::control<QRadioButton>(main, "optOption_0")->click();
    testing::control<QPushButton>(main, "cmdContinue")->click();
    auto *section = forms::loaded<SectionWindow>();
    QVERIFY(section);
    testing::control<QPushButton>(section, "Command1")->click(); // open the section, so that every control is in use
    QCOMPARE(unnamedControls(section), QStringList());

    testing::control<QAction>(section, "mnuExit")->trigger();
    auto *farewell = forms::loaded<ExitWindow>();
    QVERIFY(farewell && farewell->isVisible());
    QCOMPARE(unnamedControls(farewell), QStringList());
}

void DesktopTest::theDiaryWorksFromTheKeyboardAlone()
{
    forms::ref<StartupWindow>();
    MainWindow *main = forms::loaded<MainWindow>();
    QVERIFY(main);
    activate(main);
    QCOMPARE(QApplication::focusWidget(), testing::control<QPushButton>(main, "cmdContinue"));

    // Tab to the section options; the arrow keys move between them and choose.
    for (int i = 0; i < 10 && !qobject_cast<QRadioButton *>(QApplication::focusWidget()); ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    auto *option = qobject_cast<QRadioButton *>(QApplication::focusWidget());
    QVERIFY(option);
    QTest::keyClick(option, Qt::Key_Space);
    QVERIFY(option->isChecked());
    const int chosen = option->objectName().section(QLatin1Char('_'), 1).toInt(); // "optOption_2"
    QVERIFY(chosen < 4);
    QTest::keyClick(main, Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(forms::loaded<SectionWindow>());

    auto *section = forms::loaded<SectionWindow>();
    activate(section);
    QTest::keyClick(section, Qt::Key_O, Qt::AltModifier);
    QTRY_VERIFY(testing::control<QPushButton>(section, "Command2")->isEnabled());
    QTest::keyClick(section, Qt::Key_A, Qt::AltModifier);
    QTRY_COMPARE(QApplication::focusWidget(), testing::control<QLineEdit>(section, "txtKeyword"));
    QTest::keyClicks(testing::control<QLineEdit>(section, "txtKeyword"), QStringLiteral("Sage"));
    QTest::keyClick(testing::control<QLineEdit>(section, "txtKeyword"), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), testing::control<QPlainTextEdit>(section, "txtMeaning"));
    QTest::keyClicks(testing::control<QPlainTextEdit>(section, "txtMeaning"), QStringLiteral("Clears a room"));
    QTest::keyClick(section, Qt::Key_S, Qt::AltModifier); // "&Save ..."
    const QString table = QStringLiteral("tbl") + section->choice().name.toLower();
    QTRY_COMPARE(testing::readKeywords(m_env->workingDiary(), table), QStringList{QStringLiteral("Sage")});
    QTRY_COMPARE(testing::control<QListView>(section, "lstKeyword")->model()->rowCount(), 1);

    // Into the list and onto the entry (Space selects the line the cursor is on): it is shown
    // without the mouse.
    testing::control<QListView>(section, "lstKeyword")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(testing::control<QListView>(section, "lstKeyword"), Qt::Key_Space);
    QTRY_COMPARE(testing::control<QPlainTextEdit>(section, "txtMeaning")->toPlainText(),
                 QStringLiteral("Clears a room"));
    QCOMPARE(testing::control<QLineEdit>(section, "txtKeyword")->text(), QStringLiteral("Sage"));

    // File, Back leads home; closing from there brings the exit window, whose Exit is Alt+X.
    QTest::keyClick(section, Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(testing::control<QMenu>(section, "mnuFile")->isVisible());
    QTest::keyClick(testing::control<QMenu>(section, "mnuFile"), Qt::Key_B);
    QTRY_VERIFY(forms::loaded<MainWindow>() && forms::loaded<MainWindow>()->isVisible());
    MainWindow *home = forms::loaded<MainWindow>();
    activate(home);
    QTest::keyClick(home, Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(testing::control<QMenu>(home, "mnuFile")->isVisible());
    QTest::keyClick(testing::control<QMenu>(home, "mnuFile"), Qt::Key_X);
    QTRY_VERIFY(forms::loaded<ExitWindow>() && forms::loaded<ExitWindow>()->isVisible());
    auto *farewell = forms::loaded<ExitWindow>();
    activate(farewell);
    QCOMPARE(m_env->processEnd->calls, 0);
    QTest::keyClick(farewell, Qt::Key_X, Qt::AltModifier);
    QTRY_COMPARE(m_env->processEnd->calls, 1);
}

QTEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
