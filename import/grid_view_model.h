// Shows a TStringGrid in a Qt item view: fixed rows become the column headings, the other rows
// the view's rows.
#pragma once

#include <QAbstractTableModel>

#include "import/string_grid.h"

namespace import {

class GridViewModel : public QAbstractTableModel {
 public:
  // The grid must outlive the model; the model takes over the grid's OnChange.
  explicit GridViewModel(TStringGrid& grid, QObject* parent = nullptr);
  ~GridViewModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  TStringGrid& grid_;
};

}  // namespace import
