#include "emulated_usb.h"

#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <umockdev.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <set>
#include <stdexcept>

#include "wusb/le_bytes.h"

namespace usbtest {

namespace {

constexpr int kUsbSpeedHigh = 3;  // the kernel's USB_SPEED_HIGH
constexpr std::uint32_t kCapabilities =
    USBDEVFS_CAP_BULK_SCATTER_GATHER | USBDEVFS_CAP_REAP_AFTER_DISCONNECT |
    USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION;

std::string Hex4(std::uint16_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x\n", v);
    return text;
}

}  // namespace

EmulatedBus::EmulatedBus() {
    testbed_ = umockdev_testbed_new();
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    root_ = root;
    g_free(root);
}

EmulatedBus::~EmulatedBus() {
    g_object_unref(testbed_);
}

// One plugging of the device: its sysfs entry, its /dev node and the handler of its usbfs
// requests. Kept until the device is destroyed, because libusb may still hold the node open.
struct EmulatedDevice::Connection {
    struct Urb {
        gulong address = 0;
        UMockdevIoctlData* urb = nullptr;
        UMockdevIoctlData* buffer = nullptr;

        usbdevfs_urb& fields() const { return *reinterpret_cast<usbdevfs_urb*>(urb->data); }
        void Finish(int status, int actual) const {
            fields().status = status;
            fields().actual_length = actual;
        }
        void Release() const {
            if (buffer)
                g_object_unref(buffer);
            g_object_unref(urb);
        }
    };

    EmulatedDevice* device = nullptr;
    std::string sysPath;
    std::string devNode;
    int deviceNumber = 0;
    UMockdevIoctlBase* handler = nullptr;
    int signal = -1;  // our end of the node, a FIFO
    bool gone = false;
    std::deque<Urb> waitingIn;
    // Requests a wedged device never answers: vendor requests, and OUT transfers once it has
    // stopped taking data.
    std::deque<Urb> unanswered;
    bool holdsOut = false;
    std::deque<Urb> finished;
    // Answers of a slow device, each with the time it is given.
    struct Delayed {
        Urb urb;
        std::chrono::steady_clock::time_point due;
    };
    std::deque<Delayed> delayed;
    std::set<std::uint8_t> halted;

    // libusb waits for the node to become writable before it reaps. The FIFO is kept full
    // while nothing can be reaped so that the wait really blocks until a transfer finishes
    // or its time-out comes, instead of spinning on "nothing yet".
    void UpdateSignal() {
        char chunk[4096];
        if (finished.empty()) {
            std::memset(chunk, 0, sizeof chunk);
            while (write(signal, chunk, sizeof chunk) > 0) {
            }
            while (write(signal, chunk, 1) > 0) {
            }
        } else {
            while (read(signal, chunk, sizeof chunk) > 0) {
            }
        }
    }

    // Hands waiting IN transfers the answers the firmware has now.
    void ServeWaitingIn() {
        while (!waitingIn.empty()) {
            const auto answer = device->firmware_.In();
            if (!answer)
                break;
            Urb urb = waitingIn.front();
            waitingIn.pop_front();
            const auto capacity = static_cast<std::size_t>(urb.fields().buffer_length);
            const std::size_t n = std::min(capacity, answer->size());
            std::memcpy(urb.buffer->data, answer->data(), n);
            urb.Finish(answer->size() > capacity ? -EOVERFLOW : 0, static_cast<int>(n));
            finished.push_back(urb);
        }
    }

    void EndEverything(int status) {
        for (std::deque<Urb>* waiting : {&waitingIn, &unanswered}) {
            while (!waiting->empty()) {
                waiting->front().Finish(status, 0);
                finished.push_back(waiting->front());
                waiting->pop_front();
            }
        }
        for (; !delayed.empty(); delayed.pop_front()) {
            delayed.front().urb.Finish(status, 0);
            finished.push_back(delayed.front().urb);
        }
    }

