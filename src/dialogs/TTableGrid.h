#pragma once

class QTableView;
class TTableModel;

// The look and behaviour every table grid of the program shares: whole rows selected
// one at a time, read-only, no word wrap, fixed row height, a narrow row indicator; and
// the grid's current row kept equal to the table's current record in both directions.
class TTableGrid {
public:
    // Sets the model and the shared look.
    static void SetUp(QTableView* grid, TTableModel* model);
    // Moving in the grid moves the table; a record made current elsewhere (a search, a
    // new record) moves the grid, keeping its current column.
    static void FollowCurrentRecord(QTableView* grid, TTableModel* model);
    // Selects the table's current record in the grid, if there is one.
    static void SelectCurrentRecord(QTableView* grid, TTableModel* model);
};
