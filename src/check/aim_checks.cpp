// Items that would aim a change at a place the script never named, found by
// the rules by which the updater refuses them. Each procedure is expanded
// twice: once with every function whose result the checker cannot know
// giving a path, once with each giving nothing. An item refused both ways is
// always refused: an error. An item refused one way only is a warning.
#include <cstring>

#include "check/checks.h"
#include "script/misaimed_items.h"

namespace {

// Symbols that are empty through others are followed this far.
const int kMostSymbolSteps = 16;

// The message the updater shows when it refuses an item of the kind.
int RefusalMessage(KindId kind) {
    switch (kind) {
        case KindId::kCopy:
            return 8;
        case KindId::kDelete:
            return 10;
        case KindId::kAttr:
            return 12;
        case KindId::kMakeDir:
            return 13;
        case KindId::kMove:
            return 14;
        case KindId::kLink:
            return 15;
        case KindId::kRsrc:
            return 16;
        default:
            return 17;  // SHELL
    }
}

const char* PlaceOf(Misaim misaim) {
    switch (misaim) {
        case Misaim::kDriveRoot:
            return "the root of the current drive";
        case Misaim::kCurrentFolder:
            return "the current folder";
        default:
            return "a path in the current folder";
    }
}

// The values of a procedure's keys that write and of its main list, as one
// symbol table expands them, with their empty expansions.
struct Expansion {
    TextBuffer values[kMostKeys];
    EmptyExpansions empties[kMostKeys];
    List<MisaimedItem> misaimed;
};

bool Expand(const ProcedureInfo& info, const SymbolTable& table, Expansion& expansion) {
    for (int k = 0; k < KeyCount(*info.kind); ++k) {
        const KeySpec& key = KeyAt(*info.kind, k);
        const KeyRead& read = info.keys[k];
        if (!key.writes && !key.main)
            continue;
        TextBuffer& value = expansion.values[k];
        // Without a symbol or function a value reads the same in every table.
        if (strpbrk(read.raw.c_str(), "<{") == nullptr) {
            value = read.value;
            continue;
        }
        value = read.raw;
        if (!table.ExpandValue(value, &expansion.empties[k]))
            return false;
    }
    FindMisaimedItems(*info.kind, expansion.values, expansion.empties, expansion.misaimed);
    return true;
}

// The symbols and functions of a text as written, in order. A symbol in a
// function's argument belongs to the function, whose result decides.
void GroupsOf(const TextBuffer& text, List<TextBuffer>& groups) {
    List<TextRange> symbols, functions;
    FindEachGroup(text, "<", ">", symbols);
    FindEachGroup(text, "{", "}", functions);
    int s = 0, f = 0;
    while (s < symbols.Count() || f < functions.Count()) {
        const bool symbol = f == functions.Count() ||
                            (s < symbols.Count() && symbols[s].first < functions[f].first);
        const TextRange range = symbol ? symbols[s++] : functions[f++];
        if (symbol && f > 0 && functions[f - 1].last > range.last)
            continue;
        groups.Add(text.Slice(range.first, range.last));
    }
}

// Whether a group (as written) is what makes an item misaimed: certainly
// empty or beginning with something certainly empty; or, when uncertain,
// expanding otherwise when the functions that the checker cannot know give
// nothing.
bool Blamed(const Script& script, const TextBuffer& group, bool uncertain) {
    TextBuffer given = group;
    EmptyExpansions empties;
    if (!script.if_given.ExpandValue(given, &empties))
        return false;
    if (!uncertain)
        return given.IsEmpty() || empties.AnyIn(0, 0);
    TextBuffer empty = group;
    return script.if_empty.ExpandValue(empty) && strcmp(empty.c_str(), given.c_str()) != 0;
}

// The first group of text that is to blame; "" for none, or when the budget
// for such searches is spent.
TextBuffer FirstBlamed(Check& check, const TextBuffer& text, bool uncertain) {
    if (text.Length() > check.blame_budget)
        return "";
    check.blame_budget -= text.Length();
    List<TextBuffer> groups;
    GroupsOf(text, groups);
    for (const TextBuffer& group : groups) {
        if (Blamed(check.script, group, uncertain))
            return group;
    }
    return "";
}

// What is to blame in an item as written: the symbol or function there, and
// where its emptiness starts, followed through the definitions of symbols.
struct Blame {
    TextBuffer head;  // "" when nothing is
    TextBuffer root;
    bool defined_empty = false;  // root is a symbol defined as nothing
};

Blame BlameIn(Check& check, const TextBuffer& written, bool uncertain) {
    const Script& script = check.script;
    Blame blame;
    blame.head = FirstBlamed(check, written, uncertain);
    blame.root = blame.head;
    for (int step = 0; step < kMostSymbolSteps && !blame.head.IsEmpty(); ++step) {
        const int found = script.defined.Find(blame.root.c_str());
        const TextBuffer inner =
            found >= 0 ? FirstBlamed(check, script.definitions[found].raw, uncertain) : "";
        if (inner.IsEmpty()) {
            blame.defined_empty = found >= 0 && script.definitions[found].raw.IsEmpty();
            break;
        }
        blame.root = inner;
    }
    return blame;
}

// "{?Param\1} in <App>", or "what it holds" when nothing is to blame.
TextBuffer Named(const Blame& blame) {
    if (blame.head.IsEmpty())
        return "what it holds";
    return blame.root + (strcmp(blame.root.c_str(), blame.head.c_str()) != 0 ? " in " + blame.head
                                                                             : TextBuffer());
}

// When a function that the checker cannot know gives nothing.
const char* WhenEmpty(const TextBuffer& function) {
    TextBuffer call = function;
    call.Trim("{", "}");
    const TextBuffer name = call.Item(0, "\\");
    if (SameName(name, "?Param"))
        return call.ItemCount("\\") == 3 ? ", as it is without those words on the command line"
                                         : ", as it is without that word on the command line";
    if (SameName(name, "?App") || SameName(name, "?AppPath"))
        return ", as it is with an empty App Paths entry";
    return "";
}

// The items of one key as written and as the program holds them, found
// when a finding first needs them.
struct KeyItems {
    bool found = false;
    List<TextBuffer> written, held;
};

// A misaimed item as its finding shows it.
struct ShownItem {
    TextBuffer what;     // FILE item 2 "<E>*"
    TextBuffer shown;    // as written, where expansion did not reshape the list
    TextBuffer held;     // as the program holds it
    TextBuffer written;  // what to search for the symbol or function to blame
    bool as_written = false;

