// INI files with the semantics the settings code was written against: sections and keys compare
// without regard to ASCII case, a default applies only when the key is absent, integers are read
// from their leading digits, and everything else in the file survives a rewrite.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class IniFile {
  public:
    enum class LoadResult { Ok, Missing, Error };

    // Missing leaves an empty file (a later Save creates it); Error leaves it empty too, and
    // callers that rewrite must not save over a file they could not read.
    LoadResult Load(const std::string& path);
    void Parse(std::string_view text);

    // Writes beside the file and renames over it, so a crash leaves the old or the new file.
    bool Save(const std::string& path) const;
    std::string Serialize() const; // CR LF line ends

    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view def) const;
    int GetInt(std::string_view section, std::string_view key, int def) const;

    // Replaces the first such key, or appends it to the first such section, or appends both.
    void Set(std::string_view section, std::string_view key, std::string_view value);

  private:
    struct Line {
        std::string text; // as read, for lines that are not keys
        std::string key;
        std::string value;
        bool isKey = false;
    };
    struct Section {
        std::string name; // empty for lines before the first header
        bool header = false;
        std::vector<Line> lines;
    };
    Section* FindSection(std::string_view name);
    const Section* FindSection(std::string_view name) const;

    std::vector<Section> m_sections;
};

// The integer of a profile value: blanks skipped, an optional sign, then decimal digits; no
// digits gives 0. Values beyond the range of int saturate.
int ParseProfileInt(std::string_view text);

// The file-level calls of the platform, each reading (and writing) the whole file.
int GetPrivateProfileInt(const char* section, const char* key, int def, const std::string& path);
// Copies at most size - 1 characters and a terminator; returns the characters copied.
std::size_t GetPrivateProfileString(const char* section, const char* key, const char* def,
                                    char* buffer, std::size_t size, const std::string& path);
// Fails without touching the file when it exists but cannot be read.
bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const std::string& path);

} // namespace platform
