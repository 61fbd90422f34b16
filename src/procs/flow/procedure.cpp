#include "procs/flow/procedure.h"

#include "script/reader.h"

bool ReadTextKeys(const TextBuffer& section, std::initializer_list<TextKey> keys) {
    for (const TextKey& key : keys) {
        if (!ReadStringKey(section.c_str(), key.key, *key.field))
            return false;
    }
    return true;
}

TextBuffer ListItem(const TextBuffer& list, int i) {
    TextBuffer item = list.Item(i, ",");
    item.Trim(" ", " ");
    return item;
}

int Procedure::MainItemCount(const TextBuffer& list, const char* key) const {
    const int count = list.ItemCount(",");
    if (count == 0)
        ShowMessage(kMsgBadItemCount, name.c_str(), key);
    return count;
}
