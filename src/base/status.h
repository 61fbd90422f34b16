// The outcome of an operation: done, or failed with the Windows error code of
// the call that failed, kept so that someone can learn why.
#pragma once

#include <cstdint>

class Status {
public:
    static Status Done() { return Status(true, 0); }
    // error is 0 when the failure is the program's own finding (a refused
    // name, a missing source), not a system call's.
    static Status Failed(uint32_t error = 0) { return Status(false, error); }

    explicit operator bool() const { return done_; }
    uint32_t Error() const { return error_; }

private:
    Status(bool done, uint32_t error) : done_(done), error_(error) {}
    bool done_;
    uint32_t error_;
};
