#include "store/fits_keywords.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
constexpr std::size_t card_length = 80;
constexpr std::size_t name_length = 8;

// Whether the card's name field (columns 1-8) is `keyword` padded with blanks.
bool card_named(const unsigned char* card, const char* keyword)
{
    const std::size_t length = std::strlen(keyword);
    if (length > name_length || std::memcmp(card, keyword, length) != 0)
        return false;
    for (std::size_t i = length; i < name_length; ++i)
        if (card[i] != ' ')
            return false;
    return true;
}

// The value field of a "KEYWORD = value / comment" card: columns 11-80,
// without leading blanks; empty when the card has no value indicator.
std::string value_field(const unsigned char* card)
{
    if (card[8] != '=' || card[9] != ' ')
        return {};
    std::size_t from = 10;
    while (from < card_length && card[from] == ' ')
        ++from;
    return std::string(reinterpret_cast<const char*>(card) + from, card_length - from);
}

// A number or logical value: the characters up to a blank or the comment.
std::string value_token(const unsigned char* card)
{
    const std::string field = value_field(card);
    if (field.empty() || field[0] == '\'')
        return {};
    return field.substr(0, field.find_first_of(" /"));
}
} // namespace

const unsigned char* fits_find_card(const unsigned char* header, int cards, const char* keyword)
{
    for (int card = 0; card < cards; ++card) {
        const unsigned char* at = header + static_cast<std::size_t>(card) * card_length;
        if (card_named(at, "END"))
            return nullptr;
        if (card_named(at, keyword))
            return at;
    }
    return nullptr;
}

int fits_end_card(const unsigned char* header, int cards)
{
    for (int card = 0; card < cards; ++card)
        if (card_named(header + static_cast<std::size_t>(card) * card_length, "END"))
            return card + 1;
    return 0;
}

std::optional<double> fits_keyword_number(const unsigned char* header, int cards, const char* keyword)
{
    const unsigned char* card = fits_find_card(header, cards, keyword);
    if (card == nullptr)
        return std::nullopt;
    std::string token = value_token(card);
    if (token.empty())
        return std::nullopt;
    // FITS writes double-precision exponents with a D.
    for (char& c : token)
        if (c == 'D' || c == 'd')
            c = 'E';
    char* end = nullptr;
    const double value = std::strtod(token.c_str(), &end);
    if (end != token.c_str() + token.size())
        return std::nullopt;
    return value;
}

std::optional<bool> fits_keyword_logical(const unsigned char* header, int cards, const char* keyword)
{
    const unsigned char* card = fits_find_card(header, cards, keyword);
    if (card == nullptr)
        return std::nullopt;
    const std::string token = value_token(card);
    if (token == "T")
        return true;
    if (token == "F")
        return false;
    return std::nullopt;
}

bool fits_keyword_text(
    const unsigned char* header, int cards, const char* keyword, char* field, std::size_t capacity)
{
    const unsigned char* card = fits_find_card(header, cards, keyword);
    if (card == nullptr || capacity == 0)
        return false;
    const std::string value = value_field(card);
    if (value.empty() || value[0] != '\'')
        return false;
    std::string text;
    for (std::size_t i = 1; i < value.size(); ++i) {
        if (value[i] == '\'') {
            if (i + 1 >= value.size() || value[i + 1] != '\'')
                break;
            ++i;
        }
        text += value[i];
    }
    const std::size_t end = text.find_last_not_of(' ');
    text.resize(end == std::string::npos ? 0 : end + 1);
    const std::size_t take = std::min(text.size(), capacity - 1);
    std::memcpy(field, text.data(), take);
    field[take] = '\0';
    return true;
}

void fits_commentary(
    const unsigned char* header, int cards, const char* keyword, char* field, std::size_t capacity)
{
    if (capacity == 0)
        return;
    std::string joined;
    for (int card = 0; card < cards; ++card) {
        const unsigned char* at = header + static_cast<std::size_t>(card) * card_length;
        if (card_named(at, "END"))
            break;
        if (!card_named(at, keyword))
            continue;
        std::string text(reinterpret_cast<const char*>(at) + name_length, card_length - name_length);
        const std::size_t first = text.find_first_not_of(' ');
        if (first == std::string::npos)
            continue;
        text = text.substr(first, text.find_last_not_of(' ') - first + 1);
        if (!joined.empty())
            joined += ' ';
        joined += text;
    }
    const std::size_t take = std::min(joined.size(), capacity - 1);
    std::memcpy(field, joined.data(), take);
    field[take] = '\0';
}