    // Hands over the slow answers whose time has come; all wait as long, so in order.
    void FinishDue() {
        const auto now = std::chrono::steady_clock::now();
        for (; !delayed.empty() && delayed.front().due <= now; delayed.pop_front()) {
            finished.push_back(delayed.front().urb);
        }
    }

    // Answers a control request at once, or keeps it waiting when the device ignores it.
    void Control(const Urb& urb) {
        const auto* setup = urb.buffer->data;
        const auto requestType = setup[0];
        const std::uint16_t wValue = wusb::ReadLe16(&setup[2]);
        const std::uint16_t wIndex = wusb::ReadLe16(&setup[4]);
        const std::size_t wLength = wusb::ReadLe16(&setup[6]);
        device->controlLog_.push_back({requestType, setup[1], wValue, wIndex});
        constexpr std::uint8_t kTypeMask = 0x60;
        constexpr std::uint8_t kVendorType = 0x40;
        if ((requestType & kTypeMask) == kVendorType && device->spec_.ignoresVendorRequests) {
            unanswered.push_back(urb);
            return;
        }
        if ((requestType & 0x80) == 0) {
            urb.Finish(0, static_cast<int>(wLength));
        } else if (const auto answer =
                       ControlAnswer(device->spec_, requestType, setup[1], wValue, wIndex)) {
            const auto room = static_cast<std::size_t>(urb.fields().buffer_length) - 8;
            const std::size_t n = std::min({wLength, room, answer->size()});
            std::memcpy(urb.buffer->data + 8, answer->data(), n);
            urb.Finish(0, static_cast<int>(n));
        } else {
            urb.Finish(-EPIPE, 0);
        }
        if (device->spec_.answerDelayMs > 0 && !device->answerAtOnce_) {
            const auto due = std::chrono::steady_clock::now() +
                             std::chrono::milliseconds(device->spec_.answerDelayMs);
            delayed.push_back({urb, due});
        } else {
            finished.push_back(urb);
        }
    }

    void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
        Urb urb;
        urb.address = *reinterpret_cast<gulong*>(arg->data);
        urb.urb = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        if (!urb.urb) {
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return;
        }
        const usbdevfs_urb& fields = urb.fields();
        if (fields.buffer_length > 0) {
            urb.buffer =
                umockdev_ioctl_data_resolve(urb.urb, offsetof(usbdevfs_urb, buffer),
                                            static_cast<gsize>(fields.buffer_length), nullptr);
        }
        const bool isControl = fields.type == USBDEVFS_URB_TYPE_CONTROL;
        const bool isBulk = fields.type == USBDEVFS_URB_TYPE_BULK;
        if (gone || !(isControl || isBulk) || (isControl && fields.buffer_length < 8) ||
            (fields.buffer_length > 0 && !urb.buffer)) {
            const int error = gone ? ENODEV : EINVAL;
            urb.Release();
            umockdev_ioctl_client_complete(client, -1, error);
            return;
        }
        if (isControl) {
            Control(urb);
        } else if (halted.contains(fields.endpoint)) {
            urb.Finish(-EPIPE, 0);
            finished.push_back(urb);
        } else if (fields.endpoint & 0x80) {
            ++device->inTransfers_;
            waitingIn.push_back(urb);
        } else if (holdsOut) {
            unanswered.push_back(urb);
        } else {
            const auto* bytes = urb.buffer ? urb.buffer->data : nullptr;
            device->firmware_.Out(Bytes(bytes, bytes + fields.buffer_length));
            // The transfer reached the device before it vanished, so it went through.
            urb.Finish(0, fields.buffer_length);
            finished.push_back(urb);
            if (device->firmware_.TakeUnplugRequest()) {
                gone = true;
                EndEverything(-ESHUTDOWN);
                device->remover_ = std::thread([testbed = device->bus_.testbed(), path = sysPath] {
                    umockdev_testbed_remove_device(testbed, path.c_str());
                });
            }
        }
        ServeWaitingIn();
        umockdev_ioctl_client_complete(client, 0, 0);
    }

