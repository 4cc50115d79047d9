#pragma once

// The desktop front end (the Qt tray) is a module beside the program, loaded
// only on a desktop, so the terminal mode never maps Qt's libraries.
constexpr char kDesktopModuleFile[] = "tovik-desktop.so";
// Its one exported function, a DesktopFrontEndMaker.
constexpr char kDesktopModuleEntry[] = "tovik_make_desktop_front_end";
