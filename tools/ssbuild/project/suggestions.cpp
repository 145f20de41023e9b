#include "suggestions.h"

#include <algorithm>

#include "path_rules.h"

namespace ssbuild {

size_t EditDistance(const std::string& a, const std::string& b) {
  const std::string x = ssi::AsciiLower(a);
  const std::string y = ssi::AsciiLower(b);
  // Two letters swapped count as one edit: the commonest typo.
  std::vector<std::vector<size_t>> d(x.size() + 1, std::vector<size_t>(y.size() + 1));
  for (size_t i = 0; i <= x.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= y.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= x.size(); ++i) {
    for (size_t j = 1; j <= y.size(); ++j) {
      d[i][j] = std::min(
          {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (x[i - 1] == y[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[x.size()][y.size()];
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
