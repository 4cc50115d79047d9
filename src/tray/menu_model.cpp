#include "tray/menu_model.h"

#include "tray/utf8_text.h"

namespace {

namespace cmd = tray_command;

MenuItem info(std::string text) { return {MenuItemKind::Info, std::move(text), 0, false, {}}; }

MenuItem command(int id, std::string text, bool checked = false) {
  return {MenuItemKind::Command, std::move(text), id, checked, {}};
}

MenuItem separator() { return {MenuItemKind::Separator, "", 0, false, {}}; }

// Display strings that are not valid UTF-8 show as empty text.
std::string shown(std::string_view text) {
  return is_valid_utf8(text) ? std::string(text) : std::string();
}

std::string link_line(const TraySnapshot& s) {
  std::string line = "LAN \xC2\xB7 P2P";
  if (s.rtt_ms > 0) line += " \xC2\xB7 " + std::to_string(s.rtt_ms) + "ms";
  if (s.bitrate_kbps > 0) line += " \xC2\xB7 " + std::to_string(s.bitrate_kbps) + "kbps";
  return line;
}

void append_connection(const TraySnapshot& s, MenuModel& menu) {
  if (s.status_text != "Connected") {
    menu.push_back(info("tovik \xE2\x80\x94 No Receiver"));
    return;
  }
  menu.push_back(info("tovik \xE2\x80\x94 Connected"));
  menu.push_back(info("Connected to: " + shown(s.peer_name)));
  menu.push_back(info(link_line(s)));
  menu.push_back(separator());
  menu.push_back(info(s.paused ? "\xE2\x97\x8B Paused" : "\xE2\x97\x8F Streaming"));
  menu.push_back(command(cmd::kTogglePause, s.paused ? "Resume" : "Pause"));
  menu.push_back(command(cmd::kDisconnect, "Disconnect"));
}

void append_pairing(const TraySnapshot& s, MenuModel& menu) {
  if (s.pairing_code.empty()) return;
  menu.push_back(info("Pairing Code: " + format_pairing_code(s.pairing_code)));
  menu.push_back({MenuItemKind::QrPanel, "", cmd::kQrPanel, false, {}});
  menu.push_back(command(cmd::kCopyPairingCode, "Copy Pairing Code"));
  menu.push_back(separator());
}

const char* short_quality_label(AudioQuality quality) {
  switch (quality) {
    case AudioQuality::High:
      return "256k";
    case AudioQuality::Medium:
      return "128k";
    case AudioQuality::Low:
      return "64k";
    default:
      return "Auto";
  }
}

MenuItem quality_submenu(AudioQuality quality) {
  MenuItem sub{MenuItemKind::Submenu, "Quality: ", 0, false, {}};
  sub.text += short_quality_label(quality);
  const char* labels[] = {"Auto", "256 kbps", "128 kbps", "64 kbps"};
  for (int value = 0; value < 4; ++value) {
    sub.children.push_back(
        command(cmd::kQualityAuto + value, labels[value], static_cast<int>(quality) == value));
  }
  return sub;
}

}  // namespace

MenuModel build_menu_model(const TraySnapshot& snapshot, const MenuOptions& options) {
  MenuModel menu;
  append_connection(snapshot, menu);
  menu.push_back(separator());
  append_pairing(snapshot, menu);
  menu.push_back(quality_submenu(snapshot.settings.quality));
  menu.push_back(command(cmd::kStartWithWindows, shown(options.autostart_label),
                         snapshot.settings.start_with_windows));
  menu.push_back(separator());
  menu.push_back(command(cmd::kQuit, "Quit Tovik"));
  return menu;
}

std::string format_pairing_code(std::string_view code) {
  if (code.size() != 6) return shown(code);
  std::string split(code.substr(0, 3));
  split += ' ';
  split += code.substr(3, 3);
  return shown(split);
}
