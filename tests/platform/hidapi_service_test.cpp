#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>

#include "core/device/commands.h"
#include "core/device/config_report.h"
#include "platform/hidapi_test_support.h"

namespace vantrel::test {
namespace {

using namespace vantrel::device;
using platform::HidapiService;

const std::string kConfigNode = "/dev/hidraw10";
const std::string kConsumerNode = "/dev/hidraw11";
const std::string kLedNode = "/dev/hidraw12";

// Records the raw notifications of one registration.
class RawCallback final : public ServiceCallback {
 public:
  int OnServiceNotify(const NotificationRecord& record) override {
    std::lock_guard lock(mutex_);
    kinds_.push_back(record.kind);
    if (record.kind == kNotifyInputReport && record.request->data != nullptr) {
      reports_.emplace_back(record.request->data, record.request->data + record.request->value);
    }
    cv_.notify_all();
    return 1;
  }
  bool WaitForReports(std::size_t n) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::seconds(5), [&] { return reports_.size() >= n; });
  }
  std::vector<std::int32_t> Kinds() {
    std::lock_guard lock(mutex_);
    return kinds_;
  }
  std::vector<std::vector<std::uint8_t>> Reports() {
    std::lock_guard lock(mutex_);
    return reports_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::int32_t> kinds_;
  std::vector<std::vector<std::uint8_t>> reports_;
};

ServiceHandle Register(HidService& service, const DeviceSelector& selector, ServiceCallback& callback,
                       std::uint32_t tag) {
  ServiceHandle handle = 0;
  service.RequestAsyncRead(selector, &callback, tag, CallCheckValue(selector, CallbackWord(&callback), tag), &handle);
  return handle;
}

DeviceResult Transact(DeviceLink& link, const ConfigReport& request, ConfigReport& reply) {
  std::uint32_t received = 0;
  return link.DeviceTransact(request.data(), kReportSize, reply.data(), kReportSize, received);
}

// Waits, boundedly, for a condition that another thread of the service makes true.
template <typename F>
bool Eventually(F condition) {
  for (int i = 0; i < 5000; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

class HidapiServiceTest : public HidapiFixture {};
class HidapiPollingTest : public HidapiFixture {
 protected:
  HidapiPollingTest() : HidapiFixture(false) {}
};

TEST_F(HidapiServiceTest, MatchesSelectorsByUsageAndOpensAListedInterfaceOnce) {
  // hidraw lists a node once per collection: the configuration node also carries a
  // keyboard collection and its vendor collection twice; consumer and LED collections
  // share one interface.
  fake.AddNode("/dev/hidraw3", 1, {{0x0001, 0x0006}, {0xFF1C, 0x0092}, {0xFF1C, 0x0092}});
  fake.AddNode("/dev/hidraw4", 2, {{0x000C, 0x0001}, {0x0008, 0x0089}});
  fake.AddNode("/dev/hidraw5", 0, {{0xFF1C, 0x0092}}, 0x1234, 0x5678);  // another maker's device
  Start();

  EXPECT_EQ(Count(ConfigInterfaceSelector), 1);
  EXPECT_EQ(Count(ConsumerInterfaceSelector), 1);
  EXPECT_EQ(Count(LedInterfaceSelector), 1);
  const DeviceSelector foreign{15, 0x1234, 0x5678, 0xFF1C, 0x0092, 0};
  EXPECT_EQ(Count(foreign), 0);
  EXPECT_EQ(fake.Opens("/dev/hidraw3"), 1);
  EXPECT_EQ(fake.Opens("/dev/hidraw4"), 1);
  EXPECT_EQ(fake.Opens("/dev/hidraw5"), 0);
  EXPECT_EQ(fake.OpenHandles(), 2);

  // The shared interface serves both selectors: the LED write and the consumer events.
  const std::uint8_t led[2] = {0x05, 0x03};
  EXPECT_EQ(service->RequestStatusWrite(LedInterfaceSelector, nullptr, kTagDel, led, 2,
                                        CallCheckValue(LedInterfaceSelector, 0, kTagDel, led), nullptr),
            1);
  EXPECT_EQ(fake.Writes("/dev/hidraw4"), (std::vector<std::vector<std::uint8_t>>{{0x05, 0x03}}));

  Recorder recorder;
  DeviceLink link(*service, AnsweredTiming());
  link.SetListener(&recorder);
  ServiceHandle cons = 0;
  link.RegisterRead(ConsumerInterfaceSelector, kTagCons, &cons);
  fake.Push("/dev/hidraw4", {0xFF, 0x02});
  ASSERT_TRUE(recorder.WaitForEvents(1));
  EXPECT_EQ(recorder.Events()[0], 0x02FF);
  service->DeleteRequestFromUnitId(cons);

  service.reset();
  EXPECT_EQ(fake.OpenHandles(), 0);
}

TEST_F(HidapiServiceTest, WithTwoKeyboardsTheInterfacesOfOneAreUsedTogether) {
  fake.AddNode("/dev/hidraw10", 1, {{0xFF1C, 0x0092}}, 0x0C45, 0x7666, L"A");
  fake.AddNode("/dev/hidraw21", 2, {{0x000C, 0x0001}}, 0x0C45, 0x7666, L"B");
  fake.AddNode("/dev/hidraw11", 2, {{0x000C, 0x0001}}, 0x0C45, 0x7666, L"A");
  fake.AddNode("/dev/hidraw20", 1, {{0xFF1C, 0x0092}}, 0x0C45, 0x7666, L"B");
  Start();
  EXPECT_EQ(Count(ConfigInterfaceSelector), 2);
  EXPECT_EQ(fake.Opens("/dev/hidraw10"), 1);
  EXPECT_EQ(fake.Opens("/dev/hidraw11"), 1);
  EXPECT_EQ(fake.Opens("/dev/hidraw20"), 0);
  EXPECT_EQ(fake.Opens("/dev/hidraw21"), 0);
}

TEST_F(HidapiServiceTest, ReportsGoOutWithTheirReportIdFirstAndNothingElse) {
  fake.AddKeyboard();
  Start();
  DeviceLink link(*service, AnsweredTiming());
  link.RegisterConfigRead();

  // A 10-byte request goes out as one 64-byte report: id 4 first, no leading zero.
  const std::uint8_t request[10] = {0x04, 0x0D, 0x00, 0x0D, 0, 0, 0, 0, 0xA5, 0x5A};
  std::array<std::uint8_t, 64> reply{};
  std::uint32_t received = 0;
  ASSERT_EQ(link.DeviceTransact(request, sizeof request, reply.data(), 64, received), kDeviceOk);
  auto writes = fake.Writes(kConfigNode);
  ASSERT_EQ(writes.size(), 1u);
  std::vector<std::uint8_t> expected(64, 0);
  std::copy(std::begin(request), std::end(request), expected.begin());
  EXPECT_EQ(writes[0], expected);
  EXPECT_EQ(received, 64u);
  EXPECT_EQ(reply[0], 0x04);
  EXPECT_EQ(reply[8], 0xA5);

  // The LED status: exactly its two bytes, report id 5 first.
  const std::uint8_t led[2] = {0x05, 0x02};
  RawCallback del;
  ServiceHandle delHandle = 0;
  EXPECT_EQ(service->RequestStatusWrite(LedInterfaceSelector, &del, kTagDel, led, 2,
                                        CallCheckValue(LedInterfaceSelector, CallbackWord(&del), kTagDel, led),
                                        &delHandle),
            1);
  EXPECT_NE(delHandle, 0u);
  EXPECT_EQ(fake.Writes(kLedNode), (std::vector<std::vector<std::uint8_t>>{{0x05, 0x02}}));
  service->DeleteRequestFromUnitId(delHandle);

  // Refused without a write: a wrong check value, a length other than 64, a selector
  // that names no interface of the keyboard.
  const ConfigReport report = MakeReport(kCmdTest, 0, 0);
  const auto check = CallCheckValue(ConfigInterfaceSelector, 0, 0, report);
  EXPECT_EQ(service->RequestWriteOne(ConfigInterfaceSelector, 0, 0, report.data(), 64, check + 1, nullptr), 0);
  EXPECT_EQ(service->RequestWriteOne(ConfigInterfaceSelector, 0, 0, report.data(), 63,
                                     CallCheckValue(ConfigInterfaceSelector, 0, 0, {report.data(), 63}), nullptr),
            0);
  const DeviceSelector keyboardPage{15, kVendorId, kProductId, 0x0001, 0x0006, 0};
  EXPECT_EQ(service->RequestWriteOne(keyboardPage, 0, 0, report.data(), 64, CallCheckValue(keyboardPage, 0, 0, report),
                                     nullptr),
            0);
  EXPECT_EQ(service->RequestStatusWrite(LedInterfaceSelector, nullptr, kTagDel, led, 2, 0, nullptr), 0);
  EXPECT_EQ(fake.Writes(kConfigNode).size(), 1u);
  EXPECT_EQ(fake.Writes(kLedNode).size(), 1u);
}

TEST_F(HidapiServiceTest, RepliesReachTheWaitingTransactionOnlyFromTheConfigurationInterface) {
  fake.AddKeyboard();
  Start();
  Recorder recorder;
  DeviceLink link(*service, LostTiming());
  link.SetListener(&recorder);
  link.RegisterConfigRead();
  ServiceHandle cons = 0;
  link.RegisterRead(ConsumerInterfaceSelector, kTagCons, &cons);
  RawCallback ctrlWatcher;
  const auto watcher = Register(*service, ConfigInterfaceSelector, ctrlWatcher, kTagCtrl);

  // A report nobody asked for, while no transaction is out, is seen by every 'CTRL'
  // registration and does not answer the next transaction.
  ConfigReport stale = MakeReport(kCmdTest, 0, 0);
  stale[8] = 0xAA;
  fake.Push(kConfigNode, {stale.begin(), stale.end()});
  ASSERT_TRUE(ctrlWatcher.WaitForReports(1));

  fake.SetResponder(kConfigNode, [](FakeHidBackend& b, const std::string& path, std::span<const std::uint8_t> req) {
    std::vector<std::uint8_t> reply(req.begin(), req.end());
    reply[8] = 0xBB;
    b.PushLocked(path, std::move(reply));
  });
  ConfigReport reply{};
  ASSERT_EQ(Transact(link, MakeReport(kCmdTest, 0, 0), reply), kDeviceOk);
  EXPECT_EQ(reply[8], 0xBB);

  // A report with the right command byte on the consumer interface is a keyboard
  // event, never a reply: the transaction gives up after three writes.
  fake.SetResponder(kConfigNode, [](FakeHidBackend& b, const std::string&, std::span<const std::uint8_t> req) {
    b.PushLocked(kConsumerNode, {req.begin(), req.end()});
  });
  EXPECT_EQ(Transact(link, MakeReport(kCmdTest, 0, 0), reply), kDeviceNoReply);
  EXPECT_EQ(fake.Writes(kConfigNode).size(), 4u);
  ASSERT_TRUE(recorder.WaitForEvents(3));
  EXPECT_EQ(recorder.Events()[0], 0x0004 | (MakeReport(kCmdTest, 0, 0)[1] << 8));

  service->DeleteRequestFromUnitId(cons);
  service->DeleteRequestFromUnitId(watcher);
}

TEST_F(HidapiServiceTest, KeyboardEventsArriveInOrderAsConsumerRecords) {
  fake.AddKeyboard();
  Start();
  Recorder recorder;
  DeviceLink link(*service, AnsweredTiming());
  link.SetListener(&recorder);
  ServiceHandle cons = 0;
  link.RegisterRead(ConsumerInterfaceSelector, kTagCons, &cons);
  RawCallback ctrl;
  const auto ctrlHandle = Register(*service, ConfigInterfaceSelector, ctrl, kTagCtrl);

  fake.Push(kConsumerNode, {0xFF, 0x02});
  fake.Push(kConsumerNode, {0x11, 0x18, 0x00, 0x00});
  fake.Push(kConsumerNode, {0x01, 0x04});
  ASSERT_TRUE(recorder.WaitForEvents(3));
  EXPECT_EQ(recorder.Events(), (std::vector<std::uint16_t>{0x02FF, 0x1811, 0x0401}));
  EXPECT_TRUE(ctrl.Reports().empty());

  // A registration deleted from inside its own notification (as the layer toggle does
  // with the status write's) returns at once and gets nothing more.
  struct SelfDeleting final : ServiceCallback {
    HidService* service = nullptr;
    ServiceHandle handle = 0;
    std::atomic<int> calls{0};
    int OnServiceNotify(const NotificationRecord&) override {
      ++calls;
      service->DeleteRequestFromUnitId(handle);
      return 1;
    }
  } self;
  self.service = service.get();
  self.handle = Register(*service, ConsumerInterfaceSelector, self, kTagCons);
  fake.Push(kConsumerNode, {0xFF, 0x02});
  fake.Push(kConsumerNode, {0xFF, 0x02});
  ASSERT_TRUE(recorder.WaitForEvents(5));
  EXPECT_EQ(self.calls.load(), 1);

  service->DeleteRequestFromUnitId(cons);
  service->DeleteRequestFromUnitId(ctrlHandle);
}

TEST_F(HidapiServiceTest, DeletingARegistrationWaitsForItsDeliveryOnAnotherThread) {
  fake.AddKeyboard();
  Start();
  struct Blocking final : ServiceCallback {
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::atomic<bool>* deleteReturned = nullptr;
    bool deleteReturnedDuringDelivery = false;
    int OnServiceNotify(const NotificationRecord&) override {
      entered = true;
      while (!release) std::this_thread::yield();
      // Still inside the delivery: the deleting thread must not have returned.
      deleteReturnedDuringDelivery = deleteReturned->load();
      return 1;
    }
  } blocking;
  std::atomic<bool> deleteReturned{false};
  blocking.deleteReturned = &deleteReturned;
  const auto handle = Register(*service, ConsumerInterfaceSelector, blocking, kTagCons);
  fake.Push(kConsumerNode, {0x11, 0x18});
  ASSERT_TRUE(Eventually([&] { return blocking.entered.load(); }));

  std::thread deleter([&] {
    EXPECT_EQ(service->DeleteRequestFromUnitId(handle), 1);
    deleteReturned = true;
  });
  // Give the deleter every chance to return too early before the delivery ends.
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  blocking.release = true;
  deleter.join();
  EXPECT_FALSE(blocking.deleteReturnedDuringDelivery);
  EXPECT_EQ(service->DeleteRequestFromUnitId(handle), 0);
}

TEST_F(HidapiServiceTest, UnplugDuringATransactionEndsItAndAReplugReopens) {
  fake.AddKeyboard();
  Start();
  Recorder recorder;
  DeviceLink link(*service, LostTiming());
  link.SetListener(&recorder);
  link.RegisterConfigRead();
  RawCallback consumer;
  const auto consHandle = Register(*service, ConsumerInterfaceSelector, consumer, kTagCons);

  // The keyboard goes as the request reaches it: no reply, and the repeated write
  // fails on the dead handle.
  fake.SetResponder(kConfigNode, [](FakeHidBackend& b, const std::string&, std::span<const std::uint8_t>) {
    b.UnplugLocked();
  });
  ConfigReport reply{};
  EXPECT_EQ(Transact(link, MakeReport(kCmdTest, 0, 0), reply), kDeviceWriteRefused);
  ASSERT_TRUE(recorder.WaitForCount(0));
  EXPECT_EQ(link.DeviceCount(), 0);
  EXPECT_EQ(fake.OpenHandles(), 0);
  const auto writesWhileGone = fake.Writes(kConfigNode).size();
  EXPECT_EQ(Transact(link, MakeReport(kCmdTest, 0, 0), reply), kDeviceAbsent);
  EXPECT_EQ(fake.Writes(kConfigNode).size(), writesWhileGone);

  fake.SetResponder(kConfigNode, FakeHidBackend::EchoReply);
  fake.Plug();
  ASSERT_TRUE(recorder.WaitForCount(1));
  EXPECT_EQ(recorder.Counts(), (std::vector<int>{0, 1}));
  EXPECT_EQ(fake.Opens(kConfigNode), 2);
  EXPECT_EQ(fake.OpenHandles(), 3);
  {
    DeviceLink answered(*service, AnsweredTiming());
    answered.RegisterConfigRead();
    EXPECT_EQ(Transact(answered, MakeReport(kCmdTest, 0, 0), reply), kDeviceOk);
  }
  // Count changes go to 'CTRL' registrations only.
  for (auto kind : consumer.Kinds()) EXPECT_NE(kind, kNotifyCountChanged);
  service->DeleteRequestFromUnitId(consHandle);
}

TEST_F(HidapiServiceTest, AFailedWriteReopensTheInterface) {
  fake.AddKeyboard();
  Start();
  DeviceLink link(*service, AnsweredTiming());
  link.RegisterConfigRead();
  fake.SetWriteError(kConfigNode, true);
  ConfigReport reply{};
  EXPECT_EQ(Transact(link, MakeReport(kCmdTest, 0, 0), reply), kDeviceWriteRefused);
  fake.SetWriteError(kConfigNode, false);
  ASSERT_TRUE(Eventually([&] { return fake.Opens(kConfigNode) == 2; }));
  EXPECT_EQ(Transact(link, MakeReport(kCmdTest, 0, 0), reply), kDeviceOk);
}

TEST_F(HidapiServiceTest, APermissionProblemNamesTheNodeAndClearsOnceAccessIsGranted) {
  fake.AddKeyboard();
  fake.SetDenied(kConfigNode, true);
  Start();
  DeviceLink link(*service, AnsweredTiming());
  link.RegisterConfigRead();

  // The keyboard is there (counted), but cannot be used.
  EXPECT_EQ(link.DeviceCount(), 1);
  auto problems = service->AccessProblems();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].node, kConfigNode);
  EXPECT_EQ(problems[0].interfaceName, "CTRL");
  EXPECT_TRUE(problems[0].PermissionDenied());
  const auto text = platform::DescribeAccessProblem(problems[0]);
  EXPECT_NE(text.find("/dev/hidraw10"), std::string::npos);
  EXPECT_NE(text.find("permission denied"), std::string::npos);
  EXPECT_NE(text.find("70-vantrel.rules"), std::string::npos);
  EXPECT_NE(text.find("udevadm trigger"), std::string::npos);
  ConfigReport reply{};
  EXPECT_EQ(Transact(link, MakeReport(kCmdTest, 0, 0), reply), kDeviceWriteRefused);

  // Installing the rule and triggering udev changes the node: the next look opens it.
  fake.SetDenied(kConfigNode, false);
  fake.NodeEvent();
  ASSERT_TRUE(Eventually([&] { return service->AccessProblems().empty(); }));
  EXPECT_EQ(Transact(link, MakeReport(kCmdTest, 0, 0), reply), kDeviceOk);

  const platform::AccessProblem other{"/dev/hidraw7", "CTRL", ENXIO};
  EXPECT_EQ(platform::DescribeAccessProblem(other).find("udev"), std::string::npos);
}

TEST_F(HidapiPollingTest, WithoutANodeWatcherAnArrivalIsFoundByPolling) {
  fake.AddKeyboard();
  fake.Unplug();
  Start();
  EXPECT_FALSE(service->WatchesNodes());
  Recorder recorder;
  DeviceLink link(*service, AnsweredTiming());
  link.SetListener(&recorder);
  link.RegisterConfigRead();
  EXPECT_EQ(link.DeviceCount(), 0);

  fake.Plug();
  ASSERT_TRUE(recorder.WaitForCount(1));
  ConfigReport reply{};
  EXPECT_EQ(Transact(link, MakeReport(kCmdTest, 0, 0), reply), kDeviceOk);
  fake.Unplug();
  ASSERT_TRUE(recorder.WaitForCount(0));
  EXPECT_EQ(recorder.Counts(), (std::vector<int>{1, 0}));
}

}  // namespace
}  // namespace vantrel::test
