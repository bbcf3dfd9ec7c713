// The program's object on the session bus, for scripts, desktop shortcuts and vantrelctl.
// The first instance owns the bus name; the object carries one adaptor per interface.
// Every method runs the same session and core operations as the windows, through the
// device worker, and answers when the worker's result is back (errors with the call).
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace vantrel::ui {

class AppCore;

inline constexpr char kBusName[] = "org.vantrel.Vantrel1";
inline constexpr char kBusPath[] = "/org/vantrel/Vantrel1";
inline constexpr char kErrorPrefix[] = "org.vantrel.Vantrel1.Error.";

// What the windows do when a script changed something they show.
struct BusHooks {
  // The lighting or the key colours were written: the panel reloads them.
  std::function<void()> lightingWritten;
};

class BusService {
 public:
  // Builds the object with every interface, registers it on the session bus and takes the
  // name. Null, with `error` set, when there is no session bus or another process owns
  // the name; the program runs on without it.
  static std::unique_ptr<BusService> Start(AppCore& core, BusHooks hooks, QString* error);
  // Answers every call whose work the device worker has finished (a closing program has
  // waited for it), then leaves the bus.
  ~BusService();
  BusService(const BusService&) = delete;
  BusService& operator=(const BusService&) = delete;

  // The object the interfaces are adaptors of.
  QObject& Object() { return *object_; }

 private:
  BusService() = default;
  std::unique_ptr<QObject> object_;
  AppCore* core_ = nullptr;
  bool nameOwned_ = false;
};

}  // namespace vantrel::ui
