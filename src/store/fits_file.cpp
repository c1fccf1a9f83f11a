#include "store/fits_file.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/data_root.h"
#include "app/state.h"
#include "app/text_field.h"
#include "store/atomic_file.h"
#include "store/buffers.h"
#include "store/fits_keywords.h"
#include "store/image_io.h"

namespace {
constexpr unsigned fits_offset = 32768;
constexpr const char* bzero_zero = "BZERO   =   +0.0000000000E+00";
constexpr const char* bzero_offset = "BZERO   =   +3.2768000000E+04";

// One card: `text` cut to 80 characters and padded with spaces.
void put_card(char* header, int card, const std::string& text)
{
    char* at = header + (card - 1) * fits_card;
    std::memset(at, ' ', fits_card);
    std::memcpy(at, text.data(), std::min<std::size_t>(text.size(), fits_card));
}

// A text card: the 11-character prefix ends in the opening quote. A quote in
// the value is written twice, as standard readers expect; the value is cut
// (never inside such a pair) so that the closing quote stays on the card.
void put_text_card(char* header, int card, const char* prefix, const char* value, std::size_t limit = 68)
{
    std::string text = prefix;
    const std::size_t last = text.size() + 68;
    for (std::size_t i = 0; i < strnlen(value, limit); ++i) {
        const std::size_t needed = value[i] == '\'' ? 2 : 1;
        if (text.size() + needed > last)
            break;
        text.append(needed, value[i]);
    }
    text += '\'';
    put_card(header, card, text);
}

void put_number_card(char* header, int card, const char* prefix, double value)
{
    char number[40];
    std::snprintf(number, sizeof number, "%11.10E", value);
    put_card(header, card, std::string(prefix) + "    " + number);
}

// Four cards carrying one long text in parts of 68 characters.
void put_long_text(char* header, int first_card, const char* prefix, const char* value)
{
    const std::size_t length = strnlen(value, 256);
    for (int part = 0; part < 4; ++part) {
        std::string chunk;
        const std::size_t from = static_cast<std::size_t>(part) * 68;
        if (from < length)
            chunk.assign(value + from, std::min<std::size_t>(68, length - from));
        chunk.resize(68, ' ');
        put_card(header, first_card + part, std::string(prefix) + chunk + "'");
    }
}

const unsigned char* card_at(const unsigned char* header, int card)
{
    return header + (card - 1) * fits_card;
}

bool card_has(const unsigned char* header, int card, int column, const char* text)
{
    return std::memcmp(card_at(header, card) + column - 1, text, std::strlen(text)) == 0;
}

// The value of a text card: column 12 up to the closing quote, never past
// column 80, cut to `capacity` - 1 characters. With `doubled`, a doubled quote
// stands for one quote in the value.
void read_text(const unsigned char* header, int card, char* field, std::size_t capacity, bool doubled = true)
{
    const unsigned char* at = card_at(header, card) + 11;
    const std::size_t end = fits_card - 11;
    std::size_t length = 0;
    for (std::size_t i = 0; i < end && length + 1 < capacity; ++i) {
        if (at[i] == '\'') {
            if (!doubled || i + 1 >= end || at[i + 1] != '\'')
                break;
            ++i;
        }
        field[length++] = static_cast<char>(at[i]);
    }
    field[length] = '\0';
}

// Appends the value of a text card to `field`, at most `most` characters.
void append_text(const unsigned char* header, int card, char* field, std::size_t capacity, std::size_t most)
{
    char part[fits_card];
    read_text(header, card, part, sizeof part, false);
    const std::size_t used = std::strlen(field);
    const std::size_t take = std::min({ std::strlen(part), most, capacity - 1 - used });
    std::memcpy(field + used, part, take);
    field[used + take] = '\0';
}

void trim_trailing_blanks(char* text)
{
    std::size_t length = std::strlen(text);
    while (length > 0 && text[length - 1] == ' ')
        --length;
    text[length] = '\0';
}

double read_number(const unsigned char* header, int card)
{
    char text[17];
    std::memcpy(text, card_at(header, card) + 13, 16);
    text[16] = '\0';
    return std::strtod(text, nullptr);
}

// Big-endian (v - offset) modulo 65,536; four samples at a time where the
// offset is 0 or 32,768 (subtracting 32,768 flips the top bit of a lane).
void samples_to_fits(const unsigned short* __restrict samples, std::size_t count, unsigned offset,
    unsigned char* __restrict out)
{
    std::size_t i = 0;
    if (std::endian::native == std::endian::little && (offset == 0 || offset == fits_offset)) {
        const std::uint64_t flip = offset != 0 ? 0x8000800080008000ull : 0;
        for (; i + 4 <= count; i += 4) {
            std::uint64_t four;
            std::memcpy(&four, samples + i, 8);
            four ^= flip;
            four = ((four >> 8) & 0x00FF00FF00FF00FFull) | ((four & 0x00FF00FF00FF00FFull) << 8);
            std::memcpy(out + 2 * i, &four, 8);
        }
    }
    for (; i < count; ++i) {
        const unsigned stored = (samples[i] - offset) & 0xFFFFu;
        out[2 * i] = static_cast<unsigned char>(stored >> 8);
        out[2 * i + 1] = static_cast<unsigned char>(stored);
    }
}

} // namespace

