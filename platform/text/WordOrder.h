// The order in which a sorted list box shows its lines: the locale's word order of
// Windows-1252 text, without regard to letter case (CompareString with NORM_IGNORECASE).
//
// Two texts are compared in three steps; each later step counts only when the earlier ones
// find no difference:
//  1. Character by character, hyphens and apostrophes left out: symbols and punctuation come
//     before digits, digits before letters. A letter counts as its base letter, whatever its
//     case and accent ("É" as "e"); "ß" counts as "ss", "Æ" as "ae", "Œ" as "oe", "Þ" as "th".
//     A text that is the start of the other comes first.
//  2. Accents: at the first character where they differ, the plain letter comes first
//     ("Eclair" before "Éclair").
//  3. Hyphens and apostrophes: the text with fewer comes first ("coop" before "co-op");
//     with as many, the texts' lower-case bytes decide.
// The result is 0 exactly when the texts are equal without regard to letter case.
//
// Where Windows differs: it orders symbols and punctuation among themselves by a table of its
// own (here: by byte value); it also leaves out the soft hyphen and control characters (here:
// symbols); it sorts "µ" with the Greek letters (here: a symbol); and its order among the
// accents of one letter, and of the special letters (ƒ, ª, º, ð, ø, þ, superscript digits)
// against their base letters, may not be the one of the table used here.
#pragma once

#include <string_view>

namespace qv {

// <0 when a goes before b, 0 when they are equal ignoring case, >0 when a goes after b.
int CompareWordOrder(std::string_view a, std::string_view b);

}  // namespace qv
