#include "store/settings_file.h"

#include "store/atomic_file.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/data_root.h"
#include "app/host.h"
#include "app/messages.h"
#include "app/state.h"
#include "store/image_io.h"
#include "store/settings_values.h"
#include "store/text_settings.h"

namespace {

constexpr std::size_t card_length = 80;
constexpr std::size_t card_prefix_length = 11;
// A four-card text (history, comment) is cut into parts of this many characters.
constexpr std::size_t part_length = 68;
constexpr std::size_t subdir_record_length = 80;

// ------------------------------------------------------------ writing

class RecordWriter {
public:
    std::vector<unsigned char> bytes;

    void u16(int value)
    {
        const auto v = static_cast<std::uint16_t>(value);
        bytes.push_back(static_cast<unsigned char>(v & 0xFF));
        bytes.push_back(static_cast<unsigned char>(v >> 8));
    }
    void letter(char c) { bytes.push_back(static_cast<unsigned char>(c)); }
    void yes_no(int flag) { letter(flag ? 'y' : 'n'); }
    void one_zero(int value) { letter(value == 1 ? '1' : '0'); }
    void real(double value)
    {
        const auto bits = std::bit_cast<std::uint64_t>(value);
        for (int i = 0; i < 8; ++i)
            bytes.push_back(static_cast<unsigned char>(bits >> (8 * i)));
    }
    // Prefix (11 characters, ending in the opening quote), value, closing
    // quote, spaces to 80. A value too long for the card is cut.
    void card(const char* prefix, const char* value, std::size_t field_size)
    {
        const std::size_t length = std::min(strnlen(value, field_size), card_length - card_prefix_length - 1);
        std::string text(prefix, card_prefix_length);
        text.append(value, length);
        text.push_back('\'');
        text.resize(card_length, ' ');
        bytes.insert(bytes.end(), text.begin(), text.end());
    }
    // Four cards holding characters 0-67, 68-135, 136-203 and 204 onwards,
    // each part padded with spaces to 68, the closing quote in column 80.
    void four_cards(const char* prefix, const char* value, std::size_t field_size)
    {
        const std::string text(value, strnlen(value, field_size));
        for (std::size_t part = 0; part < 4; ++part) {
            std::string piece
                = part * part_length < text.size() ? text.substr(part * part_length, part_length) : "";
            piece.resize(part_length, ' ');
            std::string card(prefix, card_prefix_length);
            card += piece;
            card.push_back('\'');
            bytes.insert(bytes.end(), card.begin(), card.end());
        }
    }
    // 80 spaces overwritten from the start by the text and its zero byte.
    void subdir(const char* value)
    {
        std::string record(subdir_record_length, ' ');
        const std::size_t length = strnlen(value, subdir_record_length - 1);
        std::copy(value, value + length, record.begin());
        record[length] = '\0';
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
};

int slewcom_record(char port)
{
    return (port >= '1' && port <= '4') ? port - '0' : 5;
}

// ------------------------------------------------------------ reading

class RecordReader {
public:
    explicit RecordReader(std::span<const unsigned char> bytes)
        : bytes_(bytes)
    {
    }

    int u16()
    {
        const int value = bytes_[pos_] | (bytes_[pos_ + 1] << 8);
        pos_ += 2;
        return value;
    }
    int s16() { return static_cast<std::int16_t>(static_cast<std::uint16_t>(u16())); }
    char letter() { return static_cast<char>(bytes_[pos_++]); }
    double real()
    {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits |= static_cast<std::uint64_t>(bytes_[pos_ + i]) << (8 * i);
        pos_ += 8;
        return std::bit_cast<double>(bits);
    }
    // The value of a text card: from column 12 to the first quote, at most
    // to column 80.
    std::string card_value()
    {
        const char* card = reinterpret_cast<const char*>(bytes_.data() + pos_);
        pos_ += card_length;
        const char* begin = card + card_prefix_length;
        const char* end = std::find(begin, card + card_length, '\'');
        return std::string(begin, end);
    }
    void card(char* field, std::size_t field_size) { copy_cut(card_value(), field, field_size); }
    // Four cards concatenated, the fourth contributing at most 51 characters.
    // The spaces that only pad the last part are dropped, so a text reads
    // back as it was written.
    void four_cards(char* field, std::size_t field_size)
    {
        std::string text;
        for (int part = 0; part < 4; ++part) {
            std::string piece = card_value();
            if (part == 3 && piece.size() > 51)
                piece.resize(51);
            text += piece;
        }
        text.erase(text.find_last_not_of(' ') + 1);
        copy_cut(text, field, field_size);
    }
    // Text up to the first zero byte; a quote also ends it.
    std::string subdir()
    {
        const char* begin = reinterpret_cast<const char*>(bytes_.data() + pos_);
        pos_ += subdir_record_length;
        const char* end = begin;
        while (end < begin + subdir_record_length && *end != '\0' && *end != '"' && *end != '\'')
            ++end;
        return std::string(begin, end);
    }

private:
    static void copy_cut(const std::string& text, char* field, std::size_t field_size)
    {
        std::memset(field, 0, field_size);
        text.copy(field, field_size - 1);
    }

