// "Did you mean" hints: the known name nearest to a misspelt one.
#pragma once

#include "text/list.h"

// Edits (insert, delete, replace, swap two neighbours) between a and b, with
// ASCII letters compared without regard to case.
int EditDistance(const char* a, const char* b);

// The first of names nearest to word, when it is near enough to be a likely
// misspelling (one edit for short names, more for longer ones); null for none.
const char* Nearest(const char* word, const List<const char*>& names);
