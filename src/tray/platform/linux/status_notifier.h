#pragma once

// True when a StatusNotifier host (KDE, the GNOME extension, xfce4-panel and
// others) is registered on the session bus. Qt then hands the icon and menu
// to that host over D-Bus, and the host draws the menu itself without widget
// items: this is the test Qt applies when it picks that route.
bool status_notifier_host_registered();
