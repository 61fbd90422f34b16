// Waiting for a file that another program holds: which errors wait, the
// pauses up to the limit, what the waits hear, and the values RETRY takes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/retry.h"
#include "script/script_keys.h"

namespace {

struct FakeClock : WaitClock {
    uint32_t Milliseconds() override { return now; }
    void Pause(uint32_t ms) override {
        pauses.push_back(ms);
        now += ms;
    }
    uint32_t now = 0xFFFFFF00;  // the tick count wraps during the waits
    std::vector<uint32_t> pauses;
};

struct Heard : HeldFileWaits {
    void Begins(uint32_t error) override { heard.push_back("begins " + std::to_string(error)); }
    bool GoOn() override { return go_on; }
    void Ended(const Status& last, uint32_t waited_ms) override {
        heard.push_back("ended " + std::to_string(last.Error()) + " after " +
                        std::to_string(waited_ms));
    }
    bool go_on = true;
    std::vector<std::string> heard;
};

struct Case {
    const char* what;
    std::vector<uint32_t> errors;  // of the calls in turn, 0 for success; the last repeats
    uint32_t limit_ms;
    bool go_on;
    size_t calls;
    std::vector<uint32_t> pauses;
    std::vector<std::string> heard;
};

TEST(RetryWhileHeld, WaitsOnlyForAHoldAndOnlyWhileItMay) {
    const Case cases[] = {
        {"done at once", {0}, 5000, true, 1, {}, {}},
        {"another error fails at once", {5}, 5000, true, 1, {}, {}},
        {"no limit: no wait", {32}, 0, true, 1, {}, {}},
        {"let go", {32, 32, 0}, 5000, true, 3, {50, 100}, {"begins 32", "ended 0 after 150"}},
        {"held, then another error",
         {33, 5},
         5000,
         true,
         2,
         {50},
         {"begins 33", "ended 5 after 50"}},
        {"a COM hold",
         {0x80070020, 0x80030021, 0},
         5000,
         true,
         3,
         {50, 100},
         {"begins 2147942432", "ended 0 after 150"}},
        {"still held at the limit: the last try is at it",
         {32},
         1000,
         true,
         7,
         {50, 100, 200, 250, 250, 150},
         {"begins 32", "ended 32 after 1000"}},
        {"the run is being stopped", {32}, 5000, false, 1, {}, {"begins 32", "ended 32 after 0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeClock clock;
        Heard waits;
        waits.go_on = c.go_on;
        size_t calls = 0;
        const Status status = RetryWhileHeld(c.limit_ms, clock, waits, [&] {
            const uint32_t error = c.errors[calls < c.errors.size() ? calls : c.errors.size() - 1];
            ++calls;
            return error == 0 ? Status::Done() : Status::Failed(error);
        });
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(status.Error(),
                  c.errors[calls - 1 < c.errors.size() ? calls - 1 : c.errors.size() - 1]);
        EXPECT_EQ(clock.pauses, c.pauses);
        EXPECT_EQ(waits.heard, c.heard);
    }
}

TEST(RetrySeconds, WholeSecondsFromNoneTo600) {
    struct Value {
        const char* text;
        bool taken;
        uint32_t seconds;
    };
    const Value values[] = {{"5", true, 5},          {" 600 ", true, 600}, {"", true, 0},
                            {"0", true, 0},          {"601", false, 0},    {"abc", false, 0},
                            {"-1", false, 0},        {"1.5", false, 0},    {"5s", false, 0},
                            {"4294967301", false, 0}};
    for (const Value& v : values) {
        uint32_t seconds = 0;
        EXPECT_EQ(ParseRetrySeconds(v.text, &seconds), v.taken) << v.text;
        if (v.taken) {
            EXPECT_EQ(seconds, v.seconds) << v.text;
        }
    }
}

}  // namespace
