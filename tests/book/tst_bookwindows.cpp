// Export Book, Print Book and Import Entries as a user meets them in the File menus.

#include "controls.h"
#include "diaryfiles.h"
#include "fixture.h"
#include "sectionwindow.h"
#include "testmain.h"

#include "gui/forms.h"
#include "gui/windows/exportbookdialog.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/sectionwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <functional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {
QStringList diaryEntries()
{
    return {"&Export Book\u2026", "&Print Book\u2026", "&Import Entries\u2026"};
}

QAction *entry(QMenu *file, const char *name)
{
    return file->findChild<QAction *>(QLatin1String(name));
}

template <class Window>
Window *shown()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *window = qobject_cast<Window *>(widget); window && window->isVisible())
            return window;
    return nullptr;
}

// The message boxes as the user meets them, with every question answered Yes.
class RealMessages final : public gui::MessageBoxes {
public:
    void show(QWidget *parent, const QString &text, gui::MessageIcon icon) override
    {
        m_real->show(parent, text, icon);
    }
    gui::Answer askYesNo(QWidget *, const QString &) override { return gui::Answer::Yes; }
    gui::Answer askSaveDiscardCancel(QWidget *, const QString &) override { return gui::Answer::Cancel; }
    gui::Answer askChoice(QWidget *, const QString &, const QString &, const QString &) override
    {
        return gui::Answer::Cancel;
    }

private:
    std::unique_ptr<gui::MessageBoxes> m_real = gui::productionMessages();
};

// Exports every section in this format, to the file dialog's next answer.
void exportAll(MainWindow *main, const QString &format)
{
    QTimer::singleShot(0, main, [format] {
        if (auto *dialog = qobject_cast<ExportBookDialog *>(QApplication::activeModalWidget())) {
            auto *formats = testing::control<QComboBox>(dialog, "cboFormat");
            formats->setCurrentIndex(formats->findText(format, Qt::MatchStartsWith));
            QTest::mouseClick(testing::control<QPushButton>(dialog, "cmdExport"), Qt::LeftButton);
        }
    });
    entry(testing::control<QMenu>(main, "mnuFile"), "mnuExportBook")->trigger();
}
} // namespace

class BookWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_env.setUp({.starterDiary = false, .workingDiary = true, .checkOpenFiles = false});
        QVERIFY(testing::appendRows(m_env->workingDiary(), QStringLiteral("tblspell"), {{"Rue", "herb"}}));
        QVERIFY(testing::appendRows(m_env->workingDiary(), QStringLiteral("tblrituals"), {{"Moon", "full"}}));
    }
    void cleanup() { m_env.tearDown(); }

    void bothWindowsOfferTheBookWithoutClashingKeys();
    void exportWritesTheChosenSectionsInTheChosenFormat();
    void exportNeverReplacesTheDiaryNorAPipe_data();
    void exportNeverReplacesTheDiaryNorAPipe();
    void printShowsTheBookInThePreview();
    void printToAFileNeverReplacesTheDiary_data();
    void printToAFileNeverReplacesTheDiary();
    void importShowsItsCountsAndWritesOnlyWhenConfirmed_data();
    void importShowsItsCountsAndWritesOnlyWhenConfirmed();
    void importIsTheFirstThingANewUserMayDo();
    void workEndsWithItsMessageAlone_data();
    void workEndsWithItsMessageAlone();
    void fileDialogsStartInTheFolderLastUsed();

private:
    // Starts the program, chooses Print Book and does `work` in the preview, which then closes.
    void inPrintPreview(const std::function<void(QPrintPreviewWidget *)> &work)
    {
        MainWindow *main = testing::startProgram();
        QVERIFY(main);
        QTimer::singleShot(0, this, [&] {
            auto *preview = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget());
            QVERIFY(preview);
            auto *widget = preview->findChild<QPrintPreviewWidget *>();
            QVERIFY(widget);
            work(widget);
            preview->reject();
        });
        entry(testing::control<QMenu>(main, "mnuFile"), "mnuPrintBook")->trigger();
    }
    // Writes a CSV file and makes it the file dialog's next answer; false when it cannot be written.
    bool offerCsv(const QByteArray &bytes)
    {
        const QString csv = m_env->root() + QStringLiteral("/entries.csv");
        QFile file(csv);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return false;
        m_env->files->answers.push_back(csv);
        return true;
    }
    testing::Fixture m_env;
};

