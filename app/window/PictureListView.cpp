#include "app/window/PictureListView.h"

#include "app/window/PictureListModel.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QMimeData>

#include <algorithm>

TPictureListView::TPictureListView(TPictureListModel& model, QWidget* parent) : QListView(parent), model_(model) {
    setModel(&model_);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    // Every row is as high as a thumbnail: the view lays out thousands of rows without asking each.
    setUniformItemSizes(true);
    setIconSize(QSize(48, 36));
}

QList<int> TPictureListView::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TPictureListView::SelectRows(const QList<int>& rows) {
    QItemSelection selection;
    for (int r : rows)
        selection.select(model_.index(r), model_.index(r));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty()) {
        selectionModel()->setCurrentIndex(model_.index(rows.first()), QItemSelectionModel::NoUpdate);
        scrollTo(model_.index(rows.first()));
    }
}

int TPictureListView::DropRowAt(const QPoint& pos) const {
    const QModelIndex index = indexAt(pos);
    if (!index.isValid())
        return model_.rowCount();
    // The lower half of a row drops after it.
    const QRect rect = visualRect(index);
    return pos.y() >= rect.center().y() ? index.row() + 1 : index.row();
}

void TPictureListView::startDrag(Qt::DropActions) {
    QMimeData* mime = model_.mimeData(selectionModel()->selectedRows());
    if (!mime)
        return;
    // The drop does the move; nothing is removed here afterwards (a view's own default removes
    // the dragged rows once more when the drop was a move).
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

void TPictureListView::dragEnterEvent(QDragEnterEvent* event) {
    if (model_.canDropMimeData(event->mimeData(), event->dropAction(), -1, 0, QModelIndex()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TPictureListView::dragMoveEvent(QDragMoveEvent* event) {
    if (!model_.canDropMimeData(event->mimeData(), event->dropAction(), -1, 0, QModelIndex())) {
        event->ignore();
        return;
    }
    QListView::dragMoveEvent(event); // the drop indicator and scrolling at the edges
    event->acceptProposedAction();
}

void TPictureListView::dropEvent(QDropEvent* event) {
    const QMimeData* mime = event->mimeData();
    const int row = DropRowAt(event->position().toPoint());
    const bool ownRows = model_.OwnsRows(mime);
    // Rows of this list move; anything else (files from the file manager) is added.
    const Qt::DropAction action = ownRows ? Qt::MoveAction : Qt::CopyAction;
    const int before = model_.rowCount();
    const QList<int> selected = SelectedRows();
    if (!model_.dropMimeData(mime, action, row, 0, QModelIndex())) {
        event->ignore();
        setState(NoState);
        return;
    }
    if (ownRows) {
        // The moved rows stay selected, now where they were dropped.
        int at = row;
        for (int r : selected)
            if (r < row)
                --at;
        QList<int> moved;
        for (int i = 0; i < selected.size(); ++i)
            moved << at + i;
        SelectRows(moved);
    } else {
        QList<int> added;
        for (int i = 0; i < model_.rowCount() - before; ++i)
            added << row + i;
        SelectRows(added);
    }
    event->setDropAction(action);
    event->accept();
    setState(NoState);
    viewport()->update();
}
