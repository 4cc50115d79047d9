// Linked into the executables that start a QApplication; inert without the
// sanitizers.
// Qt, its platform plugins, D-Bus and fontconfig keep process-lifetime
// allocations that LeakSanitizer reports at exit; none of them is ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libQt5\nleak:/qt5/plugins/\nleak:libdbus-1\n"
         "leak:libfontconfig\nleak:libxcb\nleak:libX11\n";
}

// Qt and the libraries under it (GLib's event loop, D-Bus, xcb) are not built
// with ThreadSanitizer: their threads synchronise with atomics that TSan cannot see. Our code's own
// threads are checked by the tests that use no Qt.
extern "C" const char* __tsan_default_suppressions() {
  // called_from_lib names one library each; the other kinds match substrings.
  return "called_from_lib:libQt5Core.so.5\ncalled_from_lib:libQt5Gui.so.5\n"
         "called_from_lib:libQt5Widgets.so.5\ncalled_from_lib:libQt5DBus.so.5\n"
         "called_from_lib:libQt5XcbQpa.so.5\ncalled_from_lib:libX11.so.6\n"
         "called_from_lib:libX11-xcb.so.1\ncalled_from_lib:libXrender.so.1\n"
         "called_from_lib:libxcb.so.1\ncalled_from_lib:libglib-2.0.so.0\n"
         "called_from_lib:libdbus-1.so.3\n"
         "race:libQt5\nrace:libX\nrace:libxcb\nrace:libglib-2.0\nrace:libdbus-1\n"
         "race:QWaitCondition\nrace:QThread\n"
         "mutex:libQt5\nmutex:libX\nmutex:libxcb\n";
}