    // " ("*")": text in brackets, when it is not what is shown.
    TextBuffer Aside(const TextBuffer& text) const {
        return strcmp(text.c_str(), shown.c_str()) != 0 ? " (" + Quoted(text) + ")" : TextBuffer();
    }
};

// An item's text in value, trimmed of spaces.
TextBuffer ItemText(const TextBuffer& value, const MisaimedItem& item) {
    TextBuffer text = value.Slice(item.first, item.last);
    text.Trim(" ", " ");
    return text;
}

// value: the key's value where the item was found misaimed.
ShownItem Show(const ProcedureInfo& info, KeyItems& texts, const MisaimedItem& at,
               const TextBuffer& value) {
    const KeySpec& key = KeyAt(*info.kind, at.key);
    const KeyRead& read = info.keys[at.key];
    const bool list = key.form == KeyForm::kList;
    if (!texts.found) {
        texts.found = true;
        if (list) {
            ListItems(read.raw, texts.written);
            ListItems(read.value, texts.held);
        } else {
            texts.written.Add(read.raw);
            texts.held.Add(read.value);
        }
    }
    const int i = at.item;
    ShownItem item;
    item.as_written = texts.written.Count() == texts.held.Count() && i < texts.written.Count();
    item.held = i < texts.held.Count() ? texts.held[i] : ItemText(value, at);
    item.shown = item.as_written ? texts.written[i] : item.held;
    item.written = item.as_written ? item.shown : read.raw;
    item.what =
        (list ? key.name + (" item " + Number(i + 1)) : key.name) + " " + Quoted(item.shown);
    return item;
}

// An item that the updater refuses whatever the functions give.
TextBuffer Certain(Check& check, const ShownItem& item, const MisaimedItem& misaimed) {
    // Written so, it names such a place whatever its symbols hold.
    const bool literal =
        item.as_written &&
        MisaimOf(item.written, 0, static_cast<ptrdiff_t>(item.written.Length()) - 1,
                 EmptyExpansions()) != Misaim::kNone;
    const Blame blame = literal ? Blame() : BlameIn(check, item.written, false);
    const TextBuffer since =
        blame.head.IsEmpty()
            ? TextBuffer()
            : ", since " + Named(blame) + (blame.defined_empty ? " is defined empty" : " is empty");
    return item.what + " names " + PlaceOf(misaimed.misaim) + item.Aside(item.held) + since +
           ": the updater refuses it";
}

// An item that the updater refuses when the functions give nothing
// (if_empty, with the value it was found in) or when they give something.
TextBuffer Uncertain(Check& check, const ShownItem& item, const MisaimedItem* if_empty,
                     const TextBuffer& value, const MisaimedItem* if_given) {
    const Blame blame = BlameIn(check, item.written, true);
    if (if_empty == nullptr)
        return item.what + " names " + PlaceOf(if_given->misaim) + " unless " + Named(blame) +
               " is empty: the updater refuses it then";
    return item.what + " names " + PlaceOf(if_empty->misaim) +
           item.Aside(ItemText(value, *if_empty)) + " when " + Named(blame) + " is empty" +
           WhenEmpty(blame.root) + ": the updater refuses it then";
}

// Which of two misaimed items comes first, by key and then by item.
bool Before(const MisaimedItem& a, const MisaimedItem& b) {
    return a.key != b.key ? a.key < b.key : a.item < b.item;
}

}  // namespace

