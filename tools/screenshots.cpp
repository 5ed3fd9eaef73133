// Renders the README's pictures of the windows from the real program: a fresh diary in a
// temporary home, a few entries added through the section window as a user would, each window
// captured as it stands, the section window also locked and unlocked, and entries to bring back
// from a backup. Links are not followed.

#include "core/book/book.h"
#include "core/datafolder.h"
#include "core/diary.h"
#include "core/identity.h"
#include "core/services.h"
#include "core/store/backups.h"
#include "core/store/password.h"
#include "gui/book/bookpages.h"
#include "gui/diarylock.h"
#include "gui/forms.h"
#include "gui/shutdown.h"
#include "gui/windows/aboutdialog.h"
#include "gui/windows/bringbackdialog.h"
#include "gui/windows/exitwindow.h"
#include "gui/windows/exportbookdialog.h"
#include "gui/windows/findwindow.h"
#include "gui/windows/historywindow.h"
#include "gui/windows/mainwindow.h"
#include "gui/windows/sectionwindow.h"
#include "gui/windows/startupwindow.h"
#include "platform/qtservices.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

class NoBrowser final : public platform::WebLauncher {
public:
    void open(const QString &) override { }
};

bool save(QWidget *window, const QDir &folder, const QString &name)
{
    QApplication::processEvents();
    const bool saved = window->grab().save(folder.filePath(name));
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(folder.filePath(name)));
    return saved;
}

void addEntry(SectionWindow *section, const QString &keyword, const QString &meaning)
{
    auto *add = section->findChild<QPushButton *>(QStringLiteral("Command2"));
    add->click();
    section->findChild<QLineEdit *>(QStringLiteral("txtKeyword"))->setText(keyword);
    section->findChild<QPlainTextEdit *>(QStringLiteral("txtMeaning"))->setPlainText(meaning);
    add->click();
}

