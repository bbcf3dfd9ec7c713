// A keyboard behind the hidapi function table: device nodes with their collections,
// input queues, recorded writes, replies, errors, unplug and replug, and a node watcher.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/hidapi/hidapi_functions.h"

namespace vantrel::test {

class FakeHidBackend {
 public:
  struct Collection {
    std::uint16_t usagePage;
    std::uint16_t usage;
  };
  // Called for every accepted write, with the backend locked; may queue input with
  // PushLocked.
  using Responder = std::function<void(FakeHidBackend&, const std::string& path, std::span<const std::uint8_t>)>;

  // With watcher = false the backend offers no node watcher (the service polls).
  explicit FakeHidBackend(bool watcher = true);
  ~FakeHidBackend();

  platform::HidapiFunctions Functions();

  // A device node listed once per collection, all with the same interface number.
  void AddNode(const std::string& path, int interfaceNumber, std::vector<Collection> collections,
               std::uint16_t vendorId = 0x0C45, std::uint16_t productId = 0x7666, std::wstring serial = L"");
  // The keyboard's three interfaces on /dev/hidraw<first>, +1, +2, with a responder on
  // the configuration node that echoes each request with status 0.
  void AddKeyboard(int first = 10, std::wstring serial = L"");

  // All nodes go (open handles fail from now on) or come back; each queues a watcher event.
  void Unplug();
  void UnplugLocked();  // from a responder
  void Plug();
  void SetDenied(const std::string& path, bool denied);
  void SetWriteError(const std::string& path, bool fail);
  void SetResponder(const std::string& path, Responder responder);
  // Queues one watcher event (a "change" of some hidraw node).
  void NodeEvent();

  void Push(const std::string& path, std::vector<std::uint8_t> report);
  void PushLocked(const std::string& path, std::vector<std::uint8_t> report);

  std::vector<std::vector<std::uint8_t>> Writes(const std::string& path) const;
  int Opens(const std::string& path) const;
  int OpenHandles() const;

  // The default configuration responder: the request back, status byte 7 = 0.
  static void EchoReply(FakeHidBackend& backend, const std::string& path, std::span<const std::uint8_t> request);

 private:
  struct Node {
    std::string path;
    int interfaceNumber;
    std::vector<Collection> collections;
    std::uint16_t vendorId;
    std::uint16_t productId;
    std::wstring serial;
    bool present = true;
    bool denied = false;
    bool writeError = false;
    int generation = 0;  // a replug makes the handles of earlier generations stale
    int opens = 0;
    std::deque<std::vector<std::uint8_t>> input;
    std::vector<std::vector<std::uint8_t>> writes;
    Responder responder;
  };
  struct Handle {
    Node* node;
    int generation;
    bool open = true;
  };

  bool Stale(const Handle& h) const { return !h.node->present || h.generation != h.node->generation; }

  const bool watcher_;
  mutable std::mutex mutex_;
  std::condition_variable inputReady_;
  std::condition_variable events_;
  Node& Find(const std::string& path) const;

  std::vector<std::unique_ptr<Node>> nodes_;  // in enumeration order
  std::vector<std::unique_ptr<Handle>> handles_;
  int pendingEvents_ = 0;
  bool wake_ = false;
};

}  // namespace vantrel::test