    void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
        if (finished.empty()) {
            if (!gone)
                ++device->emptyReaps_;
            umockdev_ioctl_client_complete(client, -1, gone ? ENODEV : EAGAIN);
            return;
        }
        UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
        if (!slot) {
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return;
        }
        const Urb urb = finished.front();
        finished.pop_front();
        umockdev_ioctl_data_set_ptr(slot, 0, urb.urb);
        umockdev_ioctl_client_complete(client, 0, 0);
        g_object_unref(slot);
        urb.Release();
    }

    void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
        const gulong address = *reinterpret_cast<gulong*>(arg->data);
        for (auto it = delayed.begin(); it != delayed.end(); ++it) {
            if (it->urb.address == address) {
                it->urb.Finish(-ENOENT, 0);
                finished.push_back(it->urb);
                delayed.erase(it);
                umockdev_ioctl_client_complete(client, 0, 0);
                return;
            }
        }
        for (std::deque<Urb>* waiting : {&waitingIn, &unanswered}) {
            for (auto it = waiting->begin(); it != waiting->end(); ++it) {
                if (it->address == address) {
                    it->Finish(-ENOENT, 0);
                    finished.push_back(*it);
                    waiting->erase(it);
                    umockdev_ioctl_client_complete(client, 0, 0);
                    return;
                }
            }
        }
        umockdev_ioctl_client_complete(client, -1, EINVAL);
    }

    void ClearHalt(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
        UMockdevIoctlData* endpoint =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned), nullptr);
        if (!endpoint) {
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return;
        }
        unsigned number = 0;
        std::memcpy(&number, endpoint->data, sizeof number);
        g_object_unref(endpoint);
        halted.erase(static_cast<std::uint8_t>(number));
        device->clearedHalts_.push_back(static_cast<std::uint8_t>(number));
        umockdev_ioctl_client_complete(client, 0, 0);
    }

    // umockdev's worker thread calls this while the application's ioctl waits.
    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
        auto* connection = static_cast<Connection*>(user);
        std::lock_guard lock(connection->device->mutex_);
        connection->Handle(client);
        return TRUE;
    }

    void Handle(UMockdevIoctlClient* client) {
        const gulong request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        if (request == USBDEVFS_REAPURBNDELAY) {
            Reap(client, arg);
        } else if (gone) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
        } else if (request == USBDEVFS_SUBMITURB) {
            Submit(client, arg);
        } else if (request == USBDEVFS_DISCARDURB) {
            Discard(client, arg);
        } else if (request == USBDEVFS_CLEAR_HALT) {
            ClearHalt(client, arg);
        } else if (request == USBDEVFS_GET_CAPABILITIES) {
            UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, 4, nullptr);
            if (caps) {
                std::memcpy(caps->data, &kCapabilities, 4);
                g_object_unref(caps);
            }
            umockdev_ioctl_client_complete(client, caps ? 0 : -1, caps ? 0 : EFAULT);
        } else if (request == USBDEVFS_CONNECTINFO) {
            UMockdevIoctlData* info =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_connectinfo), nullptr);
            if (info) {
                auto* fields = reinterpret_cast<usbdevfs_connectinfo*>(info->data);
                fields->devnum = static_cast<unsigned>(deviceNumber);
                fields->slow = 0;
                g_object_unref(info);
            }
            umockdev_ioctl_client_complete(client, info ? 0 : -1, info ? 0 : EFAULT);
        } else if (request == USBDEVFS_GET_SPEED) {
            umockdev_ioctl_client_complete(client, kUsbSpeedHigh, 0);
        } else if (request == USBDEVFS_GETDRIVER) {
            umockdev_ioctl_client_complete(client, -1, ENODATA);  // no kernel driver here
        } else if ((request == USBDEVFS_CLAIMINTERFACE || request == USBDEVFS_DISCONNECT_CLAIM) &&
                   device->spec_.claimedElsewhere) {
            umockdev_ioctl_client_complete(client, -1, EBUSY);
        } else if (request == USBDEVFS_CLAIMINTERFACE || request == USBDEVFS_SETINTERFACE ||
                   request == USBDEVFS_SETCONFIGURATION || request == USBDEVFS_RESET ||
                   request == USBDEVFS_DISCONNECT_CLAIM) {
            ++device->stateChanges_;
            umockdev_ioctl_client_complete(client, 0, 0);
        } else if (request == USBDEVFS_RELEASEINTERFACE || request == USBDEVFS_RESETEP ||
                   request == USBDEVFS_IOCTL) {
            umockdev_ioctl_client_complete(client, 0, 0);
        } else {
            umockdev_ioctl_client_complete(client, -1, ENOTTY);
        }
        UpdateSignal();
    }
};

