#include "gui/windows/bringbackdialog.h"

#include "core/entries.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

namespace {
// A line of the list tells the entry by its keyword and the start of its meaning; the box below it
// shows the whole of both versions.
constexpr qsizetype kShownCharacters = 200;

QString lineOf(const store::Entry &entry)
{
    QString meaning = entry.meaning.left(kShownCharacters);
    meaning.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral("%1\n%2").arg(entry.keyword, meaning);
}

QString wholeOf(const std::optional<store::Entry> &entry)
{
    if (!entry)
        return QStringLiteral("  (removed since)\n");
    return entries::labelled(entry->keyword, entry->meaning);
}
} // namespace

BringBackDialog::BringBackDialog(QWidget *parent, const QString &made, std::vector<store::FromBackup> entries)
    : QDialog(parent), m_entries(std::move(entries))
{
    setObjectName(QStringLiteral("frmBringBack"));
    setWindowTitle(QStringLiteral("Bring Back Entries"));
    auto *layout = new QVBoxLayout(this);

    auto *about = new QLabel(QStringLiteral("The backup of %1 holds these entries, which the diary no longer holds or "
                                            "holds otherwise. The ticked ones come back: a removed entry to its old "
                                            "place, an older version in place of the diary's text. Undo Change in "
                                            "History takes them back together.")
                                 .arg(made),
                             this);
    about->setObjectName(QStringLiteral("lblBringBack"));
    about->setWordWrap(true);
    layout->addWidget(about);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lstBringBack"));
    m_list->setAccessibleName(QStringLiteral("Entries to bring back"));
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("In the backup"), QStringLiteral("In the diary now")});
    m_list->header()->setSectionResizeMode(QHeaderView::Stretch);
    m_list->setTextElideMode(Qt::ElideRight);
    auto *listLabel = new QLabel(QStringLiteral("&Entries"), this);
    listLabel->setBuddy(m_list);
    layout->addWidget(listLabel);
    layout->addWidget(m_list, 3);
    m_wholeText = new QPlainTextEdit(this);
    m_wholeText->setObjectName(QStringLiteral("txtBringBackEntry"));
    m_wholeText->setAccessibleName(QStringLiteral("The chosen entry in the backup and in the diary now"));
    m_wholeText->setReadOnly(true);
    m_wholeText->setTabChangesFocus(true);
    auto *wholeLabel = new QLabel(QStringLiteral("The chosen entry in &full"), this);
    wholeLabel->setBuddy(m_wholeText);
    layout->addWidget(wholeLabel);
    layout->addWidget(m_wholeText, 2);

    // Each section is filled before it joins the list: in the list, every tick would have the
    // section's own tick counted again over all its entries.
    QList<QTreeWidgetItem *> filled;
    for (std::size_t at = 0; at < m_entries.size(); ++at) {
        const store::FromBackup &entry = m_entries[at];
        if (filled.isEmpty() || filled.back()->data(0, Qt::UserRole).toInt() != int(entry.table)) {
            filled << new QTreeWidgetItem(QStringList{sections::section(entry.table).name});
            filled.back()->setData(0, Qt::UserRole, int(entry.table));
            filled.back()->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable
                                    | Qt::ItemIsAutoTristate);
        }
        auto *item = new QTreeWidgetItem(
            filled.back(), {lineOf(entry.then), entry.now ? lineOf(*entry.now) : QStringLiteral("(removed since)")});
        item->setData(1, Qt::UserRole, qulonglong(at));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, entry.now ? Qt::Unchecked : Qt::Checked);
    }
    m_list->addTopLevelItems(filled);
    for (QTreeWidgetItem *section : filled)
        section->setFirstColumnSpanned(true);
    m_list->expandAll();
    connect(m_list, &QTreeWidget::currentItemChanged, this, &BringBackDialog::showWhole);
    if (QTreeWidgetItem *first = m_list->topLevelItem(0))
        m_list->setCurrentItem(first->child(0));

    auto *buttons = new QDialogButtonBox(this);
    m_bringBackButton = buttons->addButton(QStringLiteral("&Bring Back"), QDialogButtonBox::AcceptRole);
    m_bringBackButton->setObjectName(QStringLiteral("cmdOK"));
    m_bringBackButton->setDefault(true);
    QPushButton *cancelButton = buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    cancelButton->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // Ticking a section ticks each of its entries: the button is looked at once they all are.
    connect(m_list, &QTreeWidget::itemChanged, this, [this] {
        if (!std::exchange(m_enablePending, true))
            QTimer::singleShot(0, this, [this] {
                m_enablePending = false;
                enableBringBack();
            });
    });
    layout->addWidget(buttons);
    enableBringBack();
    m_list->setFocus();
    resize(720, 480);
}

std::vector<store::FromBackup> BringBackDialog::ticked() const
{
    std::vector<store::FromBackup> chosen;
    for (int s = 0; s < m_list->topLevelItemCount(); ++s) {
        const QTreeWidgetItem *section = m_list->topLevelItem(s);
        for (int e = 0; e < section->childCount(); ++e)
            if (section->child(e)->checkState(0) == Qt::Checked)
                chosen.push_back(m_entries[section->child(e)->data(1, Qt::UserRole).toULongLong()]);
    }
    return chosen;
}

void BringBackDialog::showWhole(const QTreeWidgetItem *item)
{
    m_wholeText->clear();
    if (!item || !item->parent())
        return;
    const store::FromBackup &entry = m_entries[item->data(1, Qt::UserRole).toULongLong()];
    m_wholeText->setPlainText(
        QStringLiteral("In the backup\n%1In the diary now\n%2").arg(wholeOf(entry.then), wholeOf(entry.now)));
}

void BringBackDialog::enableBringBack()
{
    bool any = false;
    for (int s = 0; s < m_list->topLevelItemCount() && !any; ++s)
        any = m_list->topLevelItem(s)->checkState(0) != Qt::Unchecked;
    m_bringBackButton->setEnabled(any);
}

std::optional<std::vector<store::FromBackup>> BringBackDialog::choose(QWidget *parent, const QString &made,
                                                                      std::vector<store::FromBackup> entries)
{
    BringBackDialog dialog(parent, made, std::move(entries));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.ticked();
}