// One page of the book as exported: the PDF of the Incense section written by the program, its
// third page (the chapter's first) drawn by poppler's pdftoppm.
bool savePage(const QDir &folder, const QString &name)
{
    const auto book = book::read(datafolder::workingDiaryPath(), {sections::Table::Incense});
    const QString pdf = QDir::temp().filePath(QStringLiteral("brimvale-screenshot-book.pdf"));
    const bool written = book.ok() && bookpages::writePdf(pdf, *book, book::dateLine()).done();
    const QString base = folder.filePath(QFileInfo(name).completeBaseName());
    const bool drawn = written
        && QProcess::execute(QStringLiteral("pdftoppm"),
                             {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("60"), QStringLiteral("-f"),
                              QStringLiteral("3"), QStringLiteral("-l"), QStringLiteral("3"),
                              QStringLiteral("-singlefile"), pdf, base})
            == 0;
    QFile::remove(pdf);
    std::printf("%s %s\n", drawn ? "wrote" : "FAILED", qPrintable(folder.filePath(name)));
    return drawn;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/share")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path()));
    QFile::setPermissions(home.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QApplication application(argc, argv);
    app::setApplicationIdentity();
    if (argc != 2) {
        std::fprintf(stderr, "usage: brimvale_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(output.path());
    platform::install(platform::productionServices());
    platform::installed().web = std::make_unique<NoBrowser>();

    bool ok = true;
    forms::ref<StartupWindow>();
    MainWindow *main = forms::loaded<MainWindow>();
    ok = save(main, output, QStringLiteral("main-window.png")) && ok;

    QTimer::singleShot(200, [&] {
        if (auto *about = qobject_cast<AboutDialog *>(QApplication::activeModalWidget())) {
            ok = save(about, output, QStringLiteral("about-window.png")) && ok;
            about->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        }
    });
    main->findChild<QAction *>(QStringLiteral("mnuAbout"))->trigger();

    QTimer::singleShot(200, [&] {
        if (auto *dialog = qobject_cast<ExportBookDialog *>(QApplication::activeModalWidget())) {
            ok = save(dialog, output, QStringLiteral("export-dialog.png")) && ok;
            dialog->findChild<QPushButton *>(QStringLiteral("cmdCancel"))->click();
        }
    });
    main->findChild<QAction *>(QStringLiteral("mnuExportBook"))->trigger();

    main->findChild<QRadioButton *>(QStringLiteral("optOption_1"))->click();
    main->findChild<QPushButton *>(QStringLiteral("cmdContinue"))->click();
    auto *section = forms::loaded<SectionWindow>();
    section->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    addEntry(section, QStringLiteral("Frankincense"),
             QStringLiteral("Burn for purification and to raise the spirit before a ritual."));
    addEntry(section, QStringLiteral("Sandalwood"),
             QStringLiteral("Calming; good for meditation and for blessing a new space."));
    addEntry(section, QStringLiteral("Myrrh"),
             QStringLiteral("Deepens focus. Blend with frankincense for a full moon."));
    auto *list = section->findChild<QListView *>(QStringLiteral("lstKeyword"));
    list->setCurrentIndex(list->model()->index(1, 0));
    ok = save(section, output, QStringLiteral("section-window.png")) && ok;
    ok = savePage(output, QStringLiteral("book-page.png")) && ok;

    section->findChild<QAction *>(QStringLiteral("mnuFind"))->trigger();
    auto *find = section->findChild<FindWindow *>();
    find->findChild<QLineEdit *>(QStringLiteral("txtFind"))->setText(QStringLiteral("frank"));
    // The results, once the diary is read in the background.
    Diary::working().waitForReaders();
    QApplication::processEvents();
    ok = save(find, output, QStringLiteral("find-window.png")) && ok;
    find->close();

    // The same window locked, in the middle of an edit, and unlocked again.
    if (!store::changePassword(datafolder::workingDiaryPath(), QString(), QStringLiteral("screenshot")).ok())
        ok = false;
    DiaryLock::instance().refresh();
    section->findChild<QPushButton *>(QStringLiteral("Command4"))->click();
    section->findChild<QPlainTextEdit *>(QStringLiteral("txtMeaning"))
        ->appendPlainText(QStringLiteral("Half a thought"));
    section->findChild<QAction *>(QStringLiteral("mnuLockDiary"))->trigger();
    ok = save(section, output, QStringLiteral("locked-section.png")) && ok;
    section->findChild<QLineEdit *>(QStringLiteral("txtUnlockPassword"))->setText(QStringLiteral("screenshot"));
    section->findChild<QPushButton *>(QStringLiteral("cmdUnlock"))->click();
    ok = save(section, output, QStringLiteral("unlocked-section.png")) && ok;
    section->findChild<QPushButton *>(QStringLiteral("Command4"))->click();

    // A slip of the hand, taken back where the history lists it.
    list->setCurrentIndex(list->model()->index(1, 0));
    section->findChild<QPushButton *>(QStringLiteral("Command3"))->click();
    section->findChild<QAction *>(QStringLiteral("mnuHistory"))->trigger();
    auto *history = section->findChild<HistoryWindow *>();
    auto *changes = history->findChild<QListView *>(QStringLiteral("lstChanges"));
    changes->setCurrentIndex(changes->model()->index(0, 0));
    history->findChild<QPushButton *>(QStringLiteral("cmdUndoChange"))->click();
    auto *backups = history->findChild<QListView *>(QStringLiteral("lstBackups"));
    backups->setCurrentIndex(backups->model()->index(0, 0));
    ok = save(history, output, QStringLiteral("history.png")) && ok;

    // A backup of the three entries; since then Myrrh was removed and Sandalwood changed.
    const QString diary = datafolder::workingDiaryPath();
    const QString planted = store::backupFolder(diary) + QStringLiteral("/updatediary-20261207-211500.dll");
    const auto keywords = Diary::working().keywords(sections::Table::Incense);
    ok = keywords.ok() && keywords->indexes.size() == 3 && QFile::copy(diary, planted) && ok;
    if (ok) {
        ok = Diary::working()
                 .update(sections::Table::Incense, keywords->indexes[1],
                         {QStringLiteral("Sandalwood"), QStringLiteral("Calming; burn a little before sleep.")})
                 .ok()
            && Diary::working().remove(sections::Table::Incense, keywords->indexes[2]).ok();
        for (int row = 0; row < backups->model()->rowCount(); ++row)
            if (backups->model()->index(row, 0).data().toString().contains(QStringLiteral("Incense 3")))
                backups->setCurrentIndex(backups->model()->index(row, 0));
        QTimer::singleShot(200, [&] {
            if (auto *dialog = qobject_cast<BringBackDialog *>(QApplication::activeModalWidget())) {
                ok = save(dialog, output, QStringLiteral("bringback.png")) && ok;
                dialog->findChild<QPushButton *>(QStringLiteral("cmdCancel"))->click();
            }
        });
        history->findChild<QPushButton *>(QStringLiteral("cmdBringBack"))->click();
    }
    history->close();

    section->findChild<QAction *>(QStringLiteral("mnuExit"))->trigger();
    ok = save(forms::loaded<ExitWindow>(), output, QStringLiteral("exit-window.png")) && ok;
    shutdown::quitAll();
    platform::install({}); // releases the instance lock while its temporary folder still exists
    return ok ? 0 : 1;
}
