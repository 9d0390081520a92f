// Finding the smiley codes of the smiley table in a message and replacing them by picture
// references, with the table's codes indexed by their first characters. Gives exactly what the
// plain step gives (each entry in table order over the text the earlier entries left) and runs
// that step itself where a code could match inside a reference that an earlier entry put in.
//
// Threads: each thread keeps its own index of the table, rebuilt when the table's generation
// moves; the table itself is read without a lock, as the conversion always has.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "render/text_passes.h"

namespace render {

struct SmileyIndex;

// What one search found and what replacing it takes; kept by a thread between calls.
struct SmileyMatches {
  std::vector<uint64_t> found;  // entry << 32 | position of each code occurrence
  std::vector<uint8_t> taken;   // per position of the text: replaced by an earlier entry
  struct Region {
    uint32_t position, length, entry;
  };
  std::vector<Region> regions;
};

// This thread's index of the current smiley table.
const SmileyIndex& Smileys();
// Every place in text[0, n) where a code occurs, into `found`.
void FindCodes(const SmileyIndex& index, const WCHAR* text, size_t n, std::vector<uint64_t>& found);
// FindCodes over a terminated text of at most `limit` characters; returns its length. Finds
// nothing in a text of fewer than 2 characters.
size_t MeasureAndFindCodes(const SmileyIndex& index, const WCHAR* text, size_t limit,
                           std::vector<uint64_t>& found);
// Replaces the smileys of text[0, n) (n <= kWorkChars) into `out` (room for kWorkChars), cut to
// the work buffer; matches.found holds what FindCodes gave. Returns the new length.
size_t ApplySmileyCodes(const SmileyIndex& index, const WCHAR* text, size_t n, SmileyMatches& matches,
                        WCHAR* out);

}  // namespace render
