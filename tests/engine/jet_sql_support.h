// Shared set-up of the Jet SQL tests: a database with a small table A (K, Q, S), the values of a
// column of a recordset, and the value of an expression.
#pragma once

#include <string>
#include <vector>

#include "tests/engine/engine_test_support.h"

namespace engine_test {

using Texts = std::vector<std::string>;

// The values of field `name` of every record of `rs`, in order, as texts.
inline Texts Column(const std::shared_ptr<dao::Recordset>& rs, const std::string& name) {
  Texts out;
  if (rs->Bof() && rs->Eof()) return out;
  for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) out.push_back(rs->Fields()->Item(name)->Value().ToString());
  return out;
}

class JetQueryTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    db_ = ws_->CreateDatabase(Path("q.db"));
    db_->Execute("CREATE TABLE A (K LONG, Q LONG, S TEXT(20))");
    for (const char* values : {"(1, 3, 'eins')", "(2, 6, 'zwei')", "(3, 9, 'drei')", "(4, 6, 'vier')", "(5, 12, 'fünf')"})
      db_->Execute(std::string("INSERT INTO A (K, Q, S) VALUES ") + values);
  }
  // The values of field `name` of the records of a select.
  Texts Select(const std::string& sql, const std::string& name, int type = dao::dbOpenSnapshot) {
    return Column(db_->OpenRecordset(sql, Variant(type)), name);
  }
  // The value of a Jet expression (over the record of A with K = 1).
  Variant Eval(const std::string& expression) {
    auto rs = db_->OpenRecordset("SELECT " + expression + " AS V FROM A WHERE K = 1", Variant(dao::dbOpenSnapshot));
    return rs->Fields()->Item("V")->Value();
  }
  std::string Str(const std::string& expression) { return Eval(expression).ToString(); }
  double Num(const std::string& expression) { return Eval(expression).ToDouble(); }
};

}  // namespace engine_test