void BookWindowsTest::bothWindowsOfferTheBookWithoutClashingKeys()
{
    auto check = [](QMenu *file) {
        QStringList captions;
        QString keys;
        for (QAction *action : file->actions()) {
            captions << action->text();
            const qsizetype amp = action->text().indexOf(QLatin1Char('&'));
            if (amp >= 0) {
                QVERIFY2(!keys.contains(action->text().at(amp + 1).toLower()), qPrintable(action->text()));
                keys += action->text().at(amp + 1).toLower();
            }
        }
        QCOMPARE(captions.mid(captions.indexOf(diaryEntries().constFirst()), 3), diaryEntries());
    };
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    check(testing::control<QMenu>(main, "mnuFile"));
    QTest::mouseClick(testing::control<QRadioButton>(main, "optOption_1"), Qt::LeftButton);
    QTest::mouseClick(testing::control<QPushButton>(main, "cmdContinue"), Qt::LeftButton);
    auto *section = forms::loaded<SectionWindow>();
    QVERIFY(section);
    check(testing::control<QMenu>(section, "mnuFile"));
}

void BookWindowsTest::exportWritesTheChosenSectionsInTheChosenFormat()
{
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    const QString target = m_env->root() + QStringLiteral("/chosen.md");
    m_env->files->answers.push_back(target);
    bool driven = false;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<ExportBookDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        const QStringList checks{"chkSpell", "chkIncense", "chkRecipes", "chkRituals"};
        auto *formats = testing::control<QComboBox>(dialog, "cboFormat");
        auto *exportButton = testing::control<QPushButton>(dialog, "cmdExport");
        for (const QString &check : checks)
            QVERIFY(testing::control<QCheckBox>(dialog, check)->isChecked());
        QVERIFY(testing::control<QLabel>(dialog, "lblUnprotected")
                    ->text()
                    .contains(QStringLiteral("not protected by the diary's password")));
        QCOMPARE(testing::control<QLabel>(dialog, "lblFormat")->buddy(), formats);
        QTest::keyClick(dialog, Qt::Key_S, Qt::AltModifier); // Spell off
        formats->setCurrentIndex(formats->findText(QStringLiteral("Markdown"), Qt::MatchStartsWith));
        for (const QString &check : checks)
            testing::control<QCheckBox>(dialog, check)->setChecked(false);
        QVERIFY(!exportButton->isEnabled());
        testing::control<QCheckBox>(dialog, "chkRituals")->setChecked(true);
        driven = true;
        QTest::mouseClick(exportButton, Qt::LeftButton);
    });
    entry(testing::control<QMenu>(main, "mnuFile"), "mnuExportBook")->trigger();
    QVERIFY(driven);

    QCOMPARE(m_env->files->suggested,
             QStringList{QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                         + QStringLiteral("/Book of Shadows.md")});
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    QVERIFY(written.startsWith("# Book of Shadows\n\n## Rituals\n\n### Moon\n"));
    QVERIFY(!written.contains("Rue"));
    QCOMPARE(m_env->messages->last(), QStringLiteral("The book was exported to\n") + QDir::toNativeSeparators(target));
}

void BookWindowsTest::exportNeverReplacesTheDiaryNorAPipe_data()
{
    QTest::addColumn<bool>("pipe");
    QTest::addColumn<QString>("reason");
    QTest::newRow("the diary") << false << QStringLiteral("It is in Brimvale's data folder");
    QTest::newRow("a pipe") << true << QStringLiteral("It is not a regular file");
}

