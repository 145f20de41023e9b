#pragma once
// "Did you mean ...?" for a misspelt section, key, role or value.
#include <string>
#include <vector>

namespace ssbuild {

// "; did you mean WORD?" when one of `known` is a few edits away from `word`
// (letter case aside), else "; known: a, b, c".
std::string Suggest(const std::string& word, const std::vector<std::string>& known);

// The number of insertions, deletions, substitutions and swaps of two
// neighbouring letters between the two, letter case aside.
size_t EditDistance(const std::string& a, const std::string& b);

}  // namespace ssbuild
