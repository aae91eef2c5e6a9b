// The burner's five user settings, kept between runs in param.ini of the user's configuration
// folder and held in one process-wide object while the program runs.
#pragma once

#include <cstdint>
#include <string>

struct BurnSettings {
    char outputFolder[1025];
    char tempFolder[1025];
    std::int32_t aspectRatio; // 0 = 4:3, 1 = 16:9
    std::int32_t letterBox;   // 1 = add a letter box
    std::int32_t tvType;      // 0 = NTSC, 1 = PAL

    BurnSettings(); // empty texts, zero integers, not loaded

    // Reads the file at start-up: keys absent give the defaults, texts are cut to 1023
    // characters. A missing file is no error.
    void Load();
    void Load(const std::string& path);

    // Writes the five keys at exit, keeping everything else in the file; the file, its folder and
    // its sections are created when missing. Nothing is written when Load never ran, so a run that
    // ended early leaves the stored values as they are. False when the file could not be written
    // (or exists but could not be read, so it is left alone).
    bool Save() const;
    bool Save(const std::string& path) const;

    bool Loaded() const { return m_bLoaded; }

    void SetOutputFolder(const std::string& folder);
    void SetTempFolder(const std::string& folder);

    // $XDG_CONFIG_HOME/Pellam/param.ini, or ~/.config/Pellam/param.ini.
    static std::string FilePath();
    // $HOME/Pellam/.
    static std::string DefaultOutputFolder();

  private:
    bool m_bLoaded = false;
};

extern BurnSettings g_settings;
