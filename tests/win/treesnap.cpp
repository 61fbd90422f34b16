// treesnap: prints what a folder tree holds, one entry a line, for scripts
// that compare trees (the kill test). Times are left out with --no-times.
//
//   treesnap.exe FOLDER [--no-times]
#include <cstdio>
#include <cstring>

#include "tree_snapshot.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        fputs("usage: treesnap.exe FOLDER [--no-times]\n", stderr);
        return 2;
    }
    const bool times = !(argc > 2 && strcmp(argv[2], "--no-times") == 0);
    fputs(SnapshotText(SnapshotOf(argv[1]), times).c_str(), stdout);
    return 0;
}
