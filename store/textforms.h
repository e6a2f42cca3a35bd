#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The text forms of the store's values. Every value is kept as text; these are the conversions
// its readers and writers use, the same on every platform and in every locale.
namespace textforms {

// A decimal number ("1000", "-150", "2.5", "1e3"), blanks around it allowed; nullopt for
// anything else, infinities and NaN included.
std::optional<double> toDouble(std::string_view text);
// As toDouble, within the range of a single-precision number.
std::optional<float> toSingle(std::string_view text);
// As toDouble, rounded half to even, within -32768..32767.
std::optional<std::int16_t> toInt16(std::string_view text);
// "True"/"False" in any case, or a number: true when it is not zero.
std::optional<bool> toBoolean(std::string_view text);

// Whole numbers as plain integers ("1000", "-150"), others with at most seven significant digits.
std::string fromSingle(float value);
std::string fromInt16(std::int16_t value);

} // namespace textforms
