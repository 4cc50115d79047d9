#pragma once

#include <string>

// Shows a short-lived desktop notification (org.freedesktop.Notifications on
// the session bus) with the application icon's name "tovik". False when no
// notification service answered. UTF-8 texts.
bool show_desktop_notification(const std::string& title, const std::string& text);
