// Binary and large columns: fixed-size bytes, variable-size bytes, blobs and memos.
#pragma once

#include <memory>

#include "dataset/field.h"
#include "framework/stream.h"

namespace dataset {

// Exactly Size() bytes. AsString and Value give all Size() bytes; shorter values are padded
// with zero bytes, longer ones refused.
class TBytesField : public TField {
 public:
  explicit TBytesField(framework::TComponent* owner);
  std::string ClassName() const override { return "TBytesField"; }
  int DataSize() const override { return Size() + 1; }

  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  framework::Variant Value() const override;
  // Null or Empty clear; Bytes and String values are taken as bytes.
  void SetValue(const framework::Variant& value) override;

 protected:
  TBytesField(framework::TComponent* owner, TFieldType type);
  int DefaultDisplayWidth() const override { return 2 * Size() + 2; }
  virtual std::string ReadBytes(bool& is_null) const;
  virtual void StoreBytes(const std::string& bytes);
};

// Up to Size() bytes, with their length.
class TVarBytesField : public TBytesField {
 public:
  explicit TVarBytesField(framework::TComponent* owner);
  std::string ClassName() const override { return "TVarBytesField"; }
  int DataSize() const override { return Size() + 2; }

 protected:
  std::string ReadBytes(bool& is_null) const override;
  void StoreBytes(const std::string& bytes) override;
};

// A binary large object; its content is read and written through the dataset's blob stream.
class TBlobField : public TField {
 public:
  explicit TBlobField(framework::TComponent* owner);
  std::string ClassName() const override { return "TBlobField"; }
  bool IsBlob() const override { return true; }

  // Length of the content in bytes.
  int64_t BlobSize() const;
  std::string AsString() const override;
  // Replaces the content (refused outside edit or insert).
  void SetAsString(const std::string& value) override;
  framework::Variant Value() const override;
  void SetValue(const framework::Variant& value) override;
  void LoadFromStream(framework::TStream& stream);
  void SaveToStream(framework::TStream& stream) const;

 protected:
  TBlobField(framework::TComponent* owner, TFieldType type);
  std::string GetText(bool display) const override;
  int DefaultDisplayWidth() const override { return 10; }
};

// A long text; the content is UTF-8 text.
class TMemoField : public TBlobField {
 public:
  explicit TMemoField(framework::TComponent* owner);
  std::string ClassName() const override { return "TMemoField"; }
  // Refuses invalid characters.
  void SetAsString(const std::string& value) override;
  framework::Variant Value() const override;

 protected:
  std::string GetText(bool display) const override;
};

}  // namespace dataset
