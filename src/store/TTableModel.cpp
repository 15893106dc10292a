#include "store/TTableModel.h"

#include "store/TTableAdapter.h"

#include <QDate>
#include <QLocale>

#include <algorithm>
#include <exception>

namespace {

// Rows kept in memory at most; a screen of the grid needs a few dozen.
constexpr std::size_t MaxCachedRows = 1024;
const QString IndicatorMark = QStringLiteral("\u25B6");

} // namespace

TTableModel::TTableModel(TTableAdapter& adapter, std::vector<Column> columns, QObject* parent)
    : QAbstractTableModel(parent), adapter_(adapter), columns_(std::move(columns)) {
    for (const auto& column : columns_) {
        fields_.push_back(column.field);
    }
    fieldTypes_.assign(fields_.size(), 'C');
    fieldWidths_.assign(fields_.size(), 0);
    observerId_ = adapter_.AddObserver([this] { TableChanged(); });
    TableChanged();
}

TTableModel::~TTableModel() {
    adapter_.RemoveObserver(observerId_);
}

void TTableModel::ReadLayout() {
    if (!adapter_.Active()) {
        return;
    }
    try {
        const auto defs = adapter_.Fields();
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            const auto def = std::find_if(defs.begin(), defs.end(), [&](const auto& d) {
                return QString::fromStdString(d.name).compare(QString::fromStdString(fields_[i]),
                                                              Qt::CaseInsensitive) == 0;
            });
            if (def != defs.end()) {
                fieldTypes_[i] = def->type;
                // A date in the short format takes up to about a dozen characters.
                fieldWidths_[i] = def->type == 'D' ? 12 : def->width;
            }
        }
    } catch (const std::exception&) {
    }
}

void TTableModel::TableChanged() {
    beginResetModel();
    cache_.clear();
    const std::vector<int> widthsBefore = fieldWidths_;
    ReadLayout();
    try {
        rowCount_ = static_cast<int>(std::max(0L, adapter_.RowCount()));
        currentRow_ = static_cast<int>(adapter_.CurrentRow());
    } catch (const std::exception&) {
        rowCount_ = 0;
        currentRow_ = -1;
    }
    endResetModel();
    emit CurrentRowChanged(currentRow_);
    if (fieldWidths_ != widthsBefore) {
        emit ColumnWidthsChanged();
    }
}

int TTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rowCount_;
}

int TTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

const TTableModel::Row& TTableModel::FetchRow(int row) const {
    if (auto found = cache_.find(row); found != cache_.end()) {
        return found->second;
    }
    if (cache_.size() >= MaxCachedRows) {
        cache_.clear();
    }
    Row fetched;
    try {
        fetched.recno = adapter_.RecordOfRow(row);
        fetched.values = adapter_.ReadValues(fetched.recno, fields_);
    } catch (const std::exception&) {
        fetched.values.assign(fields_.size(), std::string());
    }
    return cache_.emplace(row, std::move(fetched)).first->second;
}

QString TTableModel::DateText(const std::string& yyyymmdd) {
    const QDate date = QDate::fromString(QString::fromStdString(yyyymmdd), "yyyyMMdd");
    return date.isValid() ? QLocale().toString(date, QLocale::ShortFormat) : QString();
}

QString TTableModel::DisplayText(int column, const std::string& value) const {
    const Column& spec = columns_[column];
    if (spec.compute) {
        return spec.compute(value);
    }
    if (fieldTypes_[column] == 'D') {
        return DateText(value);
    }
    return QString::fromStdString(value);
}

QVariant TTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount_ ||
        index.column() >= static_cast<int>(columns_.size())) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        const Row& row = FetchRow(index.row());
        return DisplayText(index.column(), row.values[index.column()]);
    }
    case Qt::TextAlignmentRole:
        if (fieldTypes_[index.column()] == 'N' && !columns_[index.column()].compute) {
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        }
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant TTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= static_cast<int>(columns_.size())) {
            return {};
        }
        return columns_[section].title;
    }
    return section == currentRow_ ? IndicatorMark : QString();
}

Qt::ItemFlags TTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

int TTableModel::ColumnWidthChars(int column) const {
    const Column& spec = columns_[column];
    if (spec.widthChars > 0) {
        return spec.widthChars;
    }
    return std::max(static_cast<int>(spec.title.size()), fieldWidths_[column]);
}

long TTableModel::RecordOfRow(int row) const {
    if (row < 0 || row >= rowCount_) {
        return 0;
    }
    return FetchRow(row).recno;
}

void TTableModel::SelectRow(int row) {
    const long recno = RecordOfRow(row);
    if (recno == 0 || row == currentRow_) {
        return;
    }
    adapter_.SelectRecord(recno);
    const int previous = currentRow_;
    currentRow_ = row;
    if (previous >= 0) {
        emit headerDataChanged(Qt::Vertical, previous, previous);
    }
    emit headerDataChanged(Qt::Vertical, row, row);
}