void CheckAims(Check& check, const ProcedureInfo& info) {
    const Script& script = check.script;
    const KindSpec& kind = *info.kind;
    bool writes = false;
    // Without a function anywhere, the two tables give the same.
    bool alike = script.tables_alike;
    for (int k = 0; k < KeyCount(kind); ++k) {
        const KeySpec& key = KeyAt(kind, k);
        const KeyRead& read = info.keys[k];
        if (!key.writes && !key.main)
            continue;
        // The updater never runs a procedure without these.
        if (!read.present || !read.expanded)
            return;
        writes = writes || key.writes;
        alike = alike && strchr(read.raw.c_str(), '{') == nullptr;
    }
    Expansion given, empty_expansion;
    if (!writes || !script.tables_built || !Expand(info, script.if_given, given) ||
        (!alike && !Expand(info, script.if_empty, empty_expansion)))
        return;
    const Expansion& empty = alike ? given : empty_expansion;
    const TextBuffer message = " (message " + Number(RefusalMessage(kind.id)) + ")";
    KeyItems items[kMostKeys];
    // Both lists are in the order of keys and items: an item in both is
    // refused either way.
    const List<MisaimedItem>& a = given.misaimed;
    const List<MisaimedItem>& b = empty.misaimed;
    for (int i = 0, j = 0; i < a.Count() || j < b.Count();) {
        const MisaimedItem* if_given =
            j == b.Count() || (i < a.Count() && !Before(b[j], a[i])) ? &a[i] : nullptr;
        const MisaimedItem* if_empty =
            i == a.Count() || (j < b.Count() && !Before(a[i], b[j])) ? &b[j] : nullptr;
        const MisaimedItem& at = if_empty != nullptr ? *if_empty : *if_given;
        const TextBuffer& value = (if_empty != nullptr ? empty : given).values[at.key];
        const ShownItem item = Show(info, items[at.key], at, value);
        const int line = info.keys[at.key].line;
        if (if_given != nullptr && if_empty != nullptr)
            check.findings.Error(line, Certain(check, item, *if_given) + message);
        else
            check.findings.Warning(line,
                                   Uncertain(check, item, if_empty, value, if_given) + message);
        i += if_given != nullptr ? 1 : 0;
        j += if_empty != nullptr ? 1 : 0;
    }
}
