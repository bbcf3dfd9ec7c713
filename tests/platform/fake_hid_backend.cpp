#include "platform/fake_hid_backend.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace vantrel::test {

using platform::HidHandle;
using platform::HidInterfaceInfo;
using platform::HidOpenResult;

FakeHidBackend::FakeHidBackend(bool watcher) : watcher_(watcher) {}
FakeHidBackend::~FakeHidBackend() = default;

FakeHidBackend::Node& FakeHidBackend::Find(const std::string& path) const {
  for (const auto& n : nodes_) {
    if (n->path == path) return *n;
  }
  throw std::invalid_argument("no fake node " + path);
}

void FakeHidBackend::AddNode(const std::string& path, int interfaceNumber, std::vector<Collection> collections,
                             std::uint16_t vendorId, std::uint16_t productId, std::wstring serial) {
  std::lock_guard lock(mutex_);
  auto node = std::make_unique<Node>();
  node->path = path;
  node->interfaceNumber = interfaceNumber;
  node->collections = std::move(collections);
  node->vendorId = vendorId;
  node->productId = productId;
  node->serial = std::move(serial);
  nodes_.push_back(std::move(node));
}

void FakeHidBackend::AddKeyboard(int first, std::wstring serial) {
  const auto path = [](int n) { return "/dev/hidraw" + std::to_string(n); };
  AddNode(path(first), 1, {{0xFF1C, 0x0092}}, 0x0C45, 0x7666, serial);
  AddNode(path(first + 1), 2, {{0x000C, 0x0001}}, 0x0C45, 0x7666, serial);
  AddNode(path(first + 2), 3, {{0x0008, 0x0089}}, 0x0C45, 0x7666, serial);
  SetResponder(path(first), EchoReply);
}

void FakeHidBackend::EchoReply(FakeHidBackend& backend, const std::string& path,
                               std::span<const std::uint8_t> request) {
  std::vector<std::uint8_t> reply(request.begin(), request.end());
  if (reply.size() > 7) reply[7] = 0;
  backend.PushLocked(path, std::move(reply));
}

void FakeHidBackend::Unplug() {
  std::lock_guard lock(mutex_);
  UnplugLocked();
}

void FakeHidBackend::UnplugLocked() {
  for (auto& n : nodes_) {
    n->present = false;
    n->input.clear();
  }
  ++pendingEvents_;
  inputReady_.notify_all();
  events_.notify_all();
}

void FakeHidBackend::Plug() {
  {
    std::lock_guard lock(mutex_);
    for (auto& n : nodes_) {
      n->present = true;
      ++n->generation;
    }
    ++pendingEvents_;
  }
  events_.notify_all();
}

void FakeHidBackend::SetDenied(const std::string& path, bool denied) {
  std::lock_guard lock(mutex_);
  Find(path).denied = denied;
}

void FakeHidBackend::SetWriteError(const std::string& path, bool fail) {
  std::lock_guard lock(mutex_);
  Find(path).writeError = fail;
}

void FakeHidBackend::SetResponder(const std::string& path, Responder responder) {
  std::lock_guard lock(mutex_);
  Find(path).responder = std::move(responder);
}

void FakeHidBackend::NodeEvent() {
  {
    std::lock_guard lock(mutex_);
    ++pendingEvents_;
  }
  events_.notify_all();
}

void FakeHidBackend::Push(const std::string& path, std::vector<std::uint8_t> report) {
  std::lock_guard lock(mutex_);
  PushLocked(path, std::move(report));
}

void FakeHidBackend::PushLocked(const std::string& path, std::vector<std::uint8_t> report) {
  Node& node = Find(path);
  if (!node.present) return;
  node.input.push_back(std::move(report));
  inputReady_.notify_all();
}

std::vector<std::vector<std::uint8_t>> FakeHidBackend::Writes(const std::string& path) const {
  std::lock_guard lock(mutex_);
  return Find(path).writes;
}

int FakeHidBackend::Opens(const std::string& path) const {
  std::lock_guard lock(mutex_);
  return Find(path).opens;
}

int FakeHidBackend::OpenHandles() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count_if(handles_.begin(), handles_.end(), [](const auto& h) { return h->open; }));
}

platform::HidapiFunctions FakeHidBackend::Functions() {
  platform::HidapiFunctions f;
  f.init = [] { return 0; };
  f.exit = [] { return 0; };
  f.enumerate = [this](std::uint16_t vendorId, std::uint16_t productId) {
    std::lock_guard lock(mutex_);
    std::vector<HidInterfaceInfo> list;
    for (const auto& n : nodes_) {
      if (!n->present || n->vendorId != vendorId || n->productId != productId) continue;
      for (const auto& c : n->collections) {
        list.push_back({n->path, n->vendorId, n->productId, c.usagePage, c.usage, n->interfaceNumber, n->serial});
      }
    }
    return list;
  };
  f.open = [this](const std::string& path) {
    std::lock_guard lock(mutex_);
    for (auto& n : nodes_) {
      if (n->path != path) continue;
      if (!n->present) return HidOpenResult{nullptr, ENOENT};
      if (n->denied) return HidOpenResult{nullptr, EACCES};
      ++n->opens;
      handles_.push_back(std::make_unique<Handle>(Handle{n.get(), n->generation}));
      return HidOpenResult{handles_.back().get(), 0};
    }
    return HidOpenResult{nullptr, ENOENT};
  };
  f.close = [this](HidHandle handle) {
    std::lock_guard lock(mutex_);
    static_cast<Handle*>(handle)->open = false;
  };
  f.write = [this](HidHandle handle, const std::uint8_t* data, std::size_t length) {
    std::lock_guard lock(mutex_);
    auto& h = *static_cast<Handle*>(handle);
    if (!h.open || Stale(h) || h.node->writeError) return -1;
    std::vector<std::uint8_t> bytes(data, data + length);
    h.node->writes.push_back(bytes);
    if (h.node->responder) h.node->responder(*this, h.node->path, bytes);
    return static_cast<int>(length);
  };
  f.read = [this](HidHandle handle, std::uint8_t* buffer, std::size_t capacity, int timeoutMs) {
    std::unique_lock lock(mutex_);
    auto& h = *static_cast<Handle*>(handle);
    inputReady_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [&] { return !h.open || Stale(h) || !h.node->input.empty(); });
    if (!h.open || Stale(h)) return -1;
    if (h.node->input.empty()) return 0;
    auto report = std::move(h.node->input.front());
    h.node->input.pop_front();
    const auto n = std::min(capacity, report.size());
    std::copy_n(report.begin(), n, buffer);
    return static_cast<int>(n);
  };
  f.monitorOpen = [this] { return watcher_; };
  f.monitorWait = [this](int timeoutMs) {
    std::unique_lock lock(mutex_);
    events_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return pendingEvents_ > 0 || wake_; });
    wake_ = false;
    return pendingEvents_ > 0 ? 1 : 0;
  };
  f.monitorReceive = [this] {
    std::lock_guard lock(mutex_);
    return std::exchange(pendingEvents_, 0);
  };
  f.monitorWake = [this] {
    {
      std::lock_guard lock(mutex_);
      wake_ = true;
    }
    events_.notify_all();
  };
  f.monitorClose = [] {};
  return f;
}

}  // namespace vantrel::test
