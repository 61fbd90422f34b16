// What COPY and MOVE share: FROM and TO lists handled pair by pair, the run
// stopping at the first pair that fails with the kind's message.
#pragma once

#include "procs/flow/procedure.h"

struct TransferPairsProcedure : Procedure {
    TextBuffer sources;
    TextBuffer targets;

    bool ReadKeys() { return ReadTextKeys(name, {{"FROM", &sources}, {"TO", &targets}}); }

protected:
    typedef bool (*TransferFunction)(const TextBuffer& source, const TextBuffer& target);
    bool RunPairs(TransferFunction transfer, int failure_message);
};
