#include "dao/table/blob_values.h"

#include <algorithm>
#include <vector>

namespace daotable {

using framework::Variant;

std::string BlobValueToText(const Variant& value, int32_t size, dataset::TFieldType blob_type) {
  if (value.IsClear() || size == 0) return std::string();
  if (blob_type == dataset::ftMemo) return value.ToString();
  const std::vector<uint8_t> bytes = value.ToBytes();
  const size_t n = std::min(bytes.size(), static_cast<size_t>(std::max<int32_t>(size, 0)));
  return std::string(reinterpret_cast<const char*>(bytes.data()), n);
}

Variant TextToBlobValue(const std::string& text, dataset::TFieldType type) {
  if (type == dataset::ftMemo) return Variant(text);
  return Variant(std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace daotable
