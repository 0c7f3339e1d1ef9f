// TUxDaoTable: the blob streams of its memo and blob fields and its own index-definition
// collection.
#include <memory>

#include "dao/table/blob_stream.h"
#include "dao/table/dao_index_defs.h"
#include "dao/table/dao_table.h"

namespace dao {

TUxDaoTable::TIndexDefsInstaller::TIndexDefsInstaller(TUxDaoTable* table) {
  table->SetIndexDefs(std::make_unique<TUxDaoIndexDefs>(table));
}

std::unique_ptr<framework::TStream> TUxDaoTable::CreateBlobStream(dataset::TField& field,
                                                                  dataset::TBlobStreamMode mode) {
  return std::make_unique<TUxBlobStream>(field, mode);
}

void TUxDaoTable::UpdateIndexDefs() {
  if (auto* defs = dynamic_cast<TUxDaoIndexDefs*>(&IndexDefs())) defs->SyncIndexesToTable();
}

}  // namespace dao
