// MOVE: each FROM item to the TO item at the same position; the sources go.
#include "procs/file/transfer_pairs.h"
#include "procs/file/tree.h"
#include "procs/kinds.h"

Procedure* NewMove() {
    return NewTransferProcedure(MoveItem, kMsgMoveFailed);
}