    std::span<const unsigned char> bytes_;
    std::size_t pos_ = 0;
};

bool direction_pair(char first, char second, char a, char b)
{
    return (first == a && second == b) || (first == b && second == a);
}

enum class Applied { complete, needs_repair };

// Assigns each global as soon as its record is read; stops at the first
// record out of its range, leaving it and everything after it as it was.
Applied apply_records(std::span<const unsigned char> bytes)
{
    RecordReader r(bytes);
    auto_save_num = r.u16();
    FITS_Diff = r.s16();
    fast_par = r.letter() == 'y';
    default_port = r.s16();
    // The centroid search reads star_mask pixels around the star: keep it to
    // the radii the dialog offers.
    star_mask = std::clamp(r.s16(), 7, 15);
    default_speed = r.s16();
    const int port = r.s16();
    slewcom = (port >= 1 && port <= 4) ? static_cast<char>('0' + port) : '5';
    // Training divides by the training time and guiding by the rates.
    slewdefault = std::max(r.s16(), 1);
    set_default_back(r.letter());
    focus_delay = r.letter() == '1';
    slewx = std::max(r.s16(), 1);
    slewy = std::max(r.s16(), 1);

    const int ra_backlash = r.s16();
    if (ra_backlash < 0 || ra_backlash > 20)
        return Applied::needs_repair;
    backlashx = ra_backlash;
    const int dec_backlash = r.s16();
    if (dec_backlash < 0 || dec_backlash > 20)
        return Applied::needs_repair;
    backlashy = dec_backlash;
    const char small = r.letter();
    if (small != '1' && small != '0')
        return Applied::needs_repair;
    ignore_small = small == '1';
    const char interface = r.letter();
    if (interface != 'l' && interface != 'n' && interface != 'b')
        return Applied::needs_repair;
    telescope = interface;
    // The INDI link has no letter in this file (its readers know three); it
    // is stored as "None" with the choice in the text settings.
    if (interface == 'n' && text_setting("telescope_link") == "indi")
        telescope = 'i';
    const char interrupts = r.letter();
    if (interrupts != '1' && interrupts != '0')
        return Applied::needs_repair;
    disable_interrupts = interrupts == '1';
    hystx = r.s16();
    hysty = r.s16();
    // Every move sends one of these letters to the telescope: accept only
    // the two pairs, each in either order.
    const char north = r.letter(), south = r.letter(), east = r.letter(), west = r.letter();
    if (!direction_pair(north, south, 'n', 's') || !direction_pair(east, west, 'e', 'w'))
        return Applied::needs_repair;
    n = north;
    s = south;
    e = east;
    w = west;

    r.card(FITS_Obj, sizeof FITS_Obj);
    r.card(FITS_Tel, sizeof FITS_Tel);
    r.card(FITS_Ins, sizeof FITS_Ins);
    r.card(FITS_Obs, sizeof FITS_Obs);
    r.card(FITS_Src, sizeof FITS_Src);
    r.four_cards(FITS_His, sizeof FITS_His);
    r.four_cards(FITS_Com, sizeof FITS_Com);
    r.card(FITS_Filter, sizeof FITS_Filter);
    FITS_Aperture = r.real();
    FITS_Focallen = r.real();
    FITS_SBIG = r.letter() == 'y';
    Mk2_fast_par = r.letter() == 'y';
    apply_correction = r.letter() == 'y';
    Losmandy_pause = r.letter() == 'y';
    gotcontrolbox = r.letter() == 'y';
    Debug_Mode = r.letter() == 'y';
    pause_secs = r.u16();
    // A sub-folder that would lead out of the auto-save folder is not taken.
    if (!set_auto_save_subdir(r.subdir()))
        return Applied::needs_repair;
    return Applied::complete;
}

} // namespace

std::vector<unsigned char> settings_bytes()
{
    RecordWriter out;
    out.bytes.reserve(settings_file_length);
    out.u16(auto_save_num);
    out.u16(FITS_Diff);
    out.yes_no(fast_par);
    out.u16(default_port);
    out.u16(star_mask);
    out.u16(default_speed);
    out.u16(slewcom_record(slewcom));
    out.u16(slewdefault);
    out.letter(default_back);
    out.one_zero(focus_delay);
    out.u16(slewx);
    out.u16(slewy);
    out.u16(backlashx);
    out.u16(backlashy);
    out.one_zero(ignore_small);
    out.letter(telescope == 'i' ? 'n' : telescope);
    out.one_zero(disable_interrupts);
    out.u16(hystx);
    out.u16(hysty);
    out.letter(n);
    out.letter(s);
    out.letter(e);
    out.letter(w);
    out.card("OBJECT  = '", FITS_Obj, sizeof FITS_Obj);
    out.card("TELESCOP= '", FITS_Tel, sizeof FITS_Tel);
    out.card("INSTRUME= '", FITS_Ins, sizeof FITS_Ins);
    out.card("OBSERVER= '", FITS_Obs, sizeof FITS_Obs);
    out.card("ORIGIN  = '", FITS_Src, sizeof FITS_Src);
    out.four_cards("HISTORY = '", FITS_His, sizeof FITS_His);
    out.four_cards("COMMENT = '", FITS_Com, sizeof FITS_Com);
    out.card("FILTER  = '", FITS_Filter, sizeof FITS_Filter);
    out.real(FITS_Aperture);
    out.real(FITS_Focallen);
    out.yes_no(FITS_SBIG);
    out.yes_no(Mk2_fast_par);
    out.yes_no(apply_correction);
    out.yes_no(Losmandy_pause);
    out.yes_no(gotcontrolbox);
    out.yes_no(Debug_Mode);
    out.u16(pause_secs);
    out.subdir(auto_save_subdir);
    return out.bytes;
}

// UT is taken where the time is needed (local time plus FITS_Diff hours), so
// neither the load nor the save changes the process's time zone.
int SaveINIFile(const char* fileTitle)
{
    const std::filesystem::path path(fileTitle);
    if (path.has_parent_path())
        ensure_folder(path.parent_path().string());
    // The INDI choice lives in the text settings (see the load); the file
    // is written only when the choice changes it.
    const std::string link = telescope == 'i' ? "indi" : "";
    if (text_setting("telescope_link") != link) {
        set_text_setting("telescope_link", link);
        save_text_settings();
    }
    const std::vector<unsigned char> bytes = settings_bytes();
    return write_file_atomically(path.string(), bytes.data(), bytes.size()) ? settings_ok : settings_write_failed;
}

int LoadINIFile(const char* fileTitle)
{
    const std::filesystem::path path(fileTitle);
    std::error_code ec;
    // A missing settings folder is made and filled with the current values.
    if (path.has_parent_path() && !std::filesystem::exists(path.parent_path(), ec)
        && ensure_folder(path.parent_path().string()))
        return SaveINIFile(fileTitle);

    std::vector<unsigned char> bytes;
    // At most the records: the rest of a longer file is not looked at.
    if (read_file_start(fileTitle, bytes, settings_file_length, nullptr) != FileRead::ok)
        return settings_unreadable;
    switch (settings_from_bytes(bytes)) {
    case SettingsRead::ok:
        return settings_ok;
    case SettingsRead::needs_repair:
        return SaveINIFile(fileTitle);
    case SettingsRead::unreadable:
        break;
    }
    return settings_unreadable;
}

SettingsRead settings_from_bytes(std::span<const unsigned char> bytes)
{
    if (bytes.size() > 4 && bytes[4] != 'y' && bytes[4] != 'n') {
        host().message_box("Failed to read fast_par value", app_caption);
        return SettingsRead::unreadable;
    }
    // A cut file is refused whole, so the settings are never half the file's.
    if (bytes.size() < settings_file_length)
        return SettingsRead::unreadable;
    return apply_records(bytes.first(settings_file_length)) == Applied::needs_repair
        ? SettingsRead::needs_repair
        : SettingsRead::ok;
}
