#include "suggestions.h"

#include <algorithm>

#include "path_rules.h"

namespace ssbuild {

size_t EditDistance(const std::string& a, const std::string& b) {
  const std::string x = ssi::AsciiLower(a);
  const std::string y = ssi::AsciiLower(b);
  std::vector<size_t> row(y.size() + 1);
  for (size_t j = 0; j <= y.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= x.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= y.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[y.size()];
}

std::string Suggest(const std::string& word, const std::vector<std::string>& known) {
  // A third of the word may be wrong, at least one letter and at most three:
  // enough for typos and British or American spelling, not for other words.
  const size_t allowed = std::max<size_t>(1, std::min<size_t>(3, word.size() / 3));
  const std::string* best = nullptr;
  size_t bestDistance = allowed + 1;
  for (const std::string& candidate : known) {
    const size_t distance = EditDistance(word, candidate);
    if (distance < bestDistance) best = &candidate, bestDistance = distance;
  }
  if (best != nullptr) return "; did you mean " + *best + "?";
  std::string list;
  for (const std::string& candidate : known) list += (list.empty() ? "" : ", ") + candidate;
  return "; known: " + list;
}

}  // namespace ssbuild
