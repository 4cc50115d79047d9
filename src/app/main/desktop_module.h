#pragma once

// The desktop front end (the Qt tray) is a module beside the program, loaded
// only on a desktop, so the terminal mode never maps Qt's libraries.
constexpr char kDesktopModuleFile[] = "tovik-desktop.so";
// Where an installed program finds it, relative to its own folder (bin):
// the install rules put it in lib/tovik.
constexpr char kDesktopModuleInstalledFolder[] = "../lib/tovik/";
// Its one exported function, a DesktopFrontEndMaker.
constexpr char kDesktopModuleEntry[] = "tovik_make_desktop_front_end";
