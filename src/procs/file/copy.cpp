// COPY: each FROM item to the TO item at the same position.
#include "procs/file/transfer_pairs.h"
#include "procs/file/tree.h"
#include "procs/kinds.h"

Procedure* NewCopy() {
    return NewTransferProcedure(CopyItem, kMsgCopyFailed);
}
