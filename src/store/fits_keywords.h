// Reading a FITS header by keyword. This program's own files are read by
// card position; files written by other programs put their cards in any
// order and in free format, so their values are looked up by name.
#pragma once

#include <cstddef>
#include <optional>

// The card of `keyword` among the first `cards` cards at `header`, before
// the END card; nullptr when there is none.
const unsigned char* fits_find_card(const unsigned char* header, int cards, const char* keyword);
// The number of the END card (1-based), or 0 when the first `cards` have none.
int fits_end_card(const unsigned char* header, int cards);

// The value of "KEYWORD = number": nullopt when the card is missing or its
// value is not a number.
std::optional<double> fits_keyword_number(const unsigned char* header, int cards, const char* keyword);
// The value of "KEYWORD = T" or "F".
std::optional<bool> fits_keyword_logical(const unsigned char* header, int cards, const char* keyword);
// The value of "KEYWORD = 'text'" (a doubled quote stands for one; trailing
// blanks are not part of it), cut to `capacity` - 1 characters. False, and
// `field` untouched, when the card is missing or holds no text.
bool fits_keyword_text(const unsigned char* header, int cards, const char* keyword, char* field,
    std::size_t capacity);
// The texts of every commentary card of `keyword` (HISTORY, COMMENT),
// joined by a space and cut to `capacity` - 1 characters.
void fits_commentary(const unsigned char* header, int cards, const char* keyword, char* field,
    std::size_t capacity);
