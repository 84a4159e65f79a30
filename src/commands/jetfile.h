#pragma once
// Reading the table DATA of a Jet 3 or Jet 4 file (the storage Olv was first built on), through
// mdbtools' library. Kept apart so that its C headers meet no Qt ones.

#include <functional>
#include <string>
#include <vector>

namespace olv::jetfile {

struct Cells {
    std::string o, p, v; // UTF-8
};

// True when the file begins as a Jet file does.
bool looksLikeJet(const std::string& path);

// The rows of DATA (its columns O, P and V, found in any letter case) in the order they are
// stored, every 1,000 rows calling keepGoing with the share of the file read, whose false answer
// stops the reading. Empty texts and NULLs both come as empty texts: the library cannot tell them
// apart. Fewer rows than the file's own count is taken as damage. On failure, error says why in
// words for the user and the answer is empty.
std::vector<Cells> readData(const std::string& path, const std::function<bool(double)>& keepGoing, std::string& error,
                            bool& stopped);

} // namespace olv::jetfile
