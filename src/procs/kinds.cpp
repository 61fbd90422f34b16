#include "procs/kinds.h"

namespace {

struct KindMaker {
    KindId id;
    Procedure* (*make)();
};

constexpr KindMaker kMakers[] = {
#define KIND(name, ...) {KindId::k##name, New##name},
#include "script/kinds.def"
#undef KIND
};

static_assert(RowsInKindOrder(kMakers), "the makers' rows are in the order of KindId");

}  // namespace

Procedure* NewProcedure(KindId kind) {
    return kMakers[static_cast<int>(kind)].make();
}
