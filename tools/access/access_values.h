// Decoding the stored bytes of Access's fixed-size values (numbers, currency, dates, GUIDs,
// decimals) into the values that cross the DAO interface. Texts and long values are decoded by the
// reader, which needs libmdb's character conversion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/variant.h"

namespace access_file {

using framework::Variant;

// The value of a fixed-size column of `access_type` stored in `size` bytes at `data` (little
// endian, as Access writes them). Yes/No is not stored in the row but in its null mask; decimals
// come as Double (see DecimalText). Raises framework::Exception when `size` does not fit the type.
Variant DecodeFixed(int access_type, const uint8_t* data, size_t size, int scale);

// The exact decimal text ("-12.3400") of a stored decimal: a sign byte (0x80 = negative) and a
// 128-bit magnitude as four little-endian 32-bit words, the most significant first; `scale` digits
// after the point.
std::string DecimalText(const uint8_t* data, size_t size, int scale);

// True when the double nearest to the decimal `text` reads back as the same number, so that a
// field of the engine (which keeps decimals as doubles) holds it exactly.
bool DoubleHoldsDecimal(const std::string& text);

}  // namespace access_file
