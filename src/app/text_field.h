// Fixed-size text fields of the program state (FITS details, captions,
// folders): a text is cut to the field and the rest is zero-filled, so the
// field is always terminated and never carries an older, longer text.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

template <std::size_t N>
void set_text(char (&field)[N], std::string_view text)
{
    const std::size_t length = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), length);
    std::memset(field + length, 0, N - length);
}

// Reads no further than the field can hold.
template <std::size_t N>
void set_text(char (&field)[N], const char* text)
{
    set_text(field, std::string_view(text, strnlen(text, N - 1)));
}
