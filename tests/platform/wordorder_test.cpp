// The order of sorted list boxes. Texts are Windows-1252 bytes: "\xC9" is É, "\xE9" é,
// "\xC5" Å, "\xF6" ö, "\xDF" ß, "\x8A" Š, "\x9A" š, "\x8C" Œ; a byte escape and the letters
// after it are two literals.
#include <gtest/gtest.h>

#include "platform/text/WordOrder.h"

namespace {

struct Pair {
  const char* a;
  const char* b;
};

// clang-format off

// a goes before b.
const Pair kOrdered[] = {
    {"apple", "Banana"},
    {"Banana", "cherry"},
    {"~tilde", "Zebra"},              // a symbol goes before letters, whatever its byte
    {"\xC9" "clair", "Zebra"},
    {"Echo", "\xC9" "clair"},         // an accented letter sorts with its base letter
    {"\xC9" "clair", "Edge"},
    {"\xC5" "ngstr\xF6" "m", "Zulu"},
    {"Eclair", "\xC9" "clair"},       // the plain letter first when all else is equal
    {"coop", "co-op"},                // hyphens and apostrophes only break a tie
    {"co-op", "cop"},
    {"its", "it's"},
    {"co-op", "coo-p"},               // as many: by where they stand
    {"#1", "1"},                      // symbols, then digits, then letters
    {" z", "a"},
    {"9", "a"},
    {"10", "9"},                      // digit by digit, not by number
    {"Strasse", "Stra\xDF" "e"},      // ß counts as ss
    {"Stra\xDF" "e", "Strasser"},
    {"Oeuvre", "\x8C" "uvre"},        // Œ counts as oe
    {"\x8C" "uvre", "Ofen"},
};

// Equal without regard to letter case.
const Pair kEqual[] = {
    {"apple", "APPLE"},
    {"\xC9" "clair", "\xE9" "CLAIR"},
    {"co-op", "CO-OP"},
    {"\x8A" "koda", "\x9A" "KODA"},
    {"", ""},
};

// clang-format on

}  // namespace

TEST(WordOrder, OrdersAsASortedListBoxDoes) {
  for (const Pair& p : kOrdered) {
    EXPECT_LT(qv::CompareWordOrder(p.a, p.b), 0) << p.a << " | " << p.b;
    EXPECT_GT(qv::CompareWordOrder(p.b, p.a), 0) << p.b << " | " << p.a;
  }
  for (const Pair& p : kEqual)
    EXPECT_EQ(qv::CompareWordOrder(p.a, p.b), 0) << p.a << " | " << p.b;
}
