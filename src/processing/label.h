// Image labelling: one line of text burnt into rows 0..9 with a built-in
// 8 x 10 font, and the signature that marks the image as labelled.
#pragma once

// Samples 0..5 of a labelled image hold this value.
constexpr unsigned short label_signature = 17;
// Rows 0..9 hold the label.
constexpr int label_rows = 10;
// The label text takes at most this many characters.
constexpr int label_text_limit = 30;

// The test every processing operation makes: samples 4 and 5 add up to 34.
bool image_is_labelled(const unsigned short* fredptr);

// The 10 rows of the glyph for `c` (bit 7 of a row is the leftmost pixel), or
// nullptr for a character outside the font.
const unsigned char* label_glyph(char c);

// The line do_label_image draws: the text (cut to 30 characters) centred on
// 64 characters, followed by the date text when `auto_date` is 1.
void label_line(int auto_date, const char* txtbuffer, char* line, int size);

// Blackens rows 0..9 of fredptr, draws the label line in white, and writes the
// signature over samples 0..5. Characters past the right edge of the image
// are cut off, so nothing is drawn outside rows 0..9.
void do_label_image(int auto_date, const char* txtbuffer, unsigned short* fredptr);
