// What COPY and MOVE share: FROM and TO lists handled pair by pair, the run
// stopping at the first pair that fails with the kind's message.
#pragma once

#include "procs/procedure.h"

typedef Status (*TransferFunction)(RunEvents& events, const TextBuffer& source,
                                   const TextBuffer& target);

Procedure* NewTransferProcedure(TransferFunction transfer, MessageId failure);
