#include "procs/file/transfer_pairs.h"

#include "app/messages.h"

bool TransferPairsProcedure::RunPairs(TransferFunction transfer, int failure_message) {
    const int count = MainItemCount(sources, "FROM");
    if (count == 0)
        return false;
    // A missing target item is the empty text; surplus targets are ignored.
    for (int i = 0; i < count; ++i) {
        const TextBuffer source = ListItem(sources, i);
        const TextBuffer target = ListItem(targets, i);
        if (!transfer(source, target)) {
            ShowMessage(failure_message, source.c_str(), target.c_str());
            return false;
        }
    }
    result = true;
    return true;
}
