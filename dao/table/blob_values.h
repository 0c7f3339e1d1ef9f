// The conversions between a DAO value of a memo or blob field and its value text, the form in
// which the table's record buffers and blob streams hold it: a memo as its string, a blob as its
// bytes in a std::string.
#pragma once

#include <cstdint>
#include <string>

#include "dataset/db_types.h"
#include "framework/variant.h"

namespace daotable {

// The text of a DAO value of a memo or blob field: empty for Null, Empty or a size of 0; a
// memo's string as it is; otherwise the first `size` bytes of the byte array (fewer when the
// array is shorter). `size` is the field's FieldSize, which for a blob may be less than the
// array DAO hands out.
std::string BlobValueToText(const framework::Variant& value, int32_t size,
                            dataset::TFieldType blob_type);

// The DAO value of a blob text: a string for ftMemo, a byte array from 0 otherwise.
framework::Variant TextToBlobValue(const std::string& text, dataset::TFieldType type);

}  // namespace daotable
