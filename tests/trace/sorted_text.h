#pragma once
// Comparing whole runs whose hubs' workers take turns: what matters is which
// lines (and console pieces) a run printed, not their order.
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace hbx::testing {

inline std::vector<std::string> sortedSplit(const std::string& text, const std::string& separators) {
  std::vector<std::string> pieces;
  std::string piece;
  for (const char c : text) {
    if (separators.find(c) == std::string::npos) {
      piece += c;
      continue;
    }
    pieces.push_back(piece);
    piece.clear();
  }
  pieces.push_back(piece);
  std::sort(pieces.begin(), pieces.end());
  return pieces;
}

// The lines of a log, sorted.
inline std::vector<std::string> sortedLines(const std::string& text) { return sortedSplit(text, "\n"); }

// The console's pieces, sorted: a hub's line is printed in parts ("Target
// Hub[02] >FW Update.....\t" first, "PASS" when it is done), and another
// hub's line may come in between.
inline std::vector<std::string> sortedConsolePieces(const std::string& text) { return sortedSplit(text, "\n\t"); }

}  // namespace hbx::testing
