// Every box the program shows goes through the reporter: catalogue messages
// with typed arguments, the CRC report and the script's own questions. A
// listener (a log, a checker) sees each box and its answer, and a failure may
// be held back until the run has finished stopping. No Win32 in here: the
// boxes themselves are shown by a BoxOutput.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "base/box_answers.h"
#include "base/listeners.h"
#include "base/messages.h"
#include "text/list.h"
#include "text/text_buffer.h"

// Box styles, as MessageBoxA takes them.
const unsigned kBoxIconError = 0x10;
const unsigned kBoxIconQuestion = 0x20;
const unsigned kBoxIconWarning = 0x30;
const unsigned kBoxIconInformation = 0x40;
const unsigned kBoxYesNo = 0x4;
const unsigned kBoxDefaultButton2 = 0x100;
const unsigned kBoxSetForeground = 0x10000;
const unsigned kErrorBoxStyle = kBoxIconError | kBoxSetForeground;
const unsigned kInformationBoxStyle = kBoxIconInformation | kBoxSetForeground;

// Answers, as MessageBoxA gives them.
const int kAnswerOk = 1;
const int kAnswerCancel = 2;
const int kAnswerYes = 6;
const int kAnswerNo = 7;

// One argument of a message: a text for "%s", or a number for "%08X".
class MessageArg {
public:
    MessageArg(const char* text) : text_(text) {}                // NOLINT: arguments convert freely
    MessageArg(const TextBuffer& text) : text_(text.c_str()) {}  // NOLINT
    MessageArg(uint32_t number) : number_(number), is_number_(true) {}  // NOLINT

    const char* Text() const { return is_number_ ? "" : text_; }
    uint32_t Number() const { return is_number_ ? number_ : 0; }

private:
    const char* text_ = "";
    uint32_t number_ = 0;
    bool is_number_ = false;
};

// Fills the "%s" and "%08X" placeholders of format in order ("%%" is one
// percent sign); a missing argument gives "" or 0 and surplus ones are
// ignored. The result is cut at 1023 bytes, never inside a double-byte character.
TextBuffer FormatText(const char* format, std::initializer_list<MessageArg> args);

// What a box was shown for.
enum class BoxPurpose {
    kFailure,  // a catalogue message, or a report that a file could not be read
    kScript,   // a box of the script's own (MSGBOX): an error, a warning, a message or a question
    kReport,   // the CRC value of a file
};

struct ReportedBox {
    BoxPurpose purpose;
    int message;  // the catalogue entry; 0 for a box of another text
    const TextBuffer& text;
    unsigned style;
    uint32_t system_error;  // the Windows error behind a failure; 0 when none
    int answer;             // 0 until the box has been answered
    // Once answered: how the answer came without the box being shown; ""
    // when it was shown.
    const char* answered_how = "";
};

// Where boxes go: the system's message boxes in the program.
class BoxOutput {
public:
    virtual ~BoxOutput() = default;
    // Entry id of the catalogue, as a format.
    virtual TextBuffer CatalogueEntry(int id) = 0;
    // A box without owner window; its answer, or what the system returned
    // when it could not be shown.
    virtual int Show(const char* text, const char* caption, unsigned style) = 0;
};

class ReportListener {
public:
    virtual ~ReportListener() = default;
    virtual void BoxComing(const ReportedBox& box) = 0;
    virtual void BoxAnswered(const ReportedBox& box) = 0;
};

class Reporter {
public:
    explicit Reporter(BoxOutput& output) : output_(output) {}
    Reporter(const Reporter&) = delete;
    Reporter& operator=(const Reporter&) = delete;

    void SetCaption(const TextBuffer& caption) { caption_ = caption; }
    const TextBuffer& Caption() const { return caption_; }
    // Each listener hears of every box, in the order they were added.
    bool AddListener(ReportListener* listener) { return listeners_.Add(listener); }
    // Answers that boxes take instead of being shown, as far as they go.
    void SetAnswers(BoxAnswers* answers) { answers_ = answers; }

    // A catalogue message in an error box. error is the Windows error code
    // of the call that failed, 0 when there is none.
    void Fail(MessageId id, std::initializer_list<MessageArg> args = {}, uint32_t error = 0);
    // An error box of a text of the program's own.
    void FailText(const TextBuffer& text, uint32_t error = 0);
    // Any other box; returns the answer.
    int Show(BoxPurpose purpose, const TextBuffer& text, unsigned style);

    // Failures reported so far, held ones included.
    int FailureCount() const { return failures_; }

    // While held, failure boxes wait, however many come; ReleaseFailures
    // shows them in order.
    void HoldFailures() { holding_ = true; }
    void ReleaseFailures();

private:
    struct HeldFailure {
        int message;
        TextBuffer text;
        uint32_t error;
    };
    int Present(const ReportedBox& box);
    void Failure(int message, const TextBuffer& text, uint32_t error);

    BoxOutput& output_;
    Listeners<ReportListener> listeners_;
    BoxAnswers* answers_ = nullptr;
    TextBuffer caption_;
    bool holding_ = false;
    int failures_ = 0;
    List<HeldFailure> held_;
};
