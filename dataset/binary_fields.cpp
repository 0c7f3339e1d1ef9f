#include "dataset/binary_fields.h"

#include <cstring>

#include "dataset/dataset.h"
#include "dataset/db_error.h"

namespace dataset {

// ---------------------------------------------------------------------------------------------
// TBytesField and TVarBytesField

TBytesField::TBytesField(framework::TComponent* owner) : TBytesField(owner, ftBytes) {}

TBytesField::TBytesField(framework::TComponent* owner, TFieldType type) : TField(owner, type) {
  SetSize(16);
}

std::string TBytesField::ReadBytes(bool& is_null) const {
  std::vector<uint8_t> buffer;
  is_null = !ReadNative(buffer);
  if (is_null) return std::string();
  return std::string(buffer.begin(), buffer.begin() + Size());
}

void TBytesField::StoreBytes(const std::string& bytes) {
  if (static_cast<int>(bytes.size()) > Size())
    DatabaseError("Value is too long for field '" + DisplayLabel() + "' (" +
                      std::to_string(bytes.size()) + " bytes, at most " + std::to_string(Size()) +
                      ")",
                  DataSet());
  std::vector<uint8_t> buffer(static_cast<size_t>(DataSize()), 0);
  std::memcpy(buffer.data(), bytes.data(), bytes.size());
  SetData(buffer.data());
}

std::string TBytesField::AsString() const {
  bool is_null;
  return ReadBytes(is_null);
}

void TBytesField::SetAsString(const std::string& value) {
  if (value.empty())
    Clear();
  else
    StoreBytes(value);
}

framework::Variant TBytesField::Value() const {
  bool is_null;
  const std::string bytes = ReadBytes(is_null);
  if (is_null) return framework::Variant::Null();
  return framework::Variant(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void TBytesField::SetValue(const framework::Variant& value) {
  if (value.IsClear()) {
    Clear();
  } else if (value.Type() == framework::VarType::Bytes ||
             value.Type() == framework::VarType::String) {
    const std::vector<uint8_t> bytes = value.ToBytes();
    SetAsString(std::string(bytes.begin(), bytes.end()));
  } else {
    AccessError(framework::VarTypeName(value.Type()));
  }
}

TVarBytesField::TVarBytesField(framework::TComponent* owner) : TBytesField(owner, ftVarBytes) {}

std::string TVarBytesField::ReadBytes(bool& is_null) const {
  std::vector<uint8_t> buffer;
  is_null = !ReadNative(buffer);
  if (is_null) return std::string();
  uint16_t length;
  std::memcpy(&length, buffer.data(), sizeof length);
  length = static_cast<uint16_t>(std::min<int>(length, Size()));
  return std::string(buffer.begin() + 2, buffer.begin() + 2 + length);
}

void TVarBytesField::StoreBytes(const std::string& bytes) {
  if (static_cast<int>(bytes.size()) > Size() || bytes.size() > UINT16_MAX)
    DatabaseError("Value is too long for field '" + DisplayLabel() + "' (" +
                      std::to_string(bytes.size()) + " bytes, at most " + std::to_string(Size()) +
                      ")",
                  DataSet());
  std::vector<uint8_t> buffer(static_cast<size_t>(DataSize()), 0);
  const uint16_t length = static_cast<uint16_t>(bytes.size());
  std::memcpy(buffer.data(), &length, sizeof length);
  std::memcpy(buffer.data() + 2, bytes.data(), bytes.size());
  SetData(buffer.data());
}

// ---------------------------------------------------------------------------------------------
// TBlobField and TMemoField

TBlobField::TBlobField(framework::TComponent* owner) : TBlobField(owner, ftBlob) {}

TBlobField::TBlobField(framework::TComponent* owner, TFieldType type) : TField(owner, type) {}

int64_t TBlobField::BlobSize() const {
  if (IsNull()) return 0;
  auto stream = CheckDataSet().CreateBlobStream(const_cast<TBlobField&>(*this), bmRead);
  return stream->Size();
}

std::string TBlobField::AsString() const {
  if (IsNull()) return std::string();
  auto stream = CheckDataSet().CreateBlobStream(const_cast<TBlobField&>(*this), bmRead);
  return stream->ReadAll();
}

void TBlobField::SetAsString(const std::string& value) {
  TDataSet& dataset = CheckDataSet();
  if (dataset.State() != stEdit && dataset.State() != stInsert)
    DatabaseError("Dataset not in edit or insert mode", &dataset);
  if (value.empty()) {
    Clear();
    return;
  }
  // A write stream starts empty; the content reaches the record when the stream is released.
  auto stream = dataset.CreateBlobStream(*this, bmWrite);
  stream->WriteText(value);
}

framework::Variant TBlobField::Value() const {
  if (IsNull()) return framework::Variant::Null();
  const std::string content = AsString();
  return framework::Variant(std::vector<uint8_t>(content.begin(), content.end()));
}

void TBlobField::SetValue(const framework::Variant& value) {
  if (value.IsClear()) {
    Clear();
  } else if (value.Type() == framework::VarType::Bytes ||
             value.Type() == framework::VarType::String) {
    const std::vector<uint8_t> bytes = value.ToBytes();
    SetAsString(std::string(bytes.begin(), bytes.end()));
  } else {
    AccessError(framework::VarTypeName(value.Type()));
  }
}

void TBlobField::LoadFromStream(framework::TStream& stream) { SetAsString(stream.ReadAll()); }

void TBlobField::SaveToStream(framework::TStream& stream) const { stream.WriteText(AsString()); }

std::string TBlobField::GetText(bool display) const {
  if (!display) return AsString();
  return IsNull() ? "(blob)" : "(BLOB)";
}

TMemoField::TMemoField(framework::TComponent* owner) : TBlobField(owner, ftMemo) {}

void TMemoField::SetAsString(const std::string& value) {
  CheckValidChars(value);
  TBlobField::SetAsString(value);
}

framework::Variant TMemoField::Value() const {
  if (IsNull()) return framework::Variant::Null();
  return framework::Variant(AsString());
}

std::string TMemoField::GetText(bool display) const {
  if (!display) return AsString();
  return IsNull() ? "(memo)" : "(MEMO)";
}

}  // namespace dataset
