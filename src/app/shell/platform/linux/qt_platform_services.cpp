#include "app/shell/platform/linux/qt_platform_services.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>

#include "app/shell/platform/posix/posix_system_info.h"
#include "tray/platform/linux/desktop_notification.h"

QtPlatformServices::QtPlatformServices(std::shared_ptr<QtApplication> app, bool show_dialogs,
                                       std::ostream& err)
    : app_(std::move(app)), show_dialogs_(show_dialogs), err_(err) {}

std::string QtPlatformServices::computer_name() { return posix_computer_name(); }

void QtPlatformServices::show_error(const std::string& text) {
  err_ << "Tovik - Error: " << text << "\n";
  err_.flush();
  if (!show_dialogs_) return;
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Tovik - Error"),
                  QString::fromStdString(text), QMessageBox::Ok);
  box.exec();
}

void QtPlatformServices::show_notice(const std::string& text) {
  err_ << "Tovik: " << text << "\n";
  err_.flush();
  if (show_dialogs_) show_desktop_notification("Tovik", text);
}

void QtPlatformServices::copy_to_clipboard(const std::string& text) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

std::int64_t QtPlatformServices::now_seconds() { return posix_now_seconds(); }
