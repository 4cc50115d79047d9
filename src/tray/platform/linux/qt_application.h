#pragma once

#include <memory>

class QApplication;
class QIcon;

// The process's one QApplication. The tray host and the error dialog share
// it, so it lives until the last of them is gone. UI thread only.
class QtApplication {
 public:
  // Connects to the display; `argv` must outlive the object. Closing the
  // last window (the pairing window, an error box) does not quit: only the
  // Quit command does.
  QtApplication(int argc, char** argv);
  ~QtApplication();
  QtApplication(const QtApplication&) = delete;
  QtApplication& operator=(const QtApplication&) = delete;

  QApplication& app() { return *app_; }

 private:
  int argc_;  // QApplication keeps a reference to it
  std::unique_ptr<QApplication> app_;
};

// The application icon at 16, 32, 48 and 256 pixels (from the resources).
QIcon tovik_icon();
