// MOVE: each FROM item to the TO item at the same position; the sources go.
#include "procs/file/transfer_pairs.h"
#include "procs/file/walker.h"
#include "procs/kinds.h"

namespace {

struct MoveProcedure : TransferPairsProcedure {
    bool Run() override { return RunPairs(MoveItem, kMsgMoveFailed); }
};

}  // namespace

Procedure* ConstructMove(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<MoveProcedure>(name, mode, "MOVE_INFO");
}
