// A procedure record as the engine builds it, for tests of what listens to
// the run: its section, its MODE value and the values of its keys, in the
// order the kind reads them. It runs without doing anything.
#pragma once

#include <string>
#include <vector>

#include "procs/procedure.h"

struct FakeProcedure : Procedure {
    FakeProcedure(const char* section, const char* mode_value, std::vector<std::string> keys) {
        name = section;
        mode = mode_value;
        kind = FindKind(mode_value);
        for (size_t i = 0; i < keys.size(); ++i) values[i] = keys[i].c_str();
    }
    bool Run(RunContext&) override { return true; }
};
