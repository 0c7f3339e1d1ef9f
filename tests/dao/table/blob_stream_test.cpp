// The blob stream of the table component on the real engine: memo and binary values read cached
// and straight from DAO, the stream's write, seek and read rules, new records, read-only tables,
// an encrypter, a record deleted by another user, and the cursor left where the dataset has it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dao/dao_constants.h"
#include "dao/dao_database.h"
#include "dao/table/blob_stream.h"
#include "dao/table/blob_values.h"
#include "dao/table/dao_table.h"
#include "dataset/binary_fields.h"
#include "dataset/data_link.h"
#include "dataset/data_source.h"
#include "framework/exception.h"
#include "framework/form_classes.h"
#include "tests/dao/table/table_test_support.h"

namespace dao {
namespace {

using framework::TSeekOrigin;
using framework::Variant;

const std::string kMemo = "Grüße aus Köln\r\nzweite Zeile";
const std::string kBytes = std::string("\x00\x01\xff", 3) + "PNG" + std::string(1, '\0');

using daotabletest::MessageOf;

// An encrypter whose encoded form is the decoded text reversed.
class TReverser : public framework::TComponent {
 public:
  explicit TReverser(framework::TComponent* owner) : framework::TComponent(owner) {}
  std::string ClassName() const override { return "TReverser"; }
  std::string EncodedString() const { return encoded_; }
  void SetEncodedString(const std::string& text) {
    encoded_ = text;
    decoded_.assign(text.rbegin(), text.rend());
  }
  std::string DecodedString() const { return decoded_; }
  void SetDecodedString(const std::string& text) {
    decoded_ = text;
    encoded_.assign(text.rbegin(), text.rend());
  }

 private:
  std::string encoded_;
  std::string decoded_;
};

// A data link that keeps several records in the dataset's ring, as a grid does.
class TGridLink : public dataset::TDataLink {};

class BlobStreamOnEngine : public daotabletest::TableOnEngineTest {
 protected:
  static void SetUpTestSuite() {
    TableOnEngineTest::SetUpTestSuite();
    framework::TClassRegistrar<TReverser>("TReverser", "TComponent")
        .String("EncodedString", &TReverser::EncodedString, &TReverser::SetEncodedString)
        .String("DecodedString", &TReverser::DecodedString, &TReverser::SetDecodedString)
        .Commit();
  }

  void SetUp() override {
    CreateDatabase("geb_blob", "notizen.mdb", [](Database& db) {
      db.Execute(
          "CREATE TABLE Notizen (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(50), "
          "Notiz MEMO DEFAULT \"vorgabe\", Bild LONGBINARY)");
      auto rs = db.OpenRecordset("Notizen", Variant(dbOpenDynaset));
      for (int i = 0; i < kRecords; ++i) {
        rs->AddNew();
        rs->Fields()->Item("Name")->SetValue(Variant("N" + std::to_string(i)));
        // Record 1 has neither memo nor picture; the others carry their number in both.
        if (i != 1) {
          rs->Fields()->Item("Notiz")->SetValue(Variant(kMemo + " " + std::to_string(i)));
          std::string bytes = kBytes + std::to_string(i);
          rs->Fields()->Item("Bild")->SetValue(Variant(std::vector<uint8_t>(bytes.begin(), bytes.end())));
        } else {
          rs->Fields()->Item("Notiz")->SetValue(Variant::Null());
        }
        rs->Update();
      }
      rs->Close();
    });
    table_ = MakeTable("Notizen", "Notizen");
  }

  // The memo and picture of the record named `name`, read past the component ("<null>" for
  // Null).
  std::pair<std::string, std::string> Stored(const std::string& name) {
    auto rs = database_->CoreDatabase()->OpenRecordset(
        "SELECT Notiz, Bild FROM Notizen WHERE Name = \"" + name + "\"", Variant(dbOpenSnapshot));
    EXPECT_FALSE(rs->Eof());
    const Variant memo = rs->Fields()->Item(0)->Value();
    const Variant bytes = rs->Fields()->Item(1)->Value();
    rs->Close();
    auto text = [](const Variant& v) {
      if (v.IsNull()) return std::string("<null>");
      const std::vector<uint8_t> b = v.ToBytes();
      return std::string(b.begin(), b.end());
    };
    return {memo.IsNull() ? "<null>" : memo.ToString(), text(bytes)};
  }