void BookWindowsTest::exportNeverReplacesTheDiaryNorAPipe()
{
    QFETCH(bool, pipe);
    QFETCH(QString, reason);
    const QString target = pipe ? m_env->root() + QStringLiteral("/pipe.pdf") : m_env->workingDiary();
    if (pipe) {
#ifdef Q_OS_WIN
        QSKIP("Windows has no named pipe that lives in a folder");
#else
        QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
#endif
    }
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    // The file dialog starts in the documents folder, made for it when missing.
    QVERIFY(QDir(m_env->root()).mkpath(QStringLiteral("home/Documents")));
    const QStringList before = testing::stateOf(m_env->root());
    m_env->files->answers.push_back(target);
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<ExportBookDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QTest::mouseClick(testing::control<QPushButton>(dialog, "cmdExport"), Qt::LeftButton);
    });
    entry(testing::control<QMenu>(main, "mnuFile"), "mnuExportBook")->trigger();

    QVERIFY(!m_env->messages->shown.empty());
    QCOMPARE(m_env->messages->shown.back().icon, gui::MessageIcon::Critical);
    QVERIFY2(
        m_env->messages->last().startsWith(
            QStringLiteral("The book could not be exported.\n%1\n%2").arg(QDir::toNativeSeparators(target), reason)),
        qPrintable(m_env->messages->last()));
    QCOMPARE(testing::stateOf(m_env->root()), before);
}

void BookWindowsTest::printShowsTheBookInThePreview()
{
    int pages = 0;
    inPrintPreview([&](QPrintPreviewWidget *widget) { pages = widget->pageCount(); });
    // The title, the contents and a chapter for each of the two sections with entries.
    QCOMPARE(pages, 4);
}

void BookWindowsTest::printToAFileNeverReplacesTheDiary_data()
{
    QTest::addColumn<bool>("diary");
    QTest::newRow("a new file") << false;
    QTest::newRow("the diary") << true;
}

// The print window's "print to file", as the preview's Print button hands its choice on.
void BookWindowsTest::printToAFileNeverReplacesTheDiary()
{
    QFETCH(bool, diary);
    const QString target = diary ? m_env->workingDiary() : m_env->root() + QStringLiteral("/book.pdf");
    QStringList before;
    inPrintPreview([&](QPrintPreviewWidget *widget) {
        before = testing::stateOf(m_env->root());
        qobject_cast<QPrintPreviewDialog *>(widget->window())->printer()->setOutputFileName(target);
        widget->print();
    });

    if (diary) {
        QVERIFY(!m_env->messages->shown.empty());
        QVERIFY2(m_env->messages->last().contains(QStringLiteral("It is in Brimvale's data folder")),
                 qPrintable(m_env->messages->last()));
        QCOMPARE(testing::stateOf(m_env->root()), before);
    } else {
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(5) == "%PDF-");
    }
}

void BookWindowsTest::importShowsItsCountsAndWritesOnlyWhenConfirmed_data()
{
    QTest::addColumn<gui::Answer>("answer");
    QTest::newRow("yes") << gui::Answer::Yes;
    QTest::newRow("no") << gui::Answer::No;
}

void BookWindowsTest::importShowsItsCountsAndWritesOnlyWhenConfirmed()
{
    QFETCH(gui::Answer, answer);
    QVERIFY(offerCsv("section,keyword,meaning\r\nSpell,Rue,herb\r\nSpell,Sage,smoke\r\nRecipes,Bread,flour\r\nRecipes,"
                     "Cake,honey\r\n"));
    const QString csv = m_env->root() + QStringLiteral("/entries.csv");
    m_env->messages->answers.push_back(answer);
    SectionWindow *section = testing::enterSection(0);
    QVERIFY(section);

    entry(testing::control<QMenu>(section, "mnuFile"), "mnuImportEntries")->trigger();
    QVERIFY(!m_env->messages->shown.empty());
    const fakes::Message &asked = m_env->messages->shown.front();
    QVERIFY(asked.question);
    QCOMPARE(asked.text,
             QStringLiteral("Import these entries from %1?\n\n"
                            "Spell: 1 entry to add\nIncense: 0 entries to add\nRecipes: 2 entries to add\n"
                            "Rituals: 0 entries to add\nAlready in the diary, skipped: 1")
                 .arg(QDir::toNativeSeparators(csv)));
    const QStringList spells = testing::readKeywords(m_env->workingDiary(), QStringLiteral("tblspell"));
    const QStringList recipes = testing::readKeywords(m_env->workingDiary(), QStringLiteral("tblrecipes"));
    QCOMPARE(testing::listed(section), spells);
    if (answer == gui::Answer::Yes) {
        QCOMPARE(spells, (QStringList{"Rue", "Sage"}));
        QCOMPARE(recipes, (QStringList{"Bread", "Cake"}));
        QCOMPARE(m_env->messages->last(), QStringLiteral("The entries were imported."));
    } else {
        QCOMPARE(spells, QStringList{"Rue"});
        QVERIFY(recipes.isEmpty());
        QCOMPARE(m_env->messages->shown.size(), std::size_t(1));
    }
}

