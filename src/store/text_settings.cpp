#include "store/text_settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

#include "app/data_root.h"
#include "store/atomic_file.h"

namespace {

struct Line {
    std::string text; // the line as read, for comments and unknown lines
    std::string key;  // empty for a line that is not a setting
    std::string value;
};

struct Store {
    std::mutex mutex;
    bool loaded = false;
    std::vector<Line> lines;
};

Store& store()
{
    static Store s;
    return s;
}

std::string trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

Line parse(const std::string& text)
{
    Line line { text, {}, {} };
    const std::string body = trim(text);
    if (body.empty() || body[0] == '#')
        return line;
    const auto eq = body.find('=');
    if (eq == std::string::npos)
        return line;
    line.key = trim(body.substr(0, eq));
    std::string value = body.substr(eq + 1);
    // A comment may follow the value: "focal_length = 1000  # mm".
    const auto hash = value.find(" #");
    if (hash != std::string::npos)
        value.erase(hash);
    line.value = trim(value);
    return line;
}

// Call with the mutex held.
void load(Store& s)
{
    if (s.loaded)
        return;
    s.loaded = true;
    s.lines.clear();
    std::ifstream in(text_settings_path());
    std::string text;
    while (std::getline(in, text))
        s.lines.push_back(parse(text));
}

Line* find(Store& s, const std::string& key)
{
    // The last line wins, as a reader of the file would expect.
    for (auto it = s.lines.rbegin(); it != s.lines.rend(); ++it)
        if (it->key == key)
            return &*it;
    return nullptr;
}

} // namespace

std::string text_settings_path()
{
    return data_path("quillon.conf");
}

std::string text_setting(const std::string& key, const std::string& fallback)
{
    Store& s = store();
    std::lock_guard lock(s.mutex);
    load(s);
    const Line* line = find(s, key);
    return line ? line->value : fallback;
}

int text_setting_int(const std::string& key, int fallback)
{
    const std::string v = text_setting(key);
    if (v.empty())
        return fallback;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(v.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || n < -2147483647L || n > 2147483647L)
        return fallback;
    return static_cast<int>(n);
}

double text_setting_double(const std::string& key, double fallback)
{
    const std::string v = text_setting(key);
    if (v.empty())
        return fallback;
    // Not strtod: a locale with a decimal comma must not change the file.
    std::istringstream in(v);
    in.imbue(std::locale::classic());
    double d = 0;
    if (!(in >> d) || !in.eof())
        return fallback;
    return d;
}

bool text_setting_bool(const std::string& key, bool fallback)
{
    const std::string v = text_setting(key);
    if (v == "1" || v == "true" || v == "yes" || v == "on")
        return true;
    if (v == "0" || v == "false" || v == "no" || v == "off")
        return false;
    return fallback;
}

void set_text_setting(const std::string& key, const std::string& value)
{
    Store& s = store();
    std::lock_guard lock(s.mutex);
    load(s);
    // Keys and values are one line each: a newline would forge another key.
    std::string clean;
    for (char c : value)
        clean += (c == '\n' || c == '\r') ? ' ' : c;
    clean = trim(clean);
    if (Line* line = find(s, key)) {
        line->value = clean;
        line->text.clear();
    } else {
        s.lines.push_back(Line { {}, key, clean });
    }
}

void set_text_setting(const std::string& key, double value)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(10);
    out << value;
    set_text_setting(key, out.str());
}

void set_text_setting_bool(const std::string& key, bool value)
{
    set_text_setting(key, std::string(value ? "1" : "0"));
}

bool save_text_settings()
{
    Store& s = store();
    std::lock_guard lock(s.mutex);
    load(s);
    std::string out;
    for (const Line& line : s.lines) {
        // Changed settings are written afresh; everything else as it was.
        out += (line.text.empty() && !line.key.empty()) ? line.key + " = " + line.value : line.text;
        out += '\n';
    }
    if (!ensure_folder(data_root()))
        return false;
    return write_file_atomically(text_settings_path(), out.data(), out.size());
}

void reset_text_settings()
{
    Store& s = store();
    std::lock_guard lock(s.mutex);
    s.loaded = false;
    s.lines.clear();
}