  std::unique_ptr<framework::TStream> Stream(const std::string& field, dataset::TBlobStreamMode mode) {
    return table_->CreateBlobStream(table_->FieldNamed(field), mode);
  }

  static constexpr int kRecords = 5;
};

TEST_F(BlobStreamOnEngine, ReadsMemosAndBinariesCachedAndStraightFromTheRecordset) {
  for (const bool cached : {false, true}) {
    SCOPED_TRACE(cached ? "cached" : "not cached");
    table_->SetCacheMemos(cached);
    table_->SetCacheBlobs(cached);
    table_->Open();
    ASSERT_EQ(table_->FieldNamed("Notiz").DataType(), dataset::ftMemo);
    ASSERT_EQ(table_->FieldNamed("Bild").DataType(), dataset::ftBlob);

    // UTF-8 text with a line break, and bytes with zeros in them, come back whole.
    EXPECT_EQ(table_->FieldNamed("Notiz").AsString(), kMemo + " 0");
    EXPECT_EQ(table_->FieldNamed("Bild").AsString(), kBytes + "0");
    auto picture = Stream("Bild", dataset::bmRead);
    EXPECT_EQ(picture->Size(), static_cast<int64_t>(kBytes.size() + 1));
    picture.reset();

    // A Null memo is an empty stream.
    table_->GoNext();
    auto memo = Stream("Notiz", dataset::bmRead);
    EXPECT_EQ(memo->Size(), 0);
    char c = 0;
    EXPECT_EQ(memo->Read(&c, 1), 0);
    memo.reset();
    EXPECT_TRUE(table_->FieldNamed("Notiz").IsNull());
    EXPECT_EQ(table_->FieldNamed("Bild").AsString(), "");

    // Seeking from the end and reading, and reading past the end.
    table_->GoNext();
    memo = Stream("Notiz", dataset::bmRead);
    const int64_t size = memo->Size();
    EXPECT_EQ(memo->Seek(-1, TSeekOrigin::soEnd), size - 1);
    char tail[4] = {};
    EXPECT_EQ(memo->Read(tail, 4), 1);
    EXPECT_EQ(tail[0], '2');
    EXPECT_EQ(memo->Seek(10, TSeekOrigin::soEnd), size + 10);
    EXPECT_EQ(memo->Read(tail, 4), 0);
    EXPECT_THROW(memo->Seek(-1, TSeekOrigin::soBeginning), framework::EInOutError);
    EXPECT_EQ(memo->Position(), size + 10);
    memo.reset();
    EXPECT_FALSE(table_->Modified());
    table_->Close();
  }
}

TEST_F(BlobStreamOnEngine, WritesReplaceTheRestAndReachTheDatabaseOnceWhenPosted) {
  for (const bool cached : {false, true}) {
    SCOPED_TRACE(cached ? "cached" : "not cached");
    table_->SetCacheMemos(cached);
    table_->SetCacheBlobs(cached);
    table_->Open();
    table_->GoNext();  // N1: memo and picture are Null
    table_->BeginEdit();
    int changes = 0;
    table_->FieldNamed("Notiz").OnChange = [&](dataset::TField&) { ++changes; };
    {
      auto memo = Stream("Notiz", dataset::bmWrite);
      EXPECT_EQ(memo->Write("abc", 3), 3);
      EXPECT_EQ(memo->Seek(1, TSeekOrigin::soBeginning), 1);
      EXPECT_EQ(memo->Write("X", 1), 1);
      EXPECT_EQ(memo->Size(), 2);
      EXPECT_EQ(changes, 0);  // told once, when the stream is released
    }
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(table_->Modified());
    // Read again within the edit: the value written, not the one stored.
    EXPECT_EQ(table_->FieldNamed("Notiz").AsString(), "aX");
    {
      // A write past the end is reached by zero bytes.
      auto picture = Stream("Bild", dataset::bmReadWrite);
      EXPECT_EQ(picture->Size(), 0);
      picture->Seek(2, TSeekOrigin::soBeginning);
      picture->Write("\x01\x02", 2);
    }
    EXPECT_EQ(table_->FieldNamed("Bild").AsString(), std::string("\0\0\x01\x02", 4));
    // A read-write stream starts from the value and cuts at the write position.
    {
      auto memo = Stream("Notiz", dataset::bmReadWrite);
      EXPECT_EQ(memo->Size(), 2);
      memo->Seek(0, TSeekOrigin::soEnd);
      memo->Write("yz", 2);
    }
    EXPECT_EQ(table_->FieldNamed("Notiz").AsString(), "aXyz");
    EXPECT_EQ(Stored("N1").first, "<null>");  // nothing reaches DAO before posting
    table_->PostRecord();
    EXPECT_EQ(Stored("N1"), std::make_pair(std::string("aXyz"), std::string("\0\0\x01\x02", 4)));
    EXPECT_EQ(table_->FieldNamed("Notiz").AsString(), "aXyz");

    // Truncating at a position, and emptying by a write stream, are posted as well; an empty
    // value is stored as Null.
    table_->BeginEdit();
    {
      auto memo = dynamic_cast<TUxBlobStream*>(Stream("Notiz", dataset::bmReadWrite).release());
      std::unique_ptr<TUxBlobStream> owned(memo);
      owned->Seek(1, TSeekOrigin::soBeginning);
      owned->Truncate();
      EXPECT_TRUE(owned->Modified());
    }
    Stream("Bild", dataset::bmWrite).reset();
    table_->PostRecord();
    EXPECT_EQ(Stored("N1"), std::make_pair(std::string("a"), std::string("<null>")));
    table_->FieldNamed("Notiz").OnChange = nullptr;

    // Put the record back for the second round.
    table_->BeginEdit();
    table_->FieldNamed("Notiz").Clear();
    table_->PostRecord();
    table_->Close();
  }
}

TEST_F(BlobStreamOnEngine, NewRecordsReadTheDefaultAndAreInsertedWithTheirContent) {
  for (const bool cached : {false, true}) {
    SCOPED_TRACE(cached ? "cached" : "not cached");
    table_->SetCacheMemos(cached);
    table_->Open();
    table_->StartInsert();
    EXPECT_EQ(table_->FieldNamed("Notiz").AsString(), "vorgabe");
    EXPECT_EQ(table_->FieldNamed("Bild").AsString(), "");
    // A memo cleared in the new record reads empty and is stored as Null.
    table_->FieldNamed("Notiz").Clear();
    EXPECT_EQ(table_->FieldNamed("Notiz").AsString(), "");
    table_->FieldNamed("Name").SetAsString(cached ? "neu2" : "neu1");
    table_->PostRecord();
    EXPECT_EQ(Stored(cached ? "neu2" : "neu1").first, "<null>");
    table_->Close();
  }
  table_->Open();
  table_->InsertValues({Variant(), Variant("neu3"), Variant(kMemo), Variant(std::vector<uint8_t>{0, 7, 0})});
  EXPECT_EQ(Stored("neu3"), std::make_pair(kMemo, std::string("\0\x07\0", 3)));
  EXPECT_EQ(table_->FieldNamed("Name").AsString(), "neu3");
  EXPECT_EQ(table_->FieldNamed("Notiz").AsString(), kMemo);
}

TEST_F(BlobStreamOnEngine, RefusesToWriteOnAReadOnlyTableAndToServeOtherDatasets) {
  table_->SetReadOnly(true);
  table_->Open();
  EXPECT_EQ(MessageOf([&] { Stream("Notiz", dataset::bmWrite); }), "Cannot write to ReadOnly table!");
  EXPECT_EQ(table_->FieldNamed("Notiz").AsString(), kMemo + " 0");
  EXPECT_EQ(Stream("Notiz", dataset::bmRead)->Size(), static_cast<int64_t>(kMemo.size() + 2));

  dataset::TMemoField loose(nullptr);
  EXPECT_THROW(TUxBlobStream(loose, dataset::bmRead), framework::EConvertError);
}

TEST_F(BlobStreamOnEngine, ValuesPassThroughTheEncrypter) {
  {
    auto rs = database_->CoreDatabase()->OpenRecordset("Notizen", Variant(dbOpenDynaset));
    rs->Edit();
    rs->Fields()->Item("Notiz")->SetValue(Variant("terces"));
    rs->Update();
    rs->Close();
  }
  TReverser reverser(nullptr);
  reverser.SetName("Reverser");
  table_->SetEncrypter(&reverser);
  for (const bool cached : {false, true}) {
    SCOPED_TRACE(cached ? "cached" : "not cached");
    table_->SetCacheMemos(cached);
    table_->Open();
    EXPECT_EQ(table_->FieldNamed("Notiz").AsString(), "secret");
    table_->BeginEdit();
    table_->FieldNamed("Notiz").SetAsString(cached ? "abc" : "secret");
    table_->PostRecord();
    EXPECT_EQ(Stored("N0").first, cached ? "cba" : "terces");
    table_->Close();
  }
  table_->SetEncrypter(nullptr);
}

TEST_F(BlobStreamOnEngine, ARecordDeletedByAnotherUserReadsEmptyWithoutError) {
  table_->Open();
  table_->GoNext();
  table_->GoNext();  // N2
  {
    auto rs = database_->CoreDatabase()->OpenRecordset("SELECT * FROM Notizen WHERE Name = \"N2\"",
                                                       Variant(dbOpenDynaset));
    rs->Delete();
    rs->Close();
  }
  std::unique_ptr<framework::TStream> memo;
  ASSERT_NO_THROW(memo = Stream("Notiz", dataset::bmRead));
  EXPECT_EQ(memo->Size(), 0);
  memo.reset();
  // The table resynchronised onto a record that still exists and goes on from there.
  EXPECT_TRUE(table_->Active());
  std::vector<std::string> names;
  while (!table_->AtEnd()) {
    names.push_back(table_->FieldNamed("Name").AsString() + ":" +
                    std::to_string(table_->FieldNamed("Notiz").AsString().size()));
    table_->GoNext();
  }
  const std::string n = std::to_string(kMemo.size() + 2);
  EXPECT_EQ(names, (std::vector<std::string>{"N3:" + n, "N4:" + n}));
}

TEST_F(BlobStreamOnEngine, ReadingAnotherRecordOfTheRingLeavesTheCursorWhereItWas) {
  dataset::TDataSource source(nullptr);
  source.SetDataSet(table_.get());
  TGridLink grid;
  grid.SetDataSource(&source);
  grid.SetBufferCount(3);
  table_->Open();
  ASSERT_EQ(grid.RecordCount(), 3);
  // The cursor stands on N2, the last record fetched; the rows shown above it are read from DAO.
  const int active = grid.ActiveRecord();
  std::vector<std::string> memos;
  for (int row = 2; row >= 0; --row) {
    grid.SetActiveRecord(row);
    memos.push_back(table_->FieldNamed("Notiz").AsString());
  }
  grid.SetActiveRecord(active);
  EXPECT_EQ(memos, (std::vector<std::string>{kMemo + " 2", "", kMemo + " 0"}));
  // Walking on still meets every record once, in order.
  std::vector<std::string> names;
  while (!table_->AtEnd()) {
    names.push_back(table_->FieldNamed("Name").AsString());
    table_->GoNext();
  }
  EXPECT_EQ(names, (std::vector<std::string>{"N0", "N1", "N2", "N3", "N4"}));
  table_->Close();
  grid.SetDataSource(nullptr);
}

TEST(BlobValueConversions, TextOfDaoValuesAndBack) {
  using dataset::ftBlob;
  using dataset::ftMemo;
  EXPECT_EQ(daotable::BlobValueToText(Variant::Null(), 5, ftMemo), "");
  EXPECT_EQ(daotable::BlobValueToText(Variant(), 5, ftBlob), "");
  EXPECT_EQ(daotable::BlobValueToText(Variant("abc"), 0, ftMemo), "");
  // A memo's size counts characters; the text is taken whole.
  EXPECT_EQ(daotable::BlobValueToText(Variant("äöü"), 3, ftMemo), "äöü");
  const Variant bytes(std::vector<uint8_t>{'a', 0, 'b', 'c'});
  EXPECT_EQ(daotable::BlobValueToText(bytes, 3, ftBlob), std::string("a\0b", 3));
  // A size beyond the array takes the array.
  EXPECT_EQ(daotable::BlobValueToText(bytes, 99, ftBlob), std::string("a\0bc", 4));

  const Variant memo = daotable::TextToBlobValue("Grüße", ftMemo);
  EXPECT_EQ(memo.Type(), framework::VarType::String);
  EXPECT_EQ(memo.ToString(), "Grüße");
  const Variant blob = daotable::TextToBlobValue(std::string("x\0y", 3), ftBlob);
  EXPECT_EQ(blob.Type(), framework::VarType::Bytes);
  EXPECT_EQ(blob.ToBytes(), (std::vector<uint8_t>{'x', 0, 'y'}));
}

}  // namespace
}  // namespace dao
