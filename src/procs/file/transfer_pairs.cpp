#include "procs/file/transfer_pairs.h"

namespace {

struct TransferProcedure : Procedure {
    TransferProcedure(TransferFunction transfer, MessageId failure)
        : transfer(transfer), failure(failure) {}

    // A missing target item is the empty text; surplus targets are ignored.
    bool Run(RunContext& run) override {
        return ActOnEachItem(
            run, [&](int i) { return transfer(run.events, Item("FROM", i), Item("TO", i)); });
    }
    void ReportItemFailure(RunContext& run, int i, uint32_t error) const override {
        run.reporter.Fail(failure, {Item("FROM", i), Item("TO", i)}, error);
    }

    TransferFunction transfer;
    MessageId failure;
};

}  // namespace

Procedure* NewTransferProcedure(TransferFunction transfer, MessageId failure) {
    return new (std::nothrow) TransferProcedure(transfer, failure);
}