EmulatedDevice::EmulatedDevice(EmulatedBus& bus, std::string port, DeviceSpec spec,
                               Firmware& firmware)
    : bus_(bus), port_(std::move(port)), spec_(std::move(spec)), firmware_(firmware) {
    Plug();
    if (spec_.answerDelayMs > 0) {
        delayer_ = std::thread([this] {
            while (!stopping_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                std::lock_guard lock(mutex_);
                for (auto& c : connections_) {
                    if (!c->delayed.empty()) {
                        c->FinishDue();
                        c->UpdateSignal();
                    }
                }
            }
        });
    }
}

EmulatedDevice::~EmulatedDevice() {
    stopping_ = true;
    if (delayer_.joinable())
        delayer_.join();
    if (remover_.joinable())
        remover_.join();
    for (auto& c : connections_) {
        umockdev_testbed_detach_ioctl(bus_.testbed(), c->devNode.c_str(), nullptr);
    }
    // umockdev's worker may still be inside a handler it began before the detaching (a request
    // the application gave up on): wait until it has left the lock before the lock goes.
    { const std::lock_guard lock(mutex_); }
    for (auto& c : connections_) {
        g_object_unref(c->handler);
        for (const auto& urb : c->waitingIn) {
            urb.Release();
        }
        for (const auto& urb : c->unanswered) {
            urb.Release();
        }
        for (const auto& urb : c->finished) {
            urb.Release();
        }
        for (const auto& late : c->delayed) {
            late.urb.Release();
        }
        close(c->signal);
    }
}

void EmulatedDevice::Plug() {
    if (remover_.joinable())
        remover_.join();
    std::lock_guard lock(mutex_);
    if (!connections_.empty() && !connections_.back()->gone)
        return;
    if (!connections_.empty())
        firmware_.Replugged();
    auto c = std::make_unique<Connection>();
    c->device = this;
    c->deviceNumber = bus_.NextDeviceNumber();
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", c->deviceNumber);
    c->devNode = node;
    const std::string name = "usb1/1-" + port_;
    const std::string devnum = std::to_string(c->deviceNumber) + "\n";
    const std::string vendor = Hex4(spec_.vendorId);
    const std::string product = Hex4(spec_.productId);
    const std::string devName = "DEVNAME=" + c->devNode;
    gchar* sysPath = umockdev_testbed_add_device(
        bus_.testbed(), "usb", name.c_str(), nullptr, "busnum", "1\n", "devnum", devnum.c_str(),
        "idVendor", vendor.c_str(), "idProduct", product.c_str(), "speed", "480\n",
        "bConfigurationValue", "1\n", "bNumConfigurations", "1\n", nullptr, "DEVNAME",
        c->devNode.c_str(), "DEVTYPE", "usb_device", "BUSNUM", "001", nullptr);
    if (!sysPath)
        throw std::runtime_error("umockdev could not add " + name);
    c->sysPath = sysPath;
    g_free(sysPath);
    Bytes descriptors = SysfsDescriptors(spec_);
    umockdev_testbed_set_attribute_binary(bus_.testbed(), c->sysPath.c_str(), "descriptors",
                                          descriptors.data(),
                                          static_cast<gint>(descriptors.size()));

    const std::string nodeFile = bus_.root() + c->devNode;
    const std::string nodeDir = nodeFile.substr(0, nodeFile.rfind('/'));
    g_mkdir_with_parents(nodeDir.c_str(), 0755);
    unlink(nodeFile.c_str());
    if (mkfifo(nodeFile.c_str(), 0666) != 0)
        throw std::runtime_error("cannot make the device node " + nodeFile);
    c->signal = open(nodeFile.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    c->UpdateSignal();
    if (spec_.deniesOpen)
        chmod(nodeFile.c_str(), 0);

    if (spec_.takesRequestsAfterMs > 0) {
        // Announced as the kernel would; requests reach the bare node until the handler comes.
        umockdev_testbed_uevent(bus_.testbed(), c->sysPath.c_str(), "add");
        std::this_thread::sleep_for(std::chrono::milliseconds(spec_.takesRequestsAfterMs));
    }
    c->handler = umockdev_ioctl_base_new();
    g_signal_connect(c->handler, "handle-ioctl", G_CALLBACK(Connection::OnIoctl), c.get());
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(bus_.testbed(), c->devNode.c_str(), c->handler, &error)) {
        const std::string why = error ? error->message : "unknown";
        g_clear_error(&error);
        throw std::runtime_error("umockdev could not attach to " + c->devNode + ": " + why);
    }
    // add_device announced the device before its descriptors and node existed; a listener that
    // looked then gave up on it, so it is announced again now that it is complete.
    umockdev_testbed_uevent(bus_.testbed(), c->sysPath.c_str(), "add");
    connections_.push_back(std::move(c));
}

