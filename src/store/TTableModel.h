#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class TTableAdapter;

// A read-only grid model over a table adapter. Rows follow the table's active order and
// are read from the engine when the view asks for them; only the rows seen recently are
// kept. The vertical header is the row indicator: it marks the current record.
class TTableModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    struct Column {
        QString title;
        std::string field;  // field the column shows (or computes from)
        int widthChars = 0; // display width in characters; 0: from the field and title
        // Computes the shown text from the field's value (a calculated column); empty:
        // the value itself, dates in the short date format.
        std::function<QString(const std::string&)> compute;
    };

    TTableModel(TTableAdapter& adapter, std::vector<Column> columns, QObject* parent = nullptr);
    ~TTableModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Display width of a column in characters.
    int ColumnWidthChars(int column) const;
    // Record number shown in `row` (0 when none).
    long RecordOfRow(int row) const;
    // Row of the table's current record, -1 without one.
    int CurrentRow() const { return currentRow_; }
    // The view moved to `row`: it becomes the table's current record.
    void SelectRow(int row);

    // Text of a date value "YYYYMMDD" in the short date format (empty for a blank date).
    static QString DateText(const std::string& yyyymmdd);

signals:
    // The table's current record moved to `row` (-1: no current record).
    void CurrentRowChanged(int row);
    // The display widths changed: the table was opened (or reopened with another layout)
    // and the columns now know their fields' widths.
    void ColumnWidthsChanged();

private:
    struct Row {
        long recno = 0;
        std::vector<std::string> values;
    };

    const Row& FetchRow(int row) const;
    QString DisplayText(int column, const std::string& value) const;
    void TableChanged();
    void ReadLayout();

    TTableAdapter& adapter_;
    std::vector<Column> columns_;
    std::vector<std::string> fields_;
    std::vector<char> fieldTypes_;
    std::vector<int> fieldWidths_;
    int observerId_ = 0;
    int rowCount_ = 0;
    int currentRow_ = -1;
    mutable std::unordered_map<int, Row> cache_;
};
