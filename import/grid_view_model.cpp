#include "import/grid_view_model.h"

namespace import {

GridViewModel::GridViewModel(TStringGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid) {
  grid_.OnChange = [this] {
    beginResetModel();
    endResetModel();
  };
}

GridViewModel::~GridViewModel() { grid_.OnChange = nullptr; }

int GridViewModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.RowCount() - grid_.FixedRows();
}

int GridViewModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.ColCount();
}

QVariant GridViewModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != Qt::DisplayRole) return QVariant();
  return QString::fromStdString(grid_.Cell(index.column(), index.row() + grid_.FixedRows()));
}

QVariant GridViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return QVariant();
  if (orientation == Qt::Horizontal) {
    // Only the last fixed row carries the headings; a grid without fixed rows has none.
    if (grid_.FixedRows() == 0) return QString();
    return QString::fromStdString(grid_.Cell(section, grid_.FixedRows() - 1));
  }
  return QString::number(section + grid_.FixedRows());
}

Qt::ItemFlags GridViewModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace import
