#pragma once
// The fixed table of the main menu: every entry with its component name, caption (UTF-8 source
// text), parent entry, visibility at creation and action. The windows build the menu from it;
// nothing changes it at run time.
#include <span>
#include <string_view>

namespace ortavia::docs {

enum class Action {
    Submenu, // an entry that opens a menu of its own
    Command, // a command of the main window, bound by its component name
    View,    // shows target (a relative path beginning with '\') in the document viewer
    Launch,  // hands target (a whole command line) to the program launcher
    Test,    // starts the test named by the component name
};

struct MenuEntry {
    const char* name;
    const char* caption;
    const char* parent; // nullptr: an entry of the menu bar itself
    bool visible;
    Action action;
    const char* target; // View and Launch only
};

std::span<const MenuEntry> menuEntries();
const MenuEntry* findEntry(std::string_view name);

} // namespace ortavia::docs
