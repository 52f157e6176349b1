// Paints a status cell in its own colours even in a selected row, so red and green stay readable there.
#pragma once

#include <QStyledItemDelegate>

class StatusCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* pPainter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
