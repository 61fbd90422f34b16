#include "base/reporter.h"

#include <cstring>

#include "text/code_page.h"
#include "text/text_builder.h"

namespace {

// The work area of a message: at most this many bytes, the terminator included.
const size_t kMessageArea = 1024;

// Appends to area until it is full; a character of two bytes goes in whole or
// not at all.
class BoundedText {
public:
    // Adds the first count bytes of text, or all of it.
    void Add(const char* text, size_t count = static_cast<size_t>(-1)) {
        const char* end = text + (count == static_cast<size_t>(-1) ? strlen(text) : count);
        for (const char* p = text; p < end && !full_;) {
            const size_t width =
                (IsLeadByte(static_cast<unsigned char>(*p)) && p + 1 < end) ? 2 : 1;
            if (length_ + width > kMessageArea - 1) {
                full_ = true;
                break;
            }
            for (size_t i = 0; i < width; ++i) area_[length_++] = *p++;
        }
        area_[length_] = '\0';
    }
    const char* c_str() const { return area_; }

private:
    char area_[kMessageArea] = {};
    size_t length_ = 0;
    bool full_ = false;
};

}  // namespace

TextBuffer FormatText(const char* format, std::initializer_list<MessageArg> args) {
    BoundedText text;
    const MessageArg* next = args.begin();
    const MessageArg none("");
    auto take = [&]() -> const MessageArg& { return next != args.end() ? *next++ : none; };
    const char* literal = format;
    for (const char* p = format; *p != '\0';) {
        const char* placeholder = nullptr;
        size_t length = 0;
        if (p[0] == '%' && p[1] == 's') {
            placeholder = "s";
            length = 2;
        } else if (p[0] == '%' && p[1] == '0' && p[2] == '8' && p[3] == 'X') {
            placeholder = "X";
            length = 4;
        } else if (p[0] == '%' && p[1] == '%') {
            placeholder = "%";
            length = 2;
        }
        if (placeholder == nullptr) {
            // Format bytes are copied as characters: a trail byte is never a '%'.
            p += (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') ? 2 : 1;
            continue;
        }
        text.Add(literal, static_cast<size_t>(p - literal));
        if (*placeholder == 's')
            text.Add(take().Text());
        else if (*placeholder == 'X')
            text.Add(HexText(take().Number(), 8).c_str());
        else
            text.Add("%");
        p += length;
        literal = p;
    }
    text.Add(literal);
    return TextBuffer(text.c_str());
}

void Reporter::Fail(MessageId id, std::initializer_list<MessageArg> args, uint32_t error) {
    const TextBuffer format = output_.CatalogueEntry(id);
    Failure(id, FormatText(format.c_str(), args), error);
}

void Reporter::FailText(const TextBuffer& text, uint32_t error) {
    Failure(0, text, error);
}

void Reporter::Failure(int message, const TextBuffer& text, uint32_t error) {
    ++failures_;
    // Without memory to hold it, a failure is shown at once rather than lost.
    if (holding_ && held_.Add({message, text, error}))
        return;
    Present({BoxPurpose::kFailure, message, text, kErrorBoxStyle, error, 0});
}

void Reporter::ReleaseFailures() {
    holding_ = false;
    for (const HeldFailure& held : held_)
        Present({BoxPurpose::kFailure, held.message, held.text, kErrorBoxStyle, held.error, 0});
    held_.Clear();
}

int Reporter::Show(BoxPurpose purpose, const TextBuffer& text, unsigned style) {
    return Present({purpose, 0, text, style, 0, 0});
}

int Reporter::Present(const ReportedBox& box) {
    listeners_.Tell([&](ReportListener& listener) { listener.BoxComing(box); });
    ReportedBox answered = box;
    TextBuffer how;
    if (answers_ == nullptr || !answers_->Take(box.style, &answered.answer, &how))
        answered.answer = output_.Show(box.text.c_str(), caption_.c_str(), box.style);
    answered.answered_how = how.c_str();
    listeners_.Tell([&](ReportListener& listener) { listener.BoxAnswered(answered); });
    return answered.answer;
}
