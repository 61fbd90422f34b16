// "Did you mean" hints: the known name nearest to a misspelt one.
#pragma once

#include <string>
#include <vector>

// Edits (insert, delete, replace, swap two neighbours) between a and b, with
// ASCII letters compared without regard to case.
int EditDistance(const std::string& a, const std::string& b);

// The first of names nearest to word, when it is near enough to be a likely
// misspelling (one edit for short names, more for longer ones); "" for none.
std::string Nearest(const std::string& word, const std::vector<std::string>& names);
