#include "console/ConsoleText.h"

#include "platform/langrt/LangRt.h"

namespace qv::console {
namespace {

struct Pair {
  const char* english;
  const char* german;
};

// In the order of Text.
constexpr Pair kTexts[] = {
    {"&File", "&Datei"},
    {"E&xit", "&Beenden"},
    {"Stops the console", "Beendet die Konsole"},
    {"P&roperties...", "&Eigenschaften..."},
    {"Shows the properties of the plug-in", "Zeigt die Eigenschaften des Plug-Ins"},
    {"&View", "&Ansicht"},
    {"&Navigation Pane", "&Navigationsbereich"},
    {"Shows or hides the navigation pane", "Blendet den Navigationsbereich ein oder aus"},
    {"&Task Pane", "&Aufgabenbereich"},
    {"Shows or hides the task pane", "Blendet den Aufgabenbereich ein oder aus"},
    {"&Help", "&Hilfe"},
    {"&Help Topics", "&Hilfethemen"},
    {"Lists the help topics of the plug-in", "Listet die Hilfethemen des Plug-Ins auf"},
    {"&About the Plug-In...", "&Info zum Plug-In..."},
    {"Shows the plug-in's version", "Zeigt die Version des Plug-Ins"},
    {"Ready", "Bereit"},
    {"Console", "Konsole"},
};

}  // namespace

bool German() {
  return UserLanguage() == Language::kGerman;
}

const char* Say(Text text) {
  const Pair& pair = kTexts[static_cast<int>(text)];
  return German() ? pair.german : pair.english;
}

}  // namespace qv::console
