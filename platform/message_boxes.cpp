#include "platform/message_boxes.h"

#include <atomic>
#include <cstdio>

namespace platform {

namespace {

int FirstButton(unsigned type) {
    switch (type & MB_BUTTONS_MASK) {
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return IDYES;
    case MB_RETRYCANCEL:
        return IDRETRY;
    default:
        return IDOK;
    }
}

class ConsoleMessageBoxes : public MessageBoxes {
  public:
    int Show(const std::string& text, const std::string& caption, unsigned type) override {
        std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ",
                     text.c_str());
        return FirstButton(type);
    }
    void Beep(unsigned) override { std::fputc('\a', stderr); }
};

std::atomic<MessageBoxes*> installed{nullptr};

} // namespace

void RecordingMessageBoxes::Answer(int answer) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_answers.push_back(answer);
}

int RecordingMessageBoxes::Show(const std::string& text, const std::string& caption,
                                unsigned type) {
    std::lock_guard<std::mutex> guard(m_lock);
    int answer = FirstButton(type);
    if (!m_answers.empty()) {
        answer = m_answers.front();
        m_answers.pop_front();
    }
    m_boxes.push_back({text, caption, type, answer});
    return answer;
}

void RecordingMessageBoxes::Beep(unsigned type) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_beeps.push_back(type);
}

std::vector<RecordingMessageBoxes::Box> RecordingMessageBoxes::Boxes() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_boxes;
}

std::vector<std::string> RecordingMessageBoxes::Texts() const {
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<std::string> out;
    for (const Box& b : m_boxes)
        out.push_back(b.text);
    return out;
}

std::vector<unsigned> RecordingMessageBoxes::Beeps() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_beeps;
}

MessageBoxes& GetMessageBoxes() {
    static ConsoleMessageBoxes console;
    MessageBoxes* b = installed.load();
    return b ? *b : console;
}

void SetMessageBoxes(MessageBoxes* boxes) {
    installed.store(boxes);
}

} // namespace platform
