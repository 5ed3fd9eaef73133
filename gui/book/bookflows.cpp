#include "gui/book/bookflows.h"

#include "core/book/bookfile.h"
#include "core/book/bookimport.h"
#include "core/diary.h"
#include "core/filefolders.h"
#include "gui/book/bookpages.h"
#include "gui/filedialogs.h"
#include "gui/messages.h"

#include <QDir>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>

namespace bookflows {

namespace {
constexpr int kSteps = 1000;
// Work that ends sooner never shows the progress window.
constexpr int kShowAfterMs = 500;

// A progress window with Cancel for one piece of work; the windows behind it are redrawn
// while it runs.
class Progress {
public:
    Progress(QWidget *parent, const QString &label) : m_dialog(label, QStringLiteral("Cancel"), 0, kSteps, parent)
    {
        m_dialog.setObjectName(QStringLiteral("dlgProgress"));
        m_dialog.setWindowTitle(QStringLiteral("Brimvale"));
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(kShowAfterMs);
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0);
    }
    book::Progress callback()
    {
        return [this](qint64 done, qint64 total) {
            m_dialog.setValue(total > 0 ? int(done * kSteps / total) : kSteps);
            return !m_dialog.wasCanceled();
        };
    }
    // Once the work is over: left waiting for its delay, the window would appear later over
    // the message that ends the work, modal, and keep that message from answering.
    void close()
    {
        m_dialog.reset();
        m_dialog.hide();
    }

private:
    QProgressDialog m_dialog;
};

void complain(QWidget *parent, const QString &text)
{
    gui::messages().show(parent, text, gui::MessageIcon::Critical);
}

// The message that ends a piece of work, once its progress window is gone.
void tellOutcome(QWidget *parent, Progress &progress, const book::Outcome &outcome, const QString &doneText)
{
    progress.close();
    if (outcome.kind == book::Outcome::Kind::Failed)
        complain(parent, outcome.message);
    else if (outcome.done())
        gui::messages().show(parent, doneText, gui::MessageIcon::Information);
}
} // namespace

void exportBook(QWidget *parent, const std::vector<sections::Table> &tables, book::Format format)
{
    const QString suffix = book::formatName(format);
    const QString suggested = QDir(filefolders::startFolder()).filePath(book::kTitle + QLatin1Char('.') + suffix);
    QString path =
        gui::fileDialogs().saveFileName(parent, QStringLiteral("Export Book"), suggested, book::filterOf(format));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + suffix;
    // Before the diary is read, which may ask for its password: a refused place needs none.
    if (const auto refused = book::refusalOf(path))
        return complain(parent, book::exportFailure(path, refused->detail));
    filefolders::rememberFolderOf(path);
    const auto book = book::read(Diary::working().path(), tables);
    if (!book.ok())
        return complain(parent, store::message(book.failure()));
    Progress progress(parent, QStringLiteral("Exporting the book\u2026"));
    const book::Outcome outcome = bookpages::exportBook(path, format, *book, book::dateLine(), progress.callback());
    tellOutcome(parent, progress, outcome,
                QStringLiteral("The book was exported to\n%1").arg(QDir::toNativeSeparators(path)));
}

void printBook(QWidget *parent)
{
    const auto book = book::read(Diary::working().path(), {sections::kTables.begin(), sections::kTables.end()});
    if (!book.ok())
        return complain(parent, store::message(book.failure()));
    const QString dated = book::dateLine();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(book::kTitle);
    printer.setPageLayout(bookpages::pageLayout());
    QPrintPreviewDialog preview(&printer, parent);
    preview.setObjectName(QStringLiteral("dlgPrintPreview"));
    preview.setWindowTitle(QStringLiteral("Print Book"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&](QPrinter *target) {
        // Printing to a file is an export by another door, and a slip in the print window must
        // not put a PDF in place of the diary either.
        if (const QString file = target->outputFileName(); !file.isEmpty()) {
            if (const auto refused = book::refusalOf(file))
                return complain(&preview, book::exportFailure(file, refused->detail));
        }
        Progress progress(&preview, QStringLiteral("Laying out the book\u2026"));
        bookpages::paint(*target, *book, dated, progress.callback());
    });
    preview.exec();
}

void importEntries(QWidget *parent)
{
    const QString path = gui::fileDialogs().openFileName(
        parent, QStringLiteral("Import Entries"), filefolders::startFolder(),
        QStringLiteral(
            "Books and diaries (*.csv *.md *.markdown *.dll);;CSV table (*.csv);;Markdown (*.md *.markdown);;"
            "Brimvale diary (*.dll);;All files (*)"));
    if (path.isEmpty())
        return;
    filefolders::rememberFolderOf(path);
    importFrom(parent, path);
}

bool importFrom(QWidget *parent, const QString &path)
{
    const auto loaded = book::load(path);
    if (!loaded.ok()) {
        complain(parent, loaded.failure().detail);
        return false;
    }
    const QString diary = Diary::working().path();
    const auto preview = book::preview(diary, *loaded);
    if (!preview.ok()) {
        complain(parent, store::message(preview.failure()));
        return false;
    }
    const QString counts = book::describe(*preview);
    const QString file = QDir::toNativeSeparators(path);
    if (preview->additions.empty()) {
        const QString why = preview->leftOut > 0 ? QStringLiteral("Nothing in %1 can be imported.")
                                                 : QStringLiteral("Every entry in %1 is in the diary already.");
        gui::messages().show(parent, why.arg(file) + QStringLiteral("\n\n") + counts, gui::MessageIcon::Information);
        return false;
    }
    if (gui::messages().askYesNo(parent, QStringLiteral("Import these entries from %1?\n\n%2").arg(file, counts))
        != gui::Answer::Yes)
        return false;
    Progress progress(parent, QStringLiteral("Importing entries\u2026"));
    const book::Outcome outcome = Diary::working().import(*preview, progress.callback());
    tellOutcome(parent, progress, outcome, QStringLiteral("The entries were imported."));
    return outcome.done();
}

} // namespace bookflows
