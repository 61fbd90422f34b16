// The rules of each kind beyond what the rows of its keys say, one small
// function a kind, found by the kind.
#include <cstring>

#include "check/checks.h"
#include "text/code_page.h"

namespace {

const size_t kShellNameLimit = 258;  // the shell's name and its two zeros in 260 bytes
const size_t kLinkPathLimit = 259;   // characters of a shortcut's path, ".LNK" included

size_t Characters(const TextBuffer& text) {
    size_t count = 0;
    for (const char* p = text.c_str(); *p != '\0'; ++count)
        p += (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') ? 2 : 1;
    return count;
}

bool EndsWithNoCase(const TextBuffer& text, const char* tail) {
    const size_t length = strlen(tail);
    return text.Length() >= length && EqualsNoCase(text.c_str() + text.Length() - length, tail);
}

void MsgBoxRules(Check& check, const ProcedureInfo& box) {
    const KeyRead& flag = box.Key("FLAG");
    if (!flag.present)
        return;
    const int items = flag.value.ItemCount(",");
    if (items == 1) {
        check.findings.Warning(flag.line, "FLAG has one item: the box is always shown and " +
                                              Quoted(flag.value) + " is not looked at; write " +
                                              Quoted(flag.value + ",1") +
                                              " to show it only when that is true");
        return;
    }
    if (items < 2)
        return;
    CheckConditionText(check, flag.value.Item(0, ","), "FLAG", flag.line);
    TextBuffer wanted = flag.value.Item(1, ",");
    wanted.Trim(" ", " ");
    CheckNumber(check, wanted, false, "the second FLAG item", flag.line);
    if (wanted.ToInt() != 0 && wanted.ToInt() != 1)
        check.findings.Warning(flag.line, "the second FLAG item is " + Number(wanted.ToInt()) +
                                              ", not 0 or 1: the box is never shown");
    if (items > 2)
        check.findings.Warning(flag.line, "FLAG items after the second are ignored");
}

void SwitchRules(Check& check, const ProcedureInfo& choice) {
    const KeyRead& condition = choice.Key("PROC");
    if (condition.present)
        CheckConditionText(check, condition.value, "PROC", condition.line);
    for (const char* key : {"0", "1"}) {
        const KeyRead& list = choice.Key(key);
        if (list.present)
            CheckListNames(check, list.value, ("list " + TextBuffer(key)).c_str(), list.line);
    }
}

void ShellRules(Check& check, const ProcedureInfo& shell) {
    const KeySpec& func = *FindKey(*shell.kind, "FUNC");
    const KeyRead& from = shell.Key("FROM");
    const KeyRead& to = shell.Key("TO");
    List<TextBuffer> functions, sources, targets, written;
    ListItems(shell.Key("FUNC").value, functions);
    ListItems(from.value, sources);
    ListItems(to.value, targets);
    ListItems(to.raw, written);
    for (int i = 0; i < sources.Count(); ++i) {
        const int function = i < functions.Count() ? WordIndex(func, functions[i].c_str()) : -1;
        const TextBuffer target = i < targets.Count() ? targets[i] : TextBuffer();
        const TextBuffer item = "SHELL item " + Number(i + 1);
        if (function == kShellDelete && !target.IsEmpty())
            check.findings.Warning(
                to.line, item + " is a DELETE with the TO item " +
                             Quoted(written.Count() == targets.Count() ? written[i] : target) +
                             ": an existing TO is deleted too; leave it empty");
        if (function >= 0 && function != kShellDelete && target.IsEmpty())
            check.findings.Error(to.line, item + " has no TO item: " + func.words[function] +
                                              " needs one, and the item fails (message 17)");
        if (sources[i].Length() > kShellNameLimit)
            check.findings.Error(from.line,
                                 "FROM item " + Number(i + 1) + " is " +
                                     Number(static_cast<long long>(sources[i].Length())) +
                                     " bytes long after expansion: the shell takes at "
                                     "most " +
                                     Number(kShellNameLimit) + " (message 17)");
        if (!target.IsEmpty() && target.Length() + 4 > kShellNameLimit)
            check.findings.Error(to.line, "TO item " + Number(i + 1) + " is " +
                                              Number(static_cast<long long>(target.Length())) +
                                              " bytes long after expansion: with \".tmp\" the "
                                              "shell takes at most " +
                                              Number(kShellNameLimit) + " (message 17)");
    }
}

void LinkRules(Check& check, const ProcedureInfo& link) {
    const KeyRead& destinations = link.Key("DST");
    List<TextBuffer> links;
    ListItems(destinations.value, links);
    for (int i = 0; i < links.Count(); ++i) {
        const TextBuffer item = "DST item " + Number(i + 1);
        if (EndsWithNoCase(links[i], ".lnk"))
            check.findings.Warning(destinations.line,
                                   item +
                                       " ends with .lnk, and LINK appends \".LNK\": write it "
                                       "without the extension");
        const size_t characters = Characters(links[i]) + 4;
        if (characters > kLinkPathLimit)
            check.findings.Error(destinations.line,
                                 item + " is " + Number(static_cast<long long>(characters)) +
                                     " characters long with \".LNK\" after expansion: LINK "
                                     "saves at most " +
                                     Number(kLinkPathLimit) + " (message 15)");
    }
}

void CrcRules(Check& check, const ProcedureInfo& crc) {
    const KeyRead& type = crc.Key("TYPE");
    if (type.present && !SameName(type.value, "AND"))
        check.findings.Warning(type.line, "CRC TYPE " + Quoted(type.value) +
                                              " is not AND: one matching file is enough");
}

const struct {
    KindId kind;
    KindRules rules;
} kRules[] = {
    {KindId::kMsgBox, MsgBoxRules}, {KindId::kSwitch, SwitchRules}, {KindId::kShell, ShellRules},
    {KindId::kLink, LinkRules},     {KindId::kCrc, CrcRules},
};

}  // namespace

KindRules RulesOf(KindId kind) {
    for (const auto& entry : kRules) {
        if (entry.kind == kind)
            return entry.rules;
    }
    return nullptr;
}
