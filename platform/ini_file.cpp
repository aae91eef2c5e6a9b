#include "platform/ini_file.h"

#include "platform/atomic_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace platform {

namespace {

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// A value read back loses its outer blanks and one pair of enclosing double quotes; quoting
// such values on the way out makes every value read back as it was set.
std::string Unquote(std::string_view v) {
    v = Trim(v);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return std::string(v);
}

std::string Quote(std::string_view v) {
    bool needs = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) ||
                                (v.size() >= 2 && v.front() == '"' && v.back() == '"'));
    if (!needs) return std::string(v);
    return "\"" + std::string(v) + "\"";
}

// Line breaks inside a value would split it into lines of their own on the next read.
std::string OneLine(std::string_view v) {
    std::string out(v);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

} // namespace

int ParseProfileInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return static_cast<int>(value);
}

IniFile::LoadResult IniFile::Load(const std::string& path) {
    m_sections.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return errno == ENOENT || errno == ENOTDIR ? LoadResult::Missing : LoadResult::Error;
    std::string text;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        text.append(chunk, n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return LoadResult::Error;
    Parse(text);
    return LoadResult::Ok;
}

void IniFile::Parse(std::string_view text) {
    m_sections.clear();
    m_sections.push_back(Section{});
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::string_view raw =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);

        std::string_view t = Trim(raw);
        if (!t.empty() && t.front() == '[') {
            std::size_t close = t.find(']');
            if (close != std::string_view::npos) {
                Section s;
                s.name = std::string(Trim(t.substr(1, close - 1)));
                s.header = true;
                m_sections.push_back(std::move(s));
                continue;
            }
        }
        Line line;
        std::size_t eq = t.find('=');
        if (!t.empty() && t.front() != ';' && eq != std::string_view::npos && eq > 0) {
            line.isKey = true;
            line.key = std::string(Trim(t.substr(0, eq)));
            line.value = std::string(t.substr(eq + 1));
        }
        line.text = std::string(raw);
        m_sections.back().lines.push_back(std::move(line));
    }
}

std::string IniFile::Serialize() const {
    std::string out;
    for (const Section& s : m_sections) {
        if (s.header) out += "[" + s.name + "]\r\n";
        for (const Line& l : s.lines) {
            if (l.isKey)
                out += l.key + "=" + l.value;
            else
                out += l.text;
            out += "\r\n";
        }
    }
    return out;
}

bool IniFile::Save(const std::string& path) const {
    return WriteFileAtomically(path, Serialize());
}

IniFile::Section* IniFile::FindSection(std::string_view name) {
    for (Section& s : m_sections)
        if (s.header && SameName(s.name, name)) return &s;
    return nullptr;
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
    for (const Section& s : m_sections)
        if (s.header && SameName(s.name, name)) return &s;
    return nullptr;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    if (!s) return std::nullopt;
    for (const Line& l : s->lines)
        if (l.isKey && SameName(l.key, key)) return Unquote(l.value);
    return std::nullopt;
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view def) const {
    std::optional<std::string> v = Get(section, key);
    return v ? *v : std::string(def);
}

int IniFile::GetInt(std::string_view section, std::string_view key, int def) const {
    std::optional<std::string> v = Get(section, key);
    return v ? ParseProfileInt(*v) : def;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    std::string stored = Quote(OneLine(value));
    Section* s = FindSection(section);
    if (!s) {
        if (m_sections.empty()) m_sections.push_back(Section{});
        Section fresh;
        fresh.name = std::string(section);
        fresh.header = true;
        m_sections.push_back(std::move(fresh));
        s = &m_sections.back();
    }
    for (Line& l : s->lines) {
        if (l.isKey && SameName(l.key, key)) {
            l.value = stored;
            return;
        }
    }
    Line line;
    line.isKey = true;
    line.key = std::string(key);
    line.value = stored;
    // New keys go after the section's last key, before any trailing blank lines.
    auto at = s->lines.end();
    while (at != s->lines.begin() && !std::prev(at)->isKey && Trim(std::prev(at)->text).empty())
        --at;
    s->lines.insert(at, std::move(line));
}

int GetPrivateProfileInt(const char* section, const char* key, int def, const std::string& path) {
    IniFile ini;
    ini.Load(path);
    return ini.GetInt(section ? section : "", key ? key : "", def);
}

std::size_t GetPrivateProfileString(const char* section, const char* key, const char* def,
                                    char* buffer, std::size_t size, const std::string& path) {
    if (!buffer || size == 0) return 0;
    IniFile ini;
    ini.Load(path);
    std::string v = ini.GetString(section ? section : "", key ? key : "", def ? def : "");
    std::size_t n = v.size() < size - 1 ? v.size() : size - 1;
    std::memcpy(buffer, v.data(), n);
    buffer[n] = '\0';
    return n;
}

bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const std::string& path) {
    if (!section || !key) return false;
    IniFile ini;
    if (ini.Load(path) == IniFile::LoadResult::Error) return false;
    ini.Set(section, key, value ? value : "");
    return ini.Save(path);
}

} // namespace platform