void ClearFITSInfo()
{
    clear_history();
    set_text(FITS_Obj, "");
    set_text(FITS_Obs, "");
    set_text(FITS_Date, "");
    set_text(FITS_Time, "");
    set_text(FITS_Tel, "");
    set_text(FITS_Ins, "Vantrel CCD");
    set_text(FITS_Com, "");
    set_text(FITS_His, "");
    set_text(FITS_Filter, "None");
    FITS_Exptime = 0.0;
    FITS_Focallen = 0.0;
    FITS_Aperture = 0.0;
}

std::size_t fits_file_length(int eightbit)
{
    const std::size_t samples = static_cast<std::size_t>(width1) * height1;
    if (!eightbit)
        return fits_header_length + samples * 2 + 800;
    // 8-bit files end on a block boundary so that standard readers take them whole.
    const std::size_t used = fits_header_length + samples;
    return (used + fits_block - 1) / fits_block * fits_block;
}

void build_fits_header(char* out, const char* obj, const char* obs, const char* date, const char* tel,
    const char* ins, const char* com, const char* his, int eightbit)
{
    const bool small = binned != 0;
    put_card(out, 1, "SIMPLE  =                    T /");
    put_card(out, 2, eightbit ? "BITPIX  =                    8 /" : "BITPIX  =                   16 /");
    put_card(out, 3, "NAXIS   =                    2 /");
    put_card(out, 4, small ? "NAXIS1  =                  376 /" : "NAXIS1  =                  752 /");
    put_card(out, 5, small ? "NAXIS2  =                  290 /" : "NAXIS2  =                  580 /");
    put_text_card(out, 6, "OBJECT  = '", obj);
    put_text_card(out, 7, "TELESCOP= '", tel);
    put_text_card(out, 8, "INSTRUME= '", ins);
    put_text_card(out, 9, "OBSERVER= '", obs);
    put_text_card(out, 10, "ORIGIN  = '", FITS_Src);
    put_text_card(out, 11, "DATE-OBS= '", date);
    put_text_card(out, 12, "TIME-OBS= '", FITS_Time);
    for (int k = 0; k < history_entries; ++k)
        put_text_card(out, 13 + k, "HISTORY = '", process_info[k], history_text - 1);
    put_long_text(out, 28, "HISTORY = '", his);
    put_long_text(out, 32, "COMMENT = '", com);
    // 8-bit data is stored without an offset, and standard readers must know.
    const bool unsigned_data = FITS_SBIG != 0 || eightbit != 0;
    put_card(out, 36, unsigned_data ? bzero_zero : bzero_offset);
    put_card(out, 37, "BSCALE  =   +1.0000000000E+00");
    put_number_card(out, 38, "PIXWIDTH=", FITS_Pixwidth);
    put_number_card(out, 39, "PIXHEIGH=", FITS_Pixheight);
    char saturate[40];
    std::snprintf(saturate, sizeof saturate, "SATURATE=%21d", eightbit ? 255 : (FITS_SBIG ? 65535 : 32768));
    put_card(out, 40, saturate);
    put_number_card(out, 41, "EXPTIME =", FITS_Exptime);
    put_number_card(out, 42, "FOCALLEN=", FITS_Focallen);
    put_number_card(out, 43, "APERTURE=", FITS_Aperture);
    put_text_card(out, 44, "FILTER  = '", FITS_Filter);
    put_card(out, 45, "END");
    for (int card = 46; card <= fits_cards; ++card)
        put_card(out, card, "");
}

