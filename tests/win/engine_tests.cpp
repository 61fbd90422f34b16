// The engine in process: a run context built without a process, over a
// script held in memory, with boxes and events recorded instead of shown.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/engine.h"
#include "helper_programs.h"
#include "memory_script.h"

namespace {

// Boxes by text, answered Yes; the catalogue as "message N: args".
struct Boxes : BoxOutput {
    TextBuffer CatalogueEntry(int id) override {
        return ("message " + std::to_string(id) + ": %s %s").c_str();
    }
    int Show(const char* text, const char*, unsigned) override {
        shown.push_back(text);
        return kAnswerYes;
    }
    std::vector<std::string> shown;
};

// What the engine and the kinds told the sink, in order.
struct Trace : RunEvents {
    void ProcedureStarting(const Procedure& p, int depth) override {
        lines.push_back(std::to_string(depth) + " start " + p.name.c_str());
    }
    void ProcedureEnded(const Procedure& p, int depth, bool went_on) override {
        lines.push_back(std::to_string(depth) + (went_on ? " went on " : " stopped ") +
                        p.name.c_str());
    }
    Status FileChanging(FileAction, const char* path, const char*) override {
        lines.push_back(std::string("changing ") + path);
        return Status::Done();
    }
    void Waited(const char*, uint32_t, WaitEnd end) override {
        lines.push_back(end == WaitEnd::kTimedOut ? "waited: time limit" : "waited: other");
    }
    std::vector<std::string> lines;
};

class EngineRun : public ::testing::Test {
protected:
    // Runs PROC of the script; a section is "KEY=value" lines.
    void Run(const std::string& proc, const std::map<std::string, std::string>& sections) {
        for (const auto& section : sections) {
            std::string lines = section.second;
            for (size_t start = 0; start < lines.size();) {
                const size_t end = lines.find('\n', start);
                const std::string line = lines.substr(start, end - start);
                const size_t equals = line.find('=');
                script.sections[section.first][line.substr(0, equals)] = line.substr(equals + 1);
                start = end == std::string::npos ? lines.size() : end + 1;
            }
        }
        run.script = &script;
        run.events.AddListener(&trace);
        Engine engine(run);
        engine.RunTopList(proc.c_str());
    }

    MemoryScript script;
    NoLookups lookups;
    Boxes boxes;
    Trace trace;
    RunContext run{boxes, lookups};
};

const char kSay[] = "MODE=MSGBOX\nFLAG=\nTYPE=INFORMATION\nISABORT=\nTEXT=";

TEST_F(EngineRun, NestedListsSeeTheOuterProceduresAndTheSinkHearsEachStep) {
    Run("SAME,S,AFTER",
        {{"SAME", "MODE=VERIFY\nARG1=a\nARG2=A"},
         {"S", "MODE=SWITCH\nPROC=SAME\n0=NO\n1=YES"},
         {"YES", "MODE=MSGBOX\nFLAG=SAME,1\nTYPE=INFORMATION\nISABORT=\nTEXT=inner"},
         {"NO", std::string(kSay) + "never"},
         {"AFTER", std::string(kSay) + "after"}});
    EXPECT_EQ(boxes.shown, (std::vector<std::string>{"inner", "after"}));
    EXPECT_EQ(trace.lines, (std::vector<std::string>{"1 start SAME", "1 went on SAME", "1 start S",
                                                     "2 start YES", "2 went on YES", "1 went on S",
                                                     "1 start AFTER", "1 went on AFTER"}));
}

TEST_F(EngineRun, ASwitchThatSelectsItselfEndsAtTheDepthLimit) {
    Run("LOOP,AFTER",
        {{"LOOP", "MODE=SWITCH\nPROC=\n0=LOOP\n1=LOOP"}, {"AFTER", std::string(kSay) + "after"}});
    EXPECT_EQ(boxes.shown, (std::vector<std::string>{"message 11:  "}));
}

// A key missing in the last section stops the run before the first procedure.
TEST_F(EngineRun, ListsAreBuiltWholeBeforeTheyRun) {
    Run("FIRST,BROKEN", {{"FIRST", std::string(kSay) + "first"}, {"BROKEN", "MODE=COPY\nFROM=a"}});
    EXPECT_EQ(boxes.shown, (std::vector<std::string>{"message 2: BROKEN TO"}));
    EXPECT_TRUE(trace.lines.empty());
}

// Items at the root of the current drive are refused before anything is done.
TEST_F(EngineRun, RootItemsAreRefusedBeforeTheProcedureActs) {
    Run("D", {{"D", "MODE=DELETE\nFILE=C:\\keep\\x, \\cache, \\\\server\\share\\x"}});
    EXPECT_EQ(boxes.shown, (std::vector<std::string>{"message 10: \\cache "}));
    EXPECT_EQ(trace.lines, (std::vector<std::string>{"1 start D", "1 stopped D"}));
}

// Unattended, no wait outlasts the run's longest: a WAITAPP without limit
// goes on when its time is up, a LAUNCH whose program still runs then fails
// with message 9. The sleepers live 20 s, far longer than the 200 ms allowed.
TEST_F(EngineRun, UnattendedWaitsEndAtTheLongestWait) {
    const std::string sleeper = TestProgramFolder() + "helper_sleeper.exe";
    helpers::RunningHelper running(sleeper);
    ASSERT_TRUE(running.Started());
    run.unattended = true;
    run.longest_wait_ms = 200;
    Run("W,L", {{"W", "MODE=WAITAPP\nAPP=" + sleeper + "\nTICK=-1"},
                {"L", "MODE=LAUNCH\nFILE=" + sleeper + "\nPARAM=20000\nISWAIT=1"}});
    EXPECT_EQ(trace.lines,
              (std::vector<std::string>{"1 start W", "waited: time limit", "1 went on W",
                                        "1 start L", "waited: time limit", "1 stopped L"}));
    EXPECT_EQ(boxes.shown, (std::vector<std::string>{"message 9: " + sleeper + " 20000"}));
    helpers::EndProcessesNamed("helper_sleeper.exe");
}

// [UPDATER] is read by the rows of the key table alone, which the checker
// knows too: a key without a row is never read, a missing optional one
// quietly, a missing required one with message 2.
TEST_F(EngineRun, UpdaterKeysAreReadByTheirRowsOnly) {
    script.sections["UPDATER"] = {{"NAME", "n"}, {"LOG", "C:\\x.log"}, {"TITLE", "t"}};
    run.script = &script;
    const ScriptKeys keys = run.Keys();
    TextBuffer value;
    EXPECT_TRUE(keys.ReadUpdater("LOG", value));
    EXPECT_STREQ(value.c_str(), "C:\\x.log");
    EXPECT_FALSE(keys.ReadUpdater("TITLE", value));
    EXPECT_FALSE(keys.ReadUpdater("ROLLBACK", value));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(keys.ReadUpdater("PROC", value));
    EXPECT_EQ(boxes.shown, (std::vector<std::string>{"message 2: UPDATER PROC"}));
}

}  // namespace
