// rename_table DATABASE TABLE NEW_NAME [FIELD=NEW_FIELD ...]: renames a stored table and some of
// its fields through the engine's DAO interfaces (TableDef.Name, Field.Name), keeping its records
// and indexes. Jet SQL has no statement for that, so the end-to-end test of a converted Access
// table uses this to give a converted table the names the program expects.
#include <iostream>
#include <string>

#include "engine/engine.h"
#include "framework/exception.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: rename_table DATABASE TABLE NEW_NAME [FIELD=NEW_FIELD ...]\n";
    return 2;
  }
  try {
    auto engine = engine::CreateEngine();
    auto db = engine->OpenDatabase(argv[1]);
    auto table = db->TableDefs()->Item(argv[2]);
    for (int k = 4; k < argc; ++k) {
      const std::string rename = argv[k];
      const size_t equals = rename.find('=');
      if (equals == std::string::npos) {
        std::cerr << "rename_table: " << rename << " is not FIELD=NEW_FIELD\n";
        return 2;
      }
      table->Fields()->Item(rename.substr(0, equals))->SetName(rename.substr(equals + 1));
    }
    table->SetName(argv[3]);
    db->Close();
  } catch (const framework::Exception& e) {
    std::cerr << "rename_table: " << e.Message() << '\n';
    return 1;
  }
  return 0;
}
