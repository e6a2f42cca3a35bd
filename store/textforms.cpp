#include "textforms.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace textforms {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalsNoCase(std::string_view text, std::string_view lowerWord)
{
    if (text.size() != lowerWord.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != lowerWord[i])
            return false;
    }
    return true;
}

} // namespace

std::optional<double> toDouble(std::string_view text)
{
    text = trimmed(text);
    // from_chars takes no plus sign; a second sign after it is still refused below.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<float> toSingle(std::string_view text)
{
    const std::optional<double> value = toDouble(text);
    if (!value || std::fabs(*value) > std::numeric_limits<float>::max())
        return std::nullopt;
    return static_cast<float>(*value);
}

std::optional<std::int16_t> toInt16(std::string_view text)
{
    const std::optional<double> value = toDouble(text);
    if (!value)
        return std::nullopt;
    // Fractions round half to even, as the classic integer conversion does.
    const double rounded = std::nearbyint(*value);
    if (rounded < std::numeric_limits<std::int16_t>::min() ||
        rounded > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

std::optional<bool> toBoolean(std::string_view text)
{
    const std::string_view word = trimmed(text);
    if (equalsNoCase(word, "true"))
        return true;
    if (equalsNoCase(word, "false"))
        return false;
    const std::optional<double> value = toDouble(word);
    if (!value)
        return std::nullopt;
    return *value != 0;
}

std::string fromSingle(float value)
{
    // Whole twips, the normal case, are written as plain integers ("1000", "-150").
    if (std::isfinite(value) && std::fabs(value) < 1e7f && value == std::trunc(value))
        return std::to_string(static_cast<long long>(value));
    std::array<char, 32> text{};
    const auto result =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::general, 7);
    return std::string(text.data(), result.ptr);
}

std::string fromInt16(std::int16_t value)
{
    return std::to_string(value);
}

} // namespace textforms
