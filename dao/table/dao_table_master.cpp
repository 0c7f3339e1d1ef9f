// TUxDaoTable: following a master dataset. The detail's recordset is narrowed by the database to
// the records whose link fields equal the master record's values; it is opened again each time
// the master record changes. A detail on SQL text with parameters also takes the master's field
// values into the parameters of the same names, and a new detail record starts with the
// master's values in its link fields.
#include <algorithm>

#include "dao/table/dao_table.h"
#include "dao/table/key_conditions.h"
#include "dataset/data_source.h"
#include "framework/exception.h"

namespace dao {

using framework::EDatabaseError;
using framework::TStringList;
using framework::Variant;

namespace {

// Sets a flag for the life of a scope and puts the old value back, also on an exception.
class FlagHolder {
 public:
  FlagHolder(bool& flag, bool value) : flag_(flag), old_(flag) { flag_ = value; }
  ~FlagHolder() { flag_ = old_; }
  FlagHolder(const FlagHolder&) = delete;
  FlagHolder& operator=(const FlagHolder&) = delete;

 private:
  bool& flag_;
  bool old_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Settings

dataset::TDataSource* TUxDaoTable::MasterSource() const { return master_link_->DataSource(); }

void TUxDaoTable::SetMasterSource(dataset::TDataSource* source) {
  if (source != nullptr && IsLinkedTo(source))
    throw EDatabaseError("Circular links not allowed!");
  if (source == nullptr) master_fields_.Clear();
  {
    // The link's field names belong to the old master: resolved against a new master that
    // lacks them they would raise, and while the link stays active across the change it would
    // keep pointing at the old master's field objects. The next opening parses them anew.
    FlagHolder held(master_notices_held_, true);
    master_link_->SetFieldNames(std::string());
    detail_names_.clear();
    master_names_.clear();
    master_link_->SetDataSource(source);
  }
  if (Active()) ReopenForLink();
}

void TUxDaoTable::SetMasterFields(const TStringList& lines) {
  master_fields_.Assign(lines);
  if (Active()) ReopenForLink();
}

void TUxDaoTable::ReopenForLink() {
  try {
    ReopenDaoRecordset();
  } catch (...) {
    // A failed opening leaves no recordset behind; an open dataset without one could neither
    // show nor move to any record.
    if (!dao_recordset_) CloseAfterFailedOpen();
    throw;
  }
}

void TUxDaoTable::CloseAfterFailedOpen() {
  try {
    Close();
  } catch (const std::exception&) {
  }
}

// ---------------------------------------------------------------------------------------------
// Opening

void TUxDaoTable::ParseMasterLink() {
  const daotable::MasterFieldPairs pairs = daotable::ParseMasterFields(master_fields_);
  detail_names_ = pairs.detail;
  master_names_ = pairs.master;
  FlagHolder held(master_notices_held_, true);
  // Cleared first so that the names are resolved against the master as it is now, even when
  // they are the same text as before.
  master_link_->SetFieldNames(std::string());
  master_link_->SetFieldNames(pairs.MasterNamesText());
}

void TUxDaoTable::SettleMasterIdle() {
  // Opening the master notifies the link; the detail is in the middle of its own opening and
  // must not be reopened from there.
  FlagHolder held(master_notices_held_, true);
  dataset::TDataSource* master_source = MasterSource();
  master_idle_ = true;
  if (master_source == nullptr || master_source->DataSet() == nullptr) return;
  master_idle_ = !master_link_->Active();
  dataset::TDataSet* master = master_source->DataSet();
  if (!master->Active() && master_auto_activate_) {
    try {
      master->Open();
    } catch (...) {
      master_idle_ = !master_link_->Active();
      throw;
    }
    master_idle_ = !master_link_->Active();
  }
}

void TUxDaoTable::RestrictToMaster() {
  SettleMasterIdle();
  dataset::TDataSource* master_source = MasterSource();
  if (master_source == nullptr || master_idle_ || !master_source->Enabled()) return;
  ParseMasterLink();
  if (detail_names_.empty()) return;
  const std::string condition = daotable::BuildMasterDetailSQL(
      detail_names_, master_names_, *master_source->DataSet(), use_brackets_);
  const std::string filter = daotable::CombineFilter(condition, filter_text_, filtered_);
  dao_recordset_->SetFilter(filter);
  if (!table_name_.empty()) {
    std::string q = "Select * From [" + table_name_ + "] Where " + filter;
    if (!sort_text_.empty()) q += " Order By " + sort_text_;
    q += ";";
    try {
      dao_recordset_->Close();
    } catch (const std::exception&) {
    }
    dao_recordset_.reset();
    dao_recordset_ = database_->CoreDatabase()->OpenRecordset(
        q, Variant(table_type_), Variant(open_options_value_), Variant(lock_type_));
  } else {
    base_recordset_ = dao_recordset_;
    dao_recordset_ =
        base_recordset_->OpenRecordset(Variant(table_type_), Variant(open_options_value_));
  }
}

void TUxDaoTable::CopyMasterValuesToParams() {
  dataset::TDataSource* source = MasterSource();
  if (source == nullptr || source->DataSet() == nullptr) return;
  dataset::TDataSet& master = *source->DataSet();
  if (!master.Active() || master.State() == dataset::stSetKey || !param_check_ ||
      params_.Count() == 0)
    return;
  for (dataset::TField* field : master.Fields()) {
    dataset::TParam* param = params_.FindParam(field->FieldName());
    if (param == nullptr) continue;
    // A type the parameter already has is kept; only an untyped one takes the field's.
    param->AssignFieldValue(*field, field->Value());
  }
}

void TUxDaoTable::ReopenDetailRecordset() {
  ClearBookmarkMap();
  dataset::TDataSource* source = MasterSource();
  if (source == nullptr || source->DataSet() == nullptr || detail_names_.empty())
    throw EDatabaseError("TUxDaoTable.ReopenDetailRecordset: The table is not linked to a master!");
  const std::string condition = daotable::BuildMasterDetailSQL(
      detail_names_, master_names_, *source->DataSet(), use_brackets_);
  if (!table_name_.empty()) {
    const std::string filter = daotable::CombineFilter(condition, filter_text_, filtered_);
    std::string q = "Select * From [" + table_name_ + "] Where " + filter;
    if (!sort_text_.empty()) q += " Order By " + sort_text_;
    q += ";";
    dao_recordset_ = database_->CoreDatabase()->OpenRecordset(
        q, Variant(table_type_), Variant(open_options_value_), Variant(lock_type_));
  } else {
    if (!base_recordset_)
      throw EDatabaseError("TUxDaoTable.ReopenDetailRecordset: No base recordset to narrow!");
    base_recordset_->Requery();
    // The base recordset carries the table's own filter already.
    base_recordset_->SetFilter(condition);
    // The table's own options, as at the full opening: DAO's append-only option would hide
    // every existing detail record, and deny-write would lock other users out of the table.
    dao_recordset_ = base_recordset_->OpenRecordset(Variant(), Variant(open_options_value_));
  }
  RefillDaoFields();
  ResetPositions();
  CountRecords();
  FreeEngineCaches();
}

// ---------------------------------------------------------------------------------------------
// Notifications of the master

void TUxDaoTable::MasterChanged() {
  if (master_notices_held_ || !Active()) return;
  CheckBrowseMode();
  if (!master_link_->Active() || master_link_->Fields().empty()) return;
  if (sql_.Count() > 0) CopyMasterValuesToParams();
  RefreshDetail();
}

void TUxDaoTable::MasterDisabled() {
  if (master_notices_held_ || !Active()) return;
  CheckBrowseMode();
  master_idle_ = !master_link_->Active();
  // A master that opens after its detail was opened unrestricted (it was closed then and not
  // opened for it) arrives here: the link has no names to resolve yet. Parse them now, or the
  // detail would go on showing every record while the master shows one.
  if (master_link_->Active() && master_link_->FieldNames().empty() && MasterSource()->Enabled()) {
    ParseMasterLink();
    if (master_link_->Fields().empty()) return;
    if (sql_.Count() > 0) CopyMasterValuesToParams();
    RefreshDetail();
  }
}

void TUxDaoTable::RefreshDetail() {
  if (HasState(framework::csDestroying)) return;
  master_idle_ = !master_link_->Active();
  dataset::TDataSource* source = MasterSource();
  if (source == nullptr) return;
  dataset::TDataSet* master = source->DataSet();
  if (master == nullptr || master->ControlsDisabled() || ControlsDisabled() || master_idle_ ||
      !master->Active() || !source->Enabled() || source->State() == dataset::stEdit)
    return;
  if (master_names_.empty()) return;
  CheckBrowseMode();
  ClearBuffers();
  CloseDaoRecordset();
  try {
    if (sql_.Count() == 0) {
      try {
        ReopenDetailRecordset();
      } catch (const std::exception&) {
        CloseDaoRecordset();
        OpenDaoRecordset();
      }
    } else {
      OpenDaoRecordset();
    }
  } catch (...) {
    // Without a recordset the detail cannot show or move to any record; it is closed so that
    // it says so, and the error goes on to whoever moved the master.
    CloseAfterFailedOpen();
    throw;
  }
  ActivateBuffers();
  GoFirst();
}

// ---------------------------------------------------------------------------------------------
// New records

void TUxDaoTable::DoOnNewRecord() {
  if (master_link_->Active() && !master_link_->Fields().empty()) {
    const std::vector<dataset::TField*>& master_fields = master_link_->Fields();
    const size_t count = std::min(master_fields.size(), detail_names_.size());
    for (size_t i = 0; i < count; ++i)
      FieldNamed(detail_names_[i]).SetValue(master_fields[i]->Value());
  }
  dataset::TDataSet::DoOnNewRecord();
}

}  // namespace dao
