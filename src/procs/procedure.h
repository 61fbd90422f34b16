// What every procedure kind shares: the record head, the key values read by
// the kind table, and the loop over the items of the kind's main list.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "procs/run_context.h"
#include "script/kind_table.h"

struct Procedure {
    virtual ~Procedure() = default;
    // Sets the result flag as the kind says; false stops the run.
    virtual bool Run(RunContext& run) = 0;
    // Reports with the kind's message that item i failed; error is the
    // Windows error code behind it.
    virtual void ReportItemFailure(RunContext&, int /*item*/, uint32_t /*error*/) const {}

    // The value of one of the kind's keys, as read and expanded.
    const TextBuffer& Value(const char* key) const;
    // Item i of a key's "," list, trimmed of spaces at both ends; "" when absent.
    TextBuffer Item(const char* key, int i) const;

    TextBuffer name;      // the section name, trimmed
    TextBuffer mode;      // the MODE value as the script wrote it
    bool result = false;  // read by conditions; written only by Run
    const KindSpec* kind = nullptr;
    TextBuffer values[kMostKeys];  // in the order of KeyAt; "" for an optional key left out
    EmptyExpansions empties[kMostKeys];  // where each value expanded to nothing

protected:
    // The number of items of the main list; an empty list is reported with
    // message 4 and counts 0, which fails the run.
    int MainItemCount(RunContext& run) const;

    enum class Items { kEmpty, kAll, kStopped };
    // Calls step(i) for each item of the main list until one returns false,
    // or the user asks the run to stop. An empty list is reported with
    // message 4 and gives kEmpty.
    template <typename Step>
    Items ForEachItem(RunContext& run, Step step) {
        const int count = MainItemCount(run);
        if (count == 0)
            return Items::kEmpty;
        for (int i = 0; i < count; ++i) {
            if (run.events.StopRequested() || !step(i))
                return Items::kStopped;
        }
        return Items::kAll;
    }
    // An action: act(i) gives a Status for each item; the first failure is
    // reported and stops the run. The flag is set when every item was done.
    // A change refused because the user stops the run is no failure to report.
    template <typename Act>
    bool ActOnEachItem(RunContext& run, Act act) {
        const Items items = ForEachItem(run, [&](int i) {
            const Status status = act(i);
            if (!status && !run.events.StopRequested())
                ReportItemFailure(run, i, status.Error());
            return static_cast<bool>(status);
        });
        result = items == Items::kAll;
        return result;
    }
    // A test: the flag tells whether every item passed (every) or some item
    // did; the items are tested only until that is known.
    template <typename Test>
    bool TestItems(RunContext& run, bool every, Test test) {
        const Items items = ForEachItem(run, [&](int i) { return test(i) == every; });
        if (items == Items::kEmpty)
            return false;
        result = every ? items == Items::kAll : items == Items::kStopped;
        return true;
    }
};

// A path that names the root of the current drive without a drive letter:
// one "\" or "/" at the start, not two (a UNC name). A symbol that expanded
// to nothing leaves such a path behind.
bool IsCurrentDriveRootPath(const TextBuffer& path);

// Checks, before a procedure runs, the items of every key it writes, moves or
// deletes through: the first that is misaimed (the current drive's root, the
// current folder, a path only an empty expansion made relative) is reported
// with the kind's message, and the procedure must not run.
bool RefuseMisaimedItems(RunContext& run, const Procedure& procedure);

// Makes the procedure a section's MODE names and reads its keys in order;
// null when MODE names no kind (message 6), the record cannot be made
// (message 3) or a key is missing (message 2).
Procedure* BuildProcedure(RunContext& run, const TextBuffer& name);
