#include "readable.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace testing {

namespace {
void readModel(const QAbstractItemModel *model, const QModelIndex &parent, QStringList &texts)
{
    for (int row = 0; row < model->rowCount(parent); ++row)
        for (int column = 0; column < model->columnCount(parent); ++column) {
            const QModelIndex index = model->index(row, column, parent);
            for (int role : {Qt::DisplayRole, Qt::ToolTipRole, Qt::AccessibleTextRole})
                texts << index.data(role).toString();
            readModel(model, index, texts);
        }
}

void readWidget(const QWidget *widget, QStringList &texts)
{
    texts << widget->windowTitle() << widget->toolTip() << widget->accessibleName() << widget->accessibleDescription();
    if (const auto *line = qobject_cast<const QLineEdit *>(widget))
        texts << line->text() << line->placeholderText();
    else if (const auto *plain = qobject_cast<const QPlainTextEdit *>(widget))
        texts << plain->toPlainText();
    else if (const auto *rich = qobject_cast<const QTextEdit *>(widget))
        texts << rich->toPlainText();
    else if (const auto *label = qobject_cast<const QLabel *>(widget))
        texts << label->text();
    else if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
        texts << button->text();
    else if (const auto *combo = qobject_cast<const QComboBox *>(widget))
        texts << combo->currentText();
    if (const auto *view = qobject_cast<const QAbstractItemView *>(widget); view && view->model())
        readModel(view->model(), view->rootIndex(), texts);
}

void readAccessible(QAccessibleInterface *node, QStringList &texts, int depth)
{
    if (!node || !node->isValid() || depth > 64)
        return;
    for (QAccessible::Text kind : {QAccessible::Name, QAccessible::Value, QAccessible::Description, QAccessible::Help})
        texts << node->text(kind);
    if (QAccessibleTextInterface *text = node->textInterface())
        texts << text->text(0, text->characterCount());
    if (QAccessibleValueInterface *value = node->valueInterface())
        texts << value->currentValue().toString();
    for (int child = 0; child < node->childCount(); ++child)
        readAccessible(node->child(child), texts, depth + 1);
}
} // namespace

QStringList readableTexts()
{
    QStringList texts;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        readWidget(window, texts);
        for (const QWidget *child : window->findChildren<QWidget *>())
            readWidget(child, texts);
        readAccessible(QAccessible::queryAccessibleInterface(window), texts, 0);
    }
    texts.removeAll(QString());
    return texts;
}

QStringList textsHolding(const QStringList &words)
{
    QStringList holding;
    for (const QString &text : readableTexts())
        for (const QString &word : words)
            if (text.contains(word, Qt::CaseInsensitive)) {
                holding << text;
                break;
            }
    return holding;
}

} // namespace testing