void EmulatedDevice::Unplug() {
    std::string sysPath;
    {
        std::lock_guard lock(mutex_);
        if (connections_.empty() || connections_.back()->gone)
            return;
        Connection& c = *connections_.back();
        c.gone = true;
        c.EndEverything(-ESHUTDOWN);
        c.UpdateSignal();
        sysPath = c.sysPath;
    }
    // The kernel announces the removal, so that hot-plug listeners (libusb's among them) learn
    // of it; removing the files alone tells nobody.
    umockdev_testbed_uevent(bus_.testbed(), sysPath.c_str(), "remove");
    umockdev_testbed_remove_device(bus_.testbed(), sysPath.c_str());
}

bool EmulatedDevice::plugged() const {
    std::lock_guard lock(mutex_);
    return !connections_.empty() && !connections_.back()->gone;
}

void EmulatedDevice::WithFirmware(const std::function<void(Firmware&)>& change) {
    std::lock_guard lock(mutex_);
    change(firmware_);
    if (!connections_.empty() && !connections_.back()->gone) {
        connections_.back()->ServeWaitingIn();
        connections_.back()->UpdateSignal();
    }
}

std::string EmulatedDevice::node() const {
    std::lock_guard lock(mutex_);
    return connections_.empty() ? std::string() : connections_.back()->devNode;
}

int EmulatedDevice::controlRequests() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(controlLog_.size() + clearedHalts_.size());
}

std::vector<EmulatedDevice::ControlSetup> EmulatedDevice::controlLog() const {
    std::lock_guard lock(mutex_);
    return controlLog_;
}

void EmulatedDevice::Halt(std::uint8_t endpoint) {
    std::lock_guard lock(mutex_);
    if (!connections_.empty())
        connections_.back()->halted.insert(endpoint);
}

void EmulatedDevice::AnswerAtOnce() {
    std::lock_guard lock(mutex_);
    answerAtOnce_ = true;
}

void EmulatedDevice::StopTakingData() {
    std::lock_guard lock(mutex_);
    if (!connections_.empty())
        connections_.back()->holdsOut = true;
}

std::vector<std::uint8_t> EmulatedDevice::clearedHalts() const {
    std::lock_guard lock(mutex_);
    return clearedHalts_;
}

int EmulatedDevice::stateChanges() const {
    std::lock_guard lock(mutex_);
    return stateChanges_;
}

int EmulatedDevice::inTransfers() const {
    std::lock_guard lock(mutex_);
    return inTransfers_;
}

int EmulatedDevice::emptyReaps() const {
    std::lock_guard lock(mutex_);
    return emptyReaps_;
}

}  // namespace usbtest
