#include "tray/platform/posix/terminal_tray_host.h"

#include <poll.h>

#include <cerrno>
#include <utility>

#include "tray/platform/posix/half_block_qr.h"
#include "tray/tooltip.h"

namespace {

constexpr const char* kColoursOn = "\x1b[97;40m";  // bright white on black
constexpr const char* kColoursOff = "\x1b[0m";

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The tooltip was composed from UTF-8 and may be cut inside a surrogate
// pair; a lone surrogate is dropped.
std::string to_utf8(const std::u16string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      continue;
    }
    append_utf8(out, c);
  }
  return out;
}

// "Tovik — Connected (Kitchen)" shows as "Connected (Kitchen)".
std::string status_of(const std::u16string& tooltip) {
  const std::u16string prefix = compose_tooltip("", "");
  if (tooltip.compare(0, prefix.size(), prefix) == 0) return to_utf8(tooltip.substr(prefix.size()));
  return to_utf8(tooltip);
}

// "123 456" as the receiver takes it: "123456".
std::string digits_of(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}

}  // namespace

TerminalTrayHost::TerminalTrayHost(std::ostream& out, bool ansi_colours, std::string receiver)
    : out_(out), ansi_colours_(ansi_colours), receiver_(std::move(receiver)) {}

TerminalTrayHost::~TerminalTrayHost() { destroy(); }

bool TerminalTrayHost::create(TrayHostSink& sink, const std::u16string& tooltip) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!pipe_.open()) return false;
  sink_ = &sink;
  latest_ = tooltip;
  return true;
}

void TerminalTrayHost::destroy() {
  std::lock_guard<std::mutex> lock(mutex_);
  pipe_.close();
}

void TerminalTrayHost::set_tooltip(const std::u16string& tooltip) {
  std::lock_guard<std::mutex> lock(mutex_);
  latest_ = tooltip;
  pending_.push_back(tooltip);
  pipe_.wake();
}

void TerminalTrayHost::show_notice(const std::u16string&, const std::u16string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  notices_.push_back(text);
  pipe_.wake();
}

void TerminalTrayHost::show_menu(const MenuModel&) {}

void TerminalTrayHost::run_message_loop() {
  if (sink_ == nullptr) return;
  quit_requested_ = false;
  print_pairing_code();
  std::u16string current;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    current = latest_;
    pending_.clear();
  }
  print_status(current);
  while (!quit_requested_) wait_and_handle_events();
  // The Quit command stops the engine, whose last report belongs here too.
  print_pending_statuses();
  out_.flush();
}

void TerminalTrayHost::quit() { quit_requested_ = true; }

void TerminalTrayHost::wait_and_handle_events() {
  pollfd fd{pipe_.read_fd(), POLLIN, 0};
  if (poll(&fd, 1, -1) < 0 && errno == EINTR) return;
  bool signalled = pipe_.drain();
  print_pending_statuses();
  if (signalled) sink_->dispatch_command(tray_command::kQuit);
}

void TerminalTrayHost::print_pairing_code() {
  // The resolution only scales the layout; the symbol is the same at any.
  QrPanelLayout layout = sink_->qr_panel_layout({0, 0, 200, 88}, 96, 96);
  std::optional<QrMatrix> matrix = qr_matrix_from_layout(layout);
  if (!matrix) return;
  out_ << "Pairing code: " << layout.text << "\n";
  for (const std::string& line : half_block_lines(*matrix)) {
    if (ansi_colours_) {
      out_ << kColoursOn << line << kColoursOff << "\n";
    } else {
      out_ << line << "\n";
    }
  }
  print_listen_commands(digits_of(layout.text));
  out_.flush();
}

// A receiver on this computer records instead of playing: its output would
// be the one Tovik captures, and the sound would go round.
void TerminalTrayHost::print_listen_commands(const std::string& code) {
  if (receiver_.empty() || code.empty()) return;
  out_ << "Listen on another computer on this network:\n"
       << "  tovik-receive --code " << code << "\n"
       << "Check on this computer (10 s into a WAV file, not played here):\n"
       << "  " << receiver_ << " --to 127.0.0.1 --code " << code
       << " --duration 10 --out tovik-check.wav\n";
}

void TerminalTrayHost::print_status(const std::u16string& tooltip) {
  if (tooltip == printed_) return;
  printed_ = tooltip;
  out_ << "Status: " << status_of(tooltip) << "\n";
  out_.flush();
}

void TerminalTrayHost::print_pending_statuses() {
  std::vector<std::u16string> pending;
  std::vector<std::u16string> notices;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending.swap(pending_);
    notices.swap(notices_);
  }
  for (const std::u16string& tooltip : pending) print_status(tooltip);
  for (const std::u16string& notice : notices) out_ << "Notice: " << to_utf8(notice) << "\n";
  out_.flush();
}