int SaveFITSFile(const char* fileTitle, const unsigned short* fredptr, const char* obj, const char* obs,
    const char* date, const char* tel, const char* ins, const char* com, const char* his, int eightbit)
{
    ensure_folder(auto_save_dir);
    static std::vector<unsigned char> file; // one thread; kept for the next save
    file.resize(fits_file_length(eightbit));
    build_fits_header(reinterpret_cast<char*>(file.data()), obj, obs, date, tel, ins, com, his, eightbit);
    const std::size_t samples = static_cast<std::size_t>(width1) * height1;
    unsigned char* data = file.data() + fits_header_length;
    if (eightbit) {
        for (std::size_t i = 0; i < samples; ++i)
            data[i] = static_cast<unsigned char>(fredptr[i] >> 8);
    } else {
        samples_to_fits(fredptr, samples, FITS_SBIG ? 0u : fits_offset, data);
    }
    const std::size_t used = fits_header_length + samples * (eightbit ? 1 : 2);
    std::fill(file.begin() + static_cast<std::ptrdiff_t>(used), file.end(), 0);
    return write_file_atomically(fileTitle, file.data(), file.size()) ? 0 : 1;
}

namespace {
int decode_foreign_header(const unsigned char* header, FitsHeaderValues& out)
{
    if (!read_foreign_fits_header(header, &out.binned, &out.data))
        return 2;
    const auto text = [header](const char* keyword, char* field, std::size_t capacity) {
        field[0] = '\0';
        fits_keyword_text(header, fits_cards, keyword, field, capacity);
    };
    const auto number = [header](const char* keyword) {
        return fits_keyword_number(header, fits_cards, keyword).value_or(0.0);
    };
    text("OBJECT", out.obj, sizeof out.obj);
    text("TELESCOP", out.tel, sizeof out.tel);
    text("INSTRUME", out.ins, sizeof out.ins);
    text("OBSERVER", out.obs, sizeof out.obs);
    text("ORIGIN", out.src, sizeof out.src);
    text("DATE-OBS", out.date, sizeof out.date);
    text("TIME-OBS", out.time, sizeof out.time);
    text("FILTER", out.filter, sizeof out.filter);
    for (auto& entry : out.history)
        entry[0] = '\0';
    fits_commentary(header, fits_cards, "HISTORY", out.his, sizeof out.his);
    fits_commentary(header, fits_cards, "COMMENT", out.com, sizeof out.com);
    // Written back as it came: unsigned without an offset when BZERO is 0.
    out.sbig = out.data.zero == 0;
    out.pixwidth = number("PIXWIDTH");
    out.pixheight = number("PIXHEIGH");
    out.exptime = number("EXPTIME");
    out.focallen = number("FOCALLEN");
    out.aperture = number("APERTURE");
    return 0;
}
} // namespace

