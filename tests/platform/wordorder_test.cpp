// The order of sorted list boxes. Texts are Windows-1252 bytes: "\xC9" is É, "\xE9" é,
// "\xC5" Å, "\xF6" ö, "\xDF" ß, "\x8A" Š, "\x9A" š, "\x8C" Œ; a byte escape and the letters
// after it are two literals.
#include <gtest/gtest.h>

#include "platform/text/WordOrder.h"

namespace {

// a, b, and the sign of their comparison: a before b, or equal without regard to letter case.
struct Pair {
  const char* a;
  const char* b;
  int order;
};

// clang-format off
const Pair kPairs[] = {
    {"apple", "Banana", -1},
    {"Banana", "cherry", -1},
    {"~tilde", "Zebra", -1},              // a symbol goes before letters, whatever its byte
    {"\xC9" "clair", "Zebra", -1},
    {"Echo", "\xC9" "clair", -1},         // an accented letter sorts with its base letter
    {"\xC9" "clair", "Edge", -1},
    {"\xC5" "ngstr\xF6" "m", "Zulu", -1},
    {"Eclair", "\xC9" "clair", -1},       // the plain letter first when all else is equal
    {"coop", "co-op", -1},                // hyphens and apostrophes only break a tie
    {"co-op", "cop", -1},
    {"its", "it's", -1},
    {"co-op", "coo-p", -1},               // as many: by where they stand
    {"#1", "1", -1},                      // symbols, then digits, then letters
    {" z", "a", -1},
    {"9", "a", -1},
    {"10", "9", -1},                      // digit by digit, not by number
    {"Strasse", "Stra\xDF" "e", -1},      // ß counts as ss
    {"Stra\xDF" "e", "Strasser", -1},
    {"Oeuvre", "\x8C" "uvre", -1},        // Œ counts as oe
    {"\x8C" "uvre", "Ofen", -1},
    {"apple", "APPLE", 0},
    {"\xC9" "clair", "\xE9" "CLAIR", 0},
    {"co-op", "CO-OP", 0},
    {"\x8A" "koda", "\x9A" "KODA", 0},
    {"", "", 0},
};
// clang-format on

int Sign(int value) {
  return (value > 0) - (value < 0);
}

}  // namespace

TEST(WordOrder, OrdersAsASortedListBoxDoes) {
  for (const Pair& p : kPairs) {
    EXPECT_EQ(Sign(qv::CompareWordOrder(p.a, p.b)), p.order) << p.a << " | " << p.b;
    EXPECT_EQ(Sign(qv::CompareWordOrder(p.b, p.a)), -p.order) << p.b << " | " << p.a;
  }
}
