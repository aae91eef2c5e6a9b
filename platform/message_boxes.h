// Message boxes and beeps, behind an interface so that tests see every box with its text and
// answer it from a script.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

// Buttons and icons, combined with |, and the answers, numbered as the programs know them.
enum : unsigned {
    MB_OK = 0x00,
    MB_OKCANCEL = 0x01,
    MB_YESNOCANCEL = 0x03,
    MB_YESNO = 0x04,
    MB_RETRYCANCEL = 0x05,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDRETRY = 4, IDYES = 6, IDNO = 7 };
constexpr unsigned MB_BUTTONS_MASK = 0x0F;
constexpr unsigned MB_ICON_MASK = 0xF0;

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Modal; returns the answer (IDOK, IDYES, ...).
    virtual int Show(const std::string& text, const std::string& caption, unsigned type) = 0;
    // type is the sound: MB_OK for the default beep, or one of the icons.
    virtual void Beep(unsigned type) = 0;
};

// Records every box and beep; answers from a script, and when it runs dry with the box's first
// button (IDOK, IDYES or IDRETRY).
class RecordingMessageBoxes : public MessageBoxes {
  public:
    struct Box {
        std::string text;
        std::string caption;
        unsigned type;
        int answer;
    };
    void Answer(int answer); // the next box's answer; queued in order
    int Show(const std::string& text, const std::string& caption, unsigned type) override;
    void Beep(unsigned type) override;

    std::vector<Box> Boxes() const;
    std::vector<std::string> Texts() const;
    std::vector<unsigned> Beeps() const;

  private:
    mutable std::mutex m_lock;
    std::deque<int> m_answers;
    std::vector<Box> m_boxes;
    std::vector<unsigned> m_beeps;
};

// The process's message boxes; with none installed, boxes go to stderr and get their first
// button as answer.
MessageBoxes& GetMessageBoxes();
void SetMessageBoxes(MessageBoxes* boxes);

} // namespace platform