// Before any Continue there is no working diary: the import starts one as Continue would.
void BookWindowsTest::importIsTheFirstThingANewUserMayDo()
{
    QVERIFY(QFile::remove(m_env->workingDiary()));
    QVERIFY(testing::writeEmptyDiary(m_env->starterDiary()));
    QVERIFY(offerCsv("section,keyword,meaning\r\nRituals,Moon,full\r\n"));
    m_env->messages->answers.push_back(gui::Answer::Yes);
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    entry(testing::control<QMenu>(main, "mnuFile"), "mnuImportEntries")->trigger();
    QCOMPARE(testing::readKeywords(m_env->workingDiary(), QStringLiteral("tblrituals")), QStringList{"Moon"});
    QCOMPARE(m_env->messages->last(), QStringLiteral("The entries were imported."));
}

void BookWindowsTest::workEndsWithItsMessageAlone_data()
{
    QTest::addColumn<bool>("exporting");
    QTest::newRow("export") << true;
    QTest::newRow("import") << false;
}

// The progress window waits half a second before it appears: by then its work is over and the
// message that ends the work is on the screen, and it must be alone there and answer OK.
void BookWindowsTest::workEndsWithItsMessageAlone()
{
    QFETCH(bool, exporting);
    gui::installMessages(std::make_unique<RealMessages>());
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    QString text;
    bool progressShown = false;
    bool stuck = false;
    QElapsedTimer boxShown;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        auto *box = shown<QMessageBox>();
        if (!box)
            return;
        if (!boxShown.isValid())
            boxShown.start();
        if (text.isEmpty() && boxShown.elapsed() >= 1000) {
            text = box->text();
            progressShown = shown<QProgressDialog>() != nullptr;
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        } else if (!text.isEmpty() && boxShown.elapsed() >= 4000) {
            stuck = true;
            if (auto *progress = shown<QProgressDialog>())
                progress->hide();
            box->done(QMessageBox::Ok);
        }
    });
    watch.start(100);
    if (exporting) {
        m_env->files->answers.push_back(m_env->root() + QStringLiteral("/book.csv"));
        exportAll(main, QStringLiteral("CSV"));
    } else {
        QVERIFY(offerCsv("section,keyword,meaning\r\nSpell,Sage,smoke\r\n"));
        entry(testing::control<QMenu>(main, "mnuFile"), "mnuImportEntries")->trigger();
    }
    QVERIFY(text.startsWith(exporting ? QStringLiteral("The book was exported to")
                                      : QStringLiteral("The entries were imported.")));
    QVERIFY(!progressShown);
    QVERIFY(!stuck);
}

void BookWindowsTest::fileDialogsStartInTheFolderLastUsed()
{
    MainWindow *main = testing::startProgram();
    QVERIFY(main);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString chosen = m_env->root() + QStringLiteral("/chosen");
    QVERIFY(QDir().mkpath(chosen));
    m_env->files->answers.push_back(chosen + QStringLiteral("/mine.md"));
    exportAll(main, QStringLiteral("Markdown"));
    entry(testing::control<QMenu>(main, "mnuFile"), "mnuImportEntries")->trigger();
    exportAll(main, QStringLiteral("Markdown"));

    // A missing documents folder is made: a file dialog would start elsewhere and offer its name as a file name.
    QVERIFY(QFileInfo(documents).isDir());
    QCOMPARE(m_env->files->suggested,
             (QStringList{documents + QStringLiteral("/Book of Shadows.md"), chosen,
                          chosen + QStringLiteral("/Book of Shadows.md")}));
    QFile file(chosen + QStringLiteral("/mine.md"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    QVERIFY(written.contains("## Spell") && written.contains("## Rituals"));
    QVERIFY2(!written.contains("## Incense") && !written.contains("## Recipes"), "an empty section is left out");
}

BRIMVALE_TEST_MAIN(BookWindowsTest)
#include "tst_bookwindows.moc"
