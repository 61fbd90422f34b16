// COPY: each FROM item to the TO item at the same position.
#include "procs/file/transfer_pairs.h"
#include "procs/file/walker.h"
#include "procs/kinds.h"

namespace {

struct CopyProcedure : TransferPairsProcedure {
    bool Run() override { return RunPairs(CopyItem, kMsgCopyFailed); }
};

}  // namespace

Procedure* ConstructCopy(const TextBuffer& name, const TextBuffer& mode) {
    return ConstructProcedure<CopyProcedure>(name, mode, "COPY_INFO");
}
