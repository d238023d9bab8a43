#pragma once
// Where the program's message boxes go. The Win32 build shows a real
// MessageBoxA; tests record the boxes so that nothing ever blocks on a dialog.
#include <string>
#include <vector>

namespace tf::platform {

enum class MessageIcon { kNone, kError, kExclamation };

// Code page of a text written for one particular code page rather than the
// program's own.
inline constexpr unsigned kWesternCodePage = 1252;

// One OK-only message box. An empty caption means the application's title.
struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::kNone;
    unsigned textCodePage = 0;  // of `text`; 0: the program's own code page
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void Show(const Message& message) = 0;
    // A plain box titled with the application's title.
    void Show(const std::string& text) { Show(Message{text, {}, MessageIcon::kNone}); }
};

// Keeps every message shown; used by tests and by headless tools.
class RecordingMessageSink final : public MessageSink {
public:
    using MessageSink::Show;
    void Show(const Message& message) override {
        shown.push_back(message.text);
        boxes.push_back(message);
    }
    std::vector<std::string> shown;  // the texts, in order
    std::vector<Message> boxes;
};

}  // namespace tf::platform
