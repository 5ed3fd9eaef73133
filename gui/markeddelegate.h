#pragma once

// Draws a line of a list with the parts its model marks (a list of starts and lengths, in the
// given role) in bold. The text is laid out as plain text, whatever it holds: markup in the
// diary's words shows as it was typed.

#include <QStyledItemDelegate>

class MarkedDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    MarkedDelegate(int marksRole, QObject *parent);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    int m_marksRole;
};
