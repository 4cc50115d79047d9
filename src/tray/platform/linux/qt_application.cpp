#include "tray/platform/linux/qt_application.h"

#include <QApplication>
#include <QIcon>

// Resources compiled into a static library need an explicit start-up call.
static void init_tray_resources() { Q_INIT_RESOURCE(tovik_tray_icons); }

QtApplication::QtApplication(int argc, char** argv) : argc_(argc) {
  init_tray_resources();
  app_ = std::make_unique<QApplication>(argc_, argv);
  QApplication::setApplicationName("Tovik");
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(tovik_icon());
}

QtApplication::~QtApplication() = default;

QIcon tovik_icon() {
  QIcon icon;
  for (int size : {16, 32, 48, 256}) {
    icon.addFile(QString(":/tovik/icons/tovik-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}
