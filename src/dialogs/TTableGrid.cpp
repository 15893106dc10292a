#include "dialogs/TTableGrid.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

#include <algorithm>

#include "store/TTableModel.h"

namespace {

void MakeCurrent(QTableView* grid, TTableModel* model, int row) {
    const int column = std::max(0, grid->selectionModel()->currentIndex().column());
    grid->selectionModel()->setCurrentIndex(
        model->index(row, column), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

} // namespace

void TTableGrid::SetUp(QTableView* grid, TTableModel* model) {
    grid->setModel(model);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setShowGrid(true);
    grid->setWordWrap(false);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 4);
    grid->verticalHeader()->setFixedWidth(14);
}

void TTableGrid::FollowCurrentRecord(QTableView* grid, TTableModel* model) {
    QObject::connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, model,
                     [model](const QModelIndex& current) {
                         if (current.isValid()) {
                             model->SelectRow(current.row());
                         }
                     });
    QObject::connect(model, &TTableModel::CurrentRowChanged, grid, [grid, model](int row) {
        if (row >= 0 && row < model->rowCount() &&
            grid->selectionModel()->currentIndex().row() != row) {
            MakeCurrent(grid, model, row);
        }
    });
}

void TTableGrid::SelectCurrentRecord(QTableView* grid, TTableModel* model) {
    if (model->CurrentRow() >= 0) {
        MakeCurrent(grid, model, model->CurrentRow());
    }
}
