// The console's own texts (its menus, prompts and panes) in the user's language, chosen as
// the plug-ins choose theirs: German for a "de" locale, else English.
#pragma once

#include <string>

namespace qv::console {

enum class Text {
  kFileMenu,
  kExit,
  kExitPrompt,
  kProperties,
  kPropertiesPrompt,
  kViewMenu,
  kNavigationPane,
  kNavigationPanePrompt,
  kTaskPane,
  kTaskPanePrompt,
  kHelpMenu,
  kHelpTopics,
  kHelpTopicsPrompt,
  kAbout,
  kAboutPrompt,
  kReady,
  kTitle,
};

// True when the user's language is German.
bool German();
// The text in the user's language, UTF-8.
const char* Say(Text text);

}  // namespace qv::console