int decode_fits_header(const unsigned char* header, FitsHeaderValues& out)
{
    if (!fits_layout_is_ours(header))
        return decode_foreign_header(header, out);
    if (!card_has(header, 2, 29, "16") || !card_has(header, 3, 30, "2"))
        return 2;
    if (!card_has(header, 4, 28, "376") && !card_has(header, 4, 28, "75") && !card_has(header, 4, 30, "2"))
        return 2;
    if (card_has(header, 5, 28, "290"))
        out.binned = true;
    else if (card_has(header, 5, 28, "580"))
        out.binned = false;
    else
        return 2;
    read_text(header, 6, out.obj, sizeof out.obj);
    read_text(header, 7, out.tel, sizeof out.tel);
    read_text(header, 8, out.ins, sizeof out.ins);
    read_text(header, 9, out.obs, sizeof out.obs);
    read_text(header, 10, out.src, sizeof out.src);
    read_text(header, 11, out.date, sizeof out.date);
    read_text(header, 12, out.time, sizeof out.time);
    for (int k = 0; k < history_entries; ++k)
        read_text(header, 13 + k, out.history[k], sizeof out.history[k]);
    out.his[0] = out.com[0] = '\0';
    for (int part = 0; part < 4; ++part) {
        const std::size_t most = part == 3 ? 51 : fits_card;
        append_text(header, 28 + part, out.his, sizeof out.his, most);
        append_text(header, 32 + part, out.com, sizeof out.com, most);
    }
    // The four parts are padded to 68 characters on the card; the padding is
    // not part of the text (trailing blanks never are, in FITS).
    trim_trailing_blanks(out.his);
    trim_trailing_blanks(out.com);
    out.sbig = card_has(header, 36, 1, bzero_zero);
    out.data = FitsData { out.sbig ? 0L : long(fits_offset), false };
    out.pixwidth = read_number(header, 38);
    out.pixheight = read_number(header, 39);
    out.exptime = read_number(header, 41);
    out.focallen = read_number(header, 42);
    out.aperture = read_number(header, 43);
    read_text(header, 44, out.filter, sizeof out.filter);
    return 0;
}

void apply_fits_header(const FitsHeaderValues& v)
{
    set_text(FITS_Obj, v.obj);
    set_text(FITS_Tel, v.tel);
    set_text(FITS_Ins, v.ins);
    set_text(FITS_Obs, v.obs);
    set_text(FITS_Src, v.src);
    set_text(FITS_Date, v.date);
    set_text(FITS_Time, v.time);
    for (int k = 0; k < history_entries; ++k)
        set_text(process_info[k], v.history[k]);
    set_text(FITS_His, v.his);
    set_text(FITS_Com, v.com);
    FITS_SBIG = v.sbig ? 1 : 0;
    FITS_Pixwidth = v.pixwidth;
    FITS_Pixheight = v.pixheight;
    FITS_Exptime = v.exptime;
    FITS_Focallen = v.focallen;
    FITS_Aperture = v.aperture;
    set_text(FITS_Filter, v.filter);
}

int LoadFITSFile(const char* fileTitle, int /*oldfile*/, unsigned short* fredptr)
{
    static std::vector<unsigned char> bytes; // one thread; kept for the next load
    const std::size_t data_length = static_cast<std::size_t>(width3) * height1;
    if (read_file_start(fileTitle, bytes, fits_header_length + data_length, nullptr) != FileRead::ok)
        return 1;
    return fits_file_from_bytes(bytes, fredptr);
}

int fits_file_from_bytes(std::span<const unsigned char> bytes, unsigned short* fredptr)
{
    const std::size_t data_length = static_cast<std::size_t>(width3) * height1;
    if (bytes.size() < fits_header_length)
        return 1;
    FitsHeaderValues values;
    if (decode_fits_header(bytes.data(), values) != 0)
        return 2;
    // The axes must describe the frame being read, or the samples would be
    // taken with the wrong row length.
    if (values.binned != (binned != 0))
        return 2;
    if (bytes.size() < fits_header_length + data_length)
        return 1;
    apply_fits_header(values);
    binned = values.binned ? 1 : 0;
    binned21 = values.binned ? 0 : 1;
    highres_intl = highres_nonintl = 0;
    fits_to_samples(bytes.data() + fits_header_length, width1, height1, values.data, fredptr);
    return 0;
}
