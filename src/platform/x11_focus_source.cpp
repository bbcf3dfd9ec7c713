#include "platform/x11_focus_source.h"

#include <array>
#include <filesystem>
#include <system_error>

#if defined(VANTREL_HAVE_XCB)
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#endif

namespace vantrel::platform {

std::string ExecutableOfProcess(std::uint32_t pid) {
  if (pid == 0) return {};
  std::error_code ec;
  const auto target = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec);
  return ec ? std::string() : target.string();
}

#if defined(VANTREL_HAVE_XCB)
namespace {

// The longest property value read, in 32-bit units (titles and class names beyond 4 KiB
// are cut; the rules look at no more of a title anyway).
constexpr std::uint32_t kPropertyLongs = 1024;

class X11FocusSource final : public profiles::FocusSource {
 public:
  ~X11FocusSource() override { Stop(); }

  bool Start(Report report, std::string* error) override {
    Stop();
    int screenNumber = 0;
    conn_ = xcb_connect(nullptr, &screenNumber);
    if (!conn_ || xcb_connection_has_error(conn_)) {
      if (error) *error = "cannot connect to the X server (is DISPLAY set?)";
      Disconnect();
      return false;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    if (!it.rem) {
      if (error) *error = "the X server has no such screen";
      Disconnect();
      return false;
    }
    root_ = it.data->root;
    activeAtom_ = Atom("_NET_ACTIVE_WINDOW");
    netNameAtom_ = Atom("_NET_WM_NAME");
    utf8Atom_ = Atom("UTF8_STRING");
    pidAtom_ = Atom("_NET_WM_PID");
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(conn_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(conn_);
    if (::pipe2(wake_.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
      if (error) *error = "cannot create a pipe";
      Disconnect();
      return false;
    }
    report_ = std::move(report);
    thread_ = std::thread([this] { Run(); });
    return true;
  }

  void Stop() override {
    if (thread_.joinable()) {
      const char byte = 1;
      (void)!::write(wake_[1], &byte, 1);
      thread_.join();
    }
    for (int& fd : wake_) {
      if (fd >= 0) ::close(fd);
      fd = -1;
    }
    Disconnect();
    report_ = nullptr;
  }

 private:
  void Disconnect() {
    if (conn_) xcb_disconnect(conn_);
    conn_ = nullptr;
    active_ = XCB_WINDOW_NONE;
  }

  xcb_atom_t Atom(const char* name) {
    auto cookie = xcb_intern_atom(conn_, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(conn_, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
  }

  // The raw bytes of a property (any type when `type` is XCB_ATOM_ANY).
  std::string Property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type) {
    if (property == XCB_ATOM_NONE) return {};
    auto cookie = xcb_get_property(conn_, 0, window, property, type, 0, kPropertyLongs);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(conn_, cookie, nullptr);
    std::string out;
    if (reply && reply->type != XCB_ATOM_NONE) {
      const int length = xcb_get_property_value_length(reply);
      if (length > 0) out.assign(static_cast<const char*>(xcb_get_property_value(reply)), static_cast<std::size_t>(length));
    }
    std::free(reply);
    return out;
  }

  std::uint32_t Cardinal(xcb_window_t window, xcb_atom_t property, xcb_atom_t type) {
    const std::string bytes = Property(window, property, type);
    if (bytes.size() < 4) return 0;
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data(), 4);  // the X server delivers CARDINAL/WINDOW in host order
    return value;
  }

  void Watch(xcb_window_t window) {
    if (window == active_) return;
    // The previous window's title changes no longer matter (it may be gone: the error
    // that causes comes as an event and is ignored).
    const std::uint32_t none = 0;
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    if (active_ != XCB_WINDOW_NONE) xcb_change_window_attributes(conn_, active_, XCB_CW_EVENT_MASK, &none);
    if (window != XCB_WINDOW_NONE) xcb_change_window_attributes(conn_, window, XCB_CW_EVENT_MASK, &mask);
    active_ = window;
    xcb_flush(conn_);
  }

  void ReportActive() {
    const xcb_window_t window = Cardinal(root_, activeAtom_, XCB_ATOM_WINDOW);
    Watch(window);
    profiles::FocusedWindow focused;
    focused.windowId = window;
    if (window != XCB_WINDOW_NONE) {
      // WM_CLASS: the instance and the class, each ended by a NUL.
      const std::string wmClass = Property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
      const auto firstEnd = wmClass.find('\0');
      focused.appId = wmClass.substr(0, firstEnd);
      if (firstEnd != std::string::npos) {
        const std::string rest = wmClass.substr(firstEnd + 1);
        focused.appClass = rest.substr(0, rest.find('\0'));
      }
      focused.title = Property(window, netNameAtom_, utf8Atom_);
      if (focused.title.empty()) focused.title = Property(window, XCB_ATOM_WM_NAME, XCB_ATOM_ANY);
      focused.pid = Cardinal(window, pidAtom_, XCB_ATOM_CARDINAL);
      focused.executable = ExecutableOfProcess(focused.pid);
    }
    if (report_) report_(focused);
  }

  void Run() {
    ReportActive();
    const int fd = xcb_get_file_descriptor(conn_);
    for (;;) {
      bool changed = false;
      while (xcb_generic_event_t* event = xcb_poll_for_event(conn_)) {
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
          const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
          if (notify->window == root_ && notify->atom == activeAtom_) changed = true;
          if (notify->window == active_ && active_ != XCB_WINDOW_NONE &&
              (notify->atom == netNameAtom_ || notify->atom == XCB_ATOM_WM_NAME || notify->atom == XCB_ATOM_WM_CLASS))
            changed = true;
        }
        std::free(event);
      }
      if (xcb_connection_has_error(conn_)) return;  // the X server went away
      if (changed) {
        // The replies read here may bring further events: look again before waiting.
        ReportActive();
        continue;
      }
      std::array<pollfd, 2> fds{{{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}}};
      if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return;
      if (fds[1].revents) return;
    }
  }

  xcb_connection_t* conn_ = nullptr;
  xcb_window_t root_ = XCB_WINDOW_NONE;
  xcb_window_t active_ = XCB_WINDOW_NONE;
  xcb_atom_t activeAtom_ = XCB_ATOM_NONE;
  xcb_atom_t netNameAtom_ = XCB_ATOM_NONE;
  xcb_atom_t utf8Atom_ = XCB_ATOM_NONE;
  xcb_atom_t pidAtom_ = XCB_ATOM_NONE;
  std::array<int, 2> wake_{-1, -1};
  Report report_;
  std::thread thread_;
};

}  // namespace

std::unique_ptr<profiles::FocusSource> MakeX11FocusSource() { return std::make_unique<X11FocusSource>(); }

#else

std::unique_ptr<profiles::FocusSource> MakeX11FocusSource() { return nullptr; }

#endif

}  // namespace vantrel::platform
