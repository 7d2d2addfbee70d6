#include "sim_bus.h"

#include "protocol/commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <sstream>

namespace {

// The controllers sit behind a decoy from the same maker, so a host that
// matched on the vendor alone would open the wrong interface.
constexpr unsigned short DECOY_PRODUCT_ID = 0x00BC;
const char DECOY_PORT[] = "1-1";
const char FIRST_CONTROLLER_NAME[] = "controller";

constexpr int REPORT_SIZE = 65;         // report ID, command, 63 payload bytes
constexpr size_t QUEUE_CAPACITY = 64;   // input reports hidraw keeps per reader
constexpr unsigned char UNSOLICITED_CODE = 0xEE;
constexpr long long REFRESH_MS = 5;     // control files are looked at this often
constexpr long long WAIT_SLICE_MS = 5;  // a waiting read looks again this often

// The decoy at hidraw0, controller N (from 0) at hidraw<N + 1>.
std::string node_path(size_t index)
{
    return "/dev/hidraw" + std::to_string(index);
}

std::wstring widen(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

char *copy_string(const char *text)
{
    char *out = new char[std::strlen(text) + 1];
    std::strcpy(out, text);
    return out;
}

wchar_t *copy_string(const wchar_t *text)
{
    wchar_t *out = new wchar_t[std::wcslen(text) + 1];
    std::wcscpy(out, text);
    return out;
}

void fill_info(hid_device_info *info, const SimInterface &interface)
{
    info->path = copy_string(interface.path.c_str());
    info->vendor_id = interface.vendor_id;
    info->product_id = interface.product_id;
    // As hidraw lists a device without a serial number: an empty string.
    info->serial_number = copy_string(interface.serial.c_str());
    info->release_number = 0x0100;
    info->manufacturer_string = copy_string(interface.manufacturer.c_str());
    info->product_string = copy_string(interface.product.c_str());
    info->usage_page = 0xFF00; // vendor-defined
    info->usage = 1;
    info->interface_number = 0;
    info->next = nullptr;
    info->bus_type = HID_API_BUS_USB;
}

void free_info_strings(hid_device_info *info)
{
    delete[] info->path;
    delete[] info->serial_number;
    delete[] info->manufacturer_string;
    delete[] info->product_string;
}

bool read_file(const std::string &path, std::string *content)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    *content = text.str();
    return true;
}

std::FILE *open_log(const std::string &path)
{
    std::FILE *file = std::fopen(path.c_str(), "ae");
    if (file)
        std::setvbuf(file, nullptr, _IOLBF, 0); // readers see whole lines at once
    return file;
}

SimFileStamp stamp_of(const std::string &path)
{
    SimFileStamp stamp;
    struct stat info;
    if (::stat(path.c_str(), &info) == 0) {
        stamp.exists = true;
        stamp.mtime_ns = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
        stamp.inode = info.st_ino;
        stamp.size = info.st_size;
    }
    return stamp;
}

} // namespace

bool SimFileStamp::operator==(const SimFileStamp &other) const
{
    return exists == other.exists && mtime_ns == other.mtime_ns && inode == other.inode
        && size == other.size;
}

// `port` comes before `plugged`: a port and a plug-in written together take
// effect together.
const SimBus::ControlFile SimBus::FILES[] = {
    {"port", &SimBus::apply_port},
    {"plugged", &SimBus::apply_plugged},
    {"version", &SimBus::apply_version},
    {"light", &SimBus::apply_light},
    {"room", &SimBus::apply_room},
    {"mode", &SimBus::apply_mode},
    {"pwm_width", &SimBus::apply_pwm_width},
    {"regulate", &SimBus::apply_regulate},
    {"faults", &SimBus::apply_faults},
};

SimBus &SimBus::instance()
{
    static SimBus *bus = new SimBus;
    return *bus;
}

SimBus::SimBus()
    : start_ms_(now_ms())
{
    if (const char *dir = std::getenv("MORVANE_SIM_DIR"); dir && *dir)
        dir_ = dir;
    if (!dir_.empty())
        ::mkdir(dir_.c_str(), 0700);

    // The first controller keeps the top-level files; each further one has
    // the same files in a directory named after it.
    std::string text;
    std::vector<std::string> notes;
    std::vector<ControllerLine> lines;
    if (!dir_.empty() && read_file(dir_ + "/controllers", &text))
        lines = parse_controllers(text, &notes);
    if (lines.empty())
        lines.push_back({FIRST_CONTROLLER_NAME, {}, {}});

    interfaces_.push_back({node_path(0), CONTROLLER_VENDOR_ID, DECOY_PRODUCT_ID, L"Morvane",
                           L"Morvane light sensor", L"SIM-0002", nullptr});
    for (const ControllerLine &line : lines)
        add_controller(line, controllers_.empty() || dir_.empty() ? dir_ : dir_ + '/' + line.name);
    for (const std::string &note : notes)
        log_event(nullptr, "note " + note);
    refresh(true);
}

void SimBus::add_controller(const ControllerLine &line, const std::string &dir)
{
    SimController &controller = controllers_.emplace_back();
    controller.name = line.name;
    controller.dir = dir;
    // Further controllers go into the root hub's next free ports by default.
    controller.port = line.port ? *line.port : "1-" + std::to_string(controllers_.size() + 1);
    controller.next_port = controller.port;
    controller.firmware.state().follow_curve = true;
    controller.seen.resize(std::size(FILES));
    interfaces_.push_back({node_path(controllers_.size()), CONTROLLER_VENDOR_ID,
                           CONTROLLER_PRODUCT_ID, L"Morvane", L"Morvane PWM controller",
                           widen(line.serial), &controller});
    if (dir.empty())
        return;

    ::mkdir(dir.c_str(), 0700);
    controller.wire_log = open_log(dir + "/wire.log");
    controller.event_log = open_log(dir + "/events.log");
    log_event(&controller, "loaded pid " + std::to_string(::getpid()));

    // The state file's presence asks for a controller that remembers its
    // block across restarts of the program.
    std::string state;
    controller.persist = read_file(dir + "/state", &state);
    if (controller.persist) {
        if (const std::optional<ConfigBlock> block = parse_block(state))
            controller.firmware.state().config = *block;
        else if (!state.empty())
            log_event(&controller, "note state file unreadable, factory block used");
    }
    controller.saved = controller.firmware.state().config;
}

long long SimBus::now_ms() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Looks at the control files at most every REFRESH_MS and applies those
// that changed since.
void SimBus::refresh(bool force)
{
    const long long now = now_ms();
    if (dir_.empty() || (!force && now - last_refresh_ms_ < REFRESH_MS))
        return;
    last_refresh_ms_ = now;

    for (SimController &controller : controllers_) {
        for (size_t i = 0; i < std::size(FILES); ++i) {
            // Through a reference: GCC's bounds check misreads the index of a
            // member-function call made through the array element itself.
            const ControlFile &file = FILES[i];
            const std::string path = controller.dir + '/' + file.name;
            const SimFileStamp stamp = stamp_of(path);
            if (stamp == controller.seen[i])
                continue;
            controller.seen[i] = stamp;
            std::string content;
            const bool readable = stamp.exists && read_file(path, &content);
            (this->*file.apply)(controller, readable ? &content : nullptr);
        }
        save_state(controller);
    }

    // After the plug files: events written with a plug-in follow its add.
    const std::string events_path = dir_ + "/udev_events";
    const SimFileStamp events_stamp = stamp_of(events_path);
    if (!(events_stamp == udev_events_seen_)) {
        udev_events_seen_ = events_stamp;
        std::string content;
        if (events_stamp.exists && read_file(events_path, &content))
            apply_udev_events(content);
    }
}

// A device changes ports only by being unplugged: while plugged in, the new
// port waits for the next plug-in. Removing the file leaves the port as it is.
void SimBus::apply_port(SimController &controller, const std::string *content)
{
    std::string port;
    if (content)
        std::istringstream(*content) >> port;
    controller.next_port = content ? port : controller.port;
    if (!controller.plugged)
        controller.port = controller.next_port;
}

void SimBus::apply_plugged(SimController &controller, const std::string *content)
{
    const std::optional<long> plugged = content ? parse_number(*content, 0, 1) : 1;
    if (!plugged) {
        log_event(&controller, "note plugged: expected 0 or 1");
        return;
    }
    set_plugged(controller, *plugged == 1);
}

void SimBus::apply_version(SimController &controller, const std::string *content)
{
    const std::optional<long> version = content ? parse_number(*content, 0, 255) : CONTROLLER_VERSION;
    if (version)
        controller.firmware.state().version = int(*version);
    else
        log_event(&controller, "note version: expected 0..255");
}

void SimBus::apply_light(SimController &controller, const std::string *content)
{
    const std::optional<LightModel> model = content ? LightModel::parse(*content) : LightModel();
    if (model)
        controller.light = *model;
    else
        log_event(&controller,
                  "note light: expected N, const N, sine MID AMP PERIOD_MS or ramp FROM TO PERIOD_MS");
}

void SimBus::apply_room(SimController &controller, const std::string *content)
{
    const std::optional<RoomSettings> settings = content ? parse_room(*content) : RoomSettings();
    if (settings)
        controller.room_file = *settings;
    else
        log_event(&controller,
                  "note room: expected k=N ambient=N noise=N settle_ms=N drift=N seed=N, each at most once");
}

// The mode is set once, when the file appears or changes; the host may
// switch it later with cmd_set_mode.
void SimBus::apply_mode(SimController &controller, const std::string *content)
{
    if (!content)
        return;
    if (const std::optional<long> mode = parse_number(*content, 0, 255))
        controller.firmware.state().config.set_regulation_mode(unsigned(*mode));
    else
        log_event(&controller, "note mode: expected 0..255");
}

// A number pins the width the firmware drives; "curve" (or no file) lets it
// follow its curve in automatic regulation.
void SimBus::apply_pwm_width(SimController &controller, const std::string *content)
{
    SimState &state = controller.firmware.state();
    std::string word;
    if (content)
        std::istringstream(*content) >> word;
    if (!content || word == "curve") {
        state.follow_curve = true;
    } else if (const std::optional<long> width = parse_number(*content, 0, 0xFFFF)) {
        state.follow_curve = false;
        state.config.set_pwm_width(unsigned(*width));
    } else {
        log_event(&controller, "note pwm_width: expected 0..65535 or curve");
    }
}

void SimBus::apply_regulate(SimController &controller, const std::string *content)
{
    if (const std::optional<long> timed = content ? parse_number(*content, 0, 1) : 0)
        controller.firmware.state().timed_regulation = *timed == 1;
    else
        log_event(&controller, "note regulate: expected 0 or 1");
}

void SimBus::apply_faults(SimController &controller, const std::string *content)
{
    std::vector<std::string> notes;
    controller.faults = content ? parse_faults(*content, &notes) : std::vector<WireFault>();
    controller.deny_from_ms = now_ms();
    for (const std::string &note : notes)
        log_event(&controller, "note " + note);
}

// Unplugging kills every handle of the controller for good; after a replug
// only a new open reaches it, as with a real USB device.
void SimBus::set_plugged(SimController &controller, bool plugged)
{
    if (plugged == controller.plugged)
        return;
    controller.plugged = plugged;
    if (plugged) {
        controller.port = controller.next_port;
        controller.deny_from_ms = now_ms();
    } else {
        ++controller.generation;
    }
    log_event(&controller, plugged ? "plugged" : "unplugged");
    for (const SimInterface &interface : interfaces_)
        if (interface.controller == &controller)
            queue_udev_event(interface, plugged ? "add" : "remove");
}

// `ACTION [NAME]` per line: an event udev sends besides the plug's own (a
// second add, bind, unbind, change) for controller NAME (default: the first).
void SimBus::apply_udev_events(const std::string &content)
{
    std::istringstream lines(content);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string action;
        std::string name = controllers_.front().name;
        if (!(words >> action))
            continue;
        words >> name;
        const auto named = std::find_if(interfaces_.begin(), interfaces_.end(), [&name](const SimInterface &each) {
            return each.controller && each.controller->name == name;
        });
        if (named == interfaces_.end())
            log_event(nullptr, "note udev_events: no controller " + name);
        else
            queue_udev_event(*named, action);
    }
}

void SimBus::queue_udev_event(const SimInterface &interface, const std::string &action)
{
    if (udev_subscribers_.empty())
        return;
    SimUdevEvent event;
    event.action = action;
    event.sysname = interface.path.substr(interface.path.rfind('/') + 1);
    event.parents = action != "remove";
    if (event.parents) {
        event.vendor_id = interface.vendor_id;
        event.product_id = interface.product_id;
        event.serial = std::string(interface.serial.begin(), interface.serial.end());
        event.port = interface.controller ? interface.controller->port : DECOY_PORT;
    }
    log_event(interface.controller, "udev " + action + " " + event.sysname);
    const std::uint64_t one = 1;
    for (auto &[number, subscriber] : udev_subscribers_) {
        subscriber.events.push_back(event);
        (void)!::write(subscriber.wake_fd, &one, sizeof one);
    }
}

bool SimBus::udev_running() const
{
    std::string content;
    if (dir_.empty() || !read_file(dir_ + "/udev", &content))
        return false;
    std::string word;
    std::istringstream(content) >> word;
    return word == "1";
}

std::vector<std::string> SimBus::control_dirs() const
{
    std::vector<std::string> dirs;
    if (dir_.empty())
        return dirs;
    dirs.push_back(dir_);
    for (const SimController &controller : controllers_)
        if (controller.dir != dir_)
            dirs.push_back(controller.dir);
    return dirs;
}

int SimBus::subscribe(int wake_fd)
{
    std::lock_guard<std::mutex> lock(mutex_);
    udev_subscribers_[next_subscriber_] = {wake_fd, {}};
    return next_subscriber_++;
}

void SimBus::unsubscribe(int subscriber)
{
    std::lock_guard<std::mutex> lock(mutex_);
    udev_subscribers_.erase(subscriber);
}

std::deque<SimUdevEvent> SimBus::take_udev_events(int subscriber)
{
    std::lock_guard<std::mutex> lock(mutex_);
    refresh(true);
    std::deque<SimUdevEvent> taken;
    if (const auto found = udev_subscribers_.find(subscriber); found != udev_subscribers_.end())
        taken.swap(found->second.events);
    return taken;
}

bool SimBus::present(const SimInterface &interface)
{
    return !interface.controller || interface.controller->plugged;
}

bool SimBus::live(const hid_device &device)
{
    const SimController *controller = device.interface->controller;
    return !controller || (controller->plugged && device.generation == controller->generation);
}

bool SimBus::known(hid_device *device) const
{
    return device && handles_.count(device);
}

// The faults that hit this request (or this open), each worn down by one use.
std::vector<WireFault> SimBus::take_faults(SimController &controller, bool opening, int command)
{
    std::vector<WireFault> hits;
    for (WireFault &fault : controller.faults) {
        const bool for_open = fault.kind == FaultKind::deny_open;
        if (for_open != opening)
            continue;
        // A time-limited denial: the permission race after a plug-in.
        if (opening && fault.for_ms >= 0 && now_ms() - controller.deny_from_ms >= fault.for_ms)
            continue;
        if (!opening && fault.command != FAULT_ANY_COMMAND && fault.command != command)
            continue;
        hits.push_back(fault);
        log_event(&controller, std::string("fault ") + fault_name(fault.kind) + " cmd "
                                   + std::to_string(command));
        if (fault.times > 0)
            --fault.times;
    }
    controller.faults.erase(std::remove_if(controller.faults.begin(), controller.faults.end(),
                                           [](const WireFault &f) { return f.times == 0; }),
                            controller.faults.end());
    return hits;
}

// Every live handle of the controller gets its own copy; a full queue drops
// the new report, as hidraw does.
void SimBus::deliver(SimController &controller, const std::vector<unsigned char> &report,
                     long long ready_ms)
{
    for (hid_device *device : handles_) {
        if (device->interface->controller != &controller || !live(*device))
            continue;
        if (device->queue.size() < QUEUE_CAPACITY)
            device->queue.push_back({ready_ms, report});
        else
            log_event(&controller, "dropped report " + std::to_string(report.empty() ? -1 : report[0]));
    }
    arrived_.notify_all();
}

// The light reading moves with every request, and so does the width while
// the firmware follows its curve: neither alone is worth remembering.
bool SimBus::state_changed(const SimController &controller)
{
    const SimState &state = controller.firmware.state();
    const ConfigBlock &block = state.config;
    const ConfigBlock &saved = controller.saved;
    if (!std::equal(block.bytes.begin() + 4, block.bytes.end(), saved.bytes.begin() + 4))
        return true;
    const bool following = state.follow_curve && block.regulation_mode() != 1;
    return !following && block.pwm_width() != saved.pwm_width();
}

// Written through a temporary file and a rename, so that a reader never sees
// half a block.
void SimBus::save_state(SimController &controller)
{
    if (!controller.persist || !state_changed(controller))
        return;
    controller.saved = controller.firmware.state().config;
    const std::string path = controller.dir + "/state";
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << format_block(controller.saved) << '\n';
        if (!out)
            return;
    }
    std::rename(temporary.c_str(), path.c_str());
}

void SimBus::log_wire(SimController &controller, const char *direction, const unsigned char *data,
                      size_t length)
{
    if (controller.wire_log)
        std::fprintf(controller.wire_log, "%lld %s %s\n", now_ms(), direction,
                     hex_bytes(data, length).c_str());
}

void SimBus::log_event(SimController *controller, const std::string &text)
{
    std::FILE *log = (controller ? *controller : controllers_.front()).event_log;
    if (log)
        std::fprintf(log, "%lld %s\n", now_ms(), text.c_str());
}

void SimBus::set_global_error(const std::string &text)
{
    global_error_ = widen(text);
}

void SimBus::set_error(hid_device *device, const std::string &text)
{
    device->error = widen(text);
}

// --- hidapi -------------------------------------------------------------------

hid_device_info *SimBus::enumerate(unsigned short vendor_id, unsigned short product_id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    refresh();
    hid_device_info *head = nullptr;
    hid_device_info **tail = &head;
    for (const SimInterface &interface : interfaces_) {
        if (!present(interface) || (vendor_id && vendor_id != interface.vendor_id)
            || (product_id && product_id != interface.product_id))
            continue;
        *tail = new hid_device_info{};
        fill_info(*tail, interface);
        tail = &(*tail)->next;
    }
    int count = 0;
    for (const hid_device_info *info = head; info; info = info->next)
        ++count;
    log_event(nullptr, "enumerate " + std::to_string(count));
    if (head)
        enumerations_.insert(head);
    return head;
}

// Lists that did not come from enumerate() are left alone rather than freed.
void SimBus::free_enumeration(hid_device_info *list)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!list || !enumerations_.erase(list))
        return;
    while (list) {
        hid_device_info *next = list->next;
        free_info_strings(list);
        delete list;
        list = next;
    }
}

hid_device *SimBus::open(unsigned short vendor_id, unsigned short product_id, const wchar_t *serial)
{
    const SimInterface *found = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        refresh();
        for (const SimInterface &interface : interfaces_) {
            if (!found && present(interface) && (!vendor_id || vendor_id == interface.vendor_id)
                && (!product_id || product_id == interface.product_id)
                && (!serial || interface.serial == serial))
                found = &interface;
        }
        if (!found) {
            set_global_error("No HID devices with requested VID/PID found in the system.");
            return nullptr;
        }
    }
    return open_path(found->path.c_str());
}

hid_device *SimBus::open_path(const char *path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    refresh();
    // A refusal leaves errno as open(2) of the node does under hidapi.
    if (!path) {
        set_global_error("Failed to open a device with path '(null)': Invalid argument");
        errno = EINVAL;
        return nullptr;
    }
    const auto found = std::find_if(interfaces_.begin(), interfaces_.end(),
                                    [path](const SimInterface &i) { return i.path == path; });
    SimController *controller = found == interfaces_.end() ? nullptr : found->controller;
    const std::string prefix = std::string("Failed to open a device with path '") + path + "': ";
    if (found == interfaces_.end() || !present(*found)) {
        set_global_error(prefix + "No such file or directory");
        log_event(controller, std::string("open-failed ") + path + " absent");
        errno = ENOENT;
        return nullptr;
    }
    if (controller) {
        for (const WireFault &fault : take_faults(*controller, true, 0)) {
            const std::string reason = fault.reason.empty() ? std::strerror(fault.error_number) : fault.reason;
            set_global_error(prefix + reason);
            log_event(controller, std::string("open-failed ") + path + ' ' + reason);
            errno = fault.error_number;
            return nullptr;
        }
    }

    auto *device = new hid_device;
    device->interface = &*found;
    device->generation = controller ? controller->generation : 0;
    fill_info(&device->info, *found);
    handles_.insert(device);
    global_error_.clear();
    log_event(controller, std::string("open ") + path);
    return device;
}

int SimBus::write(hid_device *device, const unsigned char *data, size_t length)
{
    std::lock_guard<std::mutex> lock(mutex_);
    refresh();
    if (!known(device))
        return -1;
    if (!data || length == 0) {
        set_error(device, "Invalid argument");
        return -1;
    }
    if (!live(*device)) {
        set_error(device, "No such device");
        log_event(device->interface->controller, "write-refused " + device->interface->path);
        return -1;
    }
    if (!device->interface->controller) {
        log_event(nullptr, "write " + device->interface->path);
        return int(length);
    }

    SimController &controller = *device->interface->controller;
    const int command = length > 1 ? data[1] : 0;
    const std::vector<WireFault> faults = take_faults(controller, false, command);
    const auto hit = [&faults](FaultKind kind) -> const WireFault * {
        for (const WireFault &fault : faults) {
            if (fault.kind == kind)
                return &fault;
        }
        return nullptr;
    };
    if (hit(FaultKind::write_fails)) {
        set_error(device, "Broken pipe");
        return -1;
    }
    log_wire(controller, "out", data, length);
    if (hit(FaultKind::silent))
        return int(length);

    const long long now = now_ms();
    SimState &state = controller.firmware.state();
    const unsigned light = controller.light.reading_at(now - start_ms_);
    state.config.set_light_adc(light);
    state.room = controller.room_file.room;
    if (!controller.room_file.own_ambient)
        state.room.ambient = light;
    const SimReply reply = controller.firmware.handle(data, std::min(length, size_t(REPORT_SIZE)), now - start_ms_);
    save_state(controller);
    if (hit(FaultKind::unplug_mid_exchange)) {
        set_plugged(controller, false);
        return int(length);
    }

    if (const WireFault *flood = hit(FaultKind::flood)) {
        std::vector<unsigned char> unsolicited(SIM_REPLY_SIZE, 0);
        unsolicited[0] = UNSOLICITED_CODE;
        for (int i = flood->value_or_default(command); i > 0; --i)
            deliver(controller, unsolicited, now);
    }
    std::vector<unsigned char> out(reply.begin(), reply.end());
    if (const WireFault *fault = hit(FaultKind::wrong_echo))
        out[0] = static_cast<unsigned char>(fault->value_or_default(command));
    if (const WireFault *fault = hit(FaultKind::short_reply))
        out.resize(std::min(size_t(fault->value_or_default(command)), out.size()));
    const WireFault *delay = hit(FaultKind::delay);
    deliver(controller, out, now + (delay ? delay->value_or_default(command) : 0));
    return int(length);
}

int SimBus::read(hid_device *device, unsigned char *data, size_t length, int timeout_ms)
{
    std::unique_lock<std::mutex> lock(mutex_);
    refresh();
    if (!known(device))
        return -1;
    if (!data) {
        set_error(device, "Invalid argument");
        return -1;
    }
    const long long deadline = now_ms() + timeout_ms;
    for (;;) {
        if (!live(*device)) {
            set_error(device, "unexpected poll error (device disconnected)");
            return -1;
        }
        const long long now = now_ms();
        auto ready = std::find_if(device->queue.begin(), device->queue.end(),
                                  [now](const SimPending &p) { return p.ready_ms <= now; });
        if (ready != device->queue.end()) {
            const size_t n = std::min(length, ready->bytes.size());
            std::copy_n(ready->bytes.begin(), n, data);
            device->queue.erase(ready);
            if (device->interface->controller)
                log_wire(*device->interface->controller, "in", data, n);
            return int(n);
        }
        if (timeout_ms >= 0 && now >= deadline)
            return 0;
        // Sleep until the next report is due, the time-out, or the next look
        // at the control files, whichever comes first.
        long long wait = WAIT_SLICE_MS;
        if (timeout_ms >= 0)
            wait = std::min(wait, deadline - now);
        for (const SimPending &pending : device->queue)
            wait = std::min(wait, pending.ready_ms - now);
        arrived_.wait_for(lock, std::chrono::milliseconds(std::max(wait, 1LL)));
        refresh();
        if (!known(device)) // closed by another thread meanwhile
            return -1;
    }
}

int SimBus::read_default(hid_device *device, unsigned char *data, size_t length)
{
    bool nonblocking = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!known(device))
            return -1;
        nonblocking = device->nonblocking;
    }
    return read(device, data, length, nonblocking ? 0 : -1);
}

int SimBus::set_nonblocking(hid_device *device, int nonblock)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!known(device))
        return -1;
    device->nonblocking = nonblock != 0;
    return 0;
}

int SimBus::unsupported(hid_device *device, const char *what)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (known(device))
        set_error(device, std::string(what) + ": not supported by this device");
    return -1;
}

int SimBus::string(hid_device *device, StringKind kind, wchar_t *out, size_t max_length)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!known(device) || !out || max_length == 0)
        return -1;
    const SimInterface &interface = *device->interface;
    const std::wstring &text = kind == StringKind::manufacturer ? interface.manufacturer
        : kind == StringKind::product                         ? interface.product
                                                              : interface.serial;
    std::wcsncpy(out, text.c_str(), max_length);
    out[max_length - 1] = L'\0';
    return 0;
}

hid_device_info *SimBus::device_info(hid_device *device)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return known(device) ? &device->info : nullptr;
}

const wchar_t *SimBus::error(hid_device *device)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!device)
        return global_error_.empty() ? L"Success" : global_error_.c_str();
    if (!known(device))
        return L"Not a device handle";
    return device->error.empty() ? L"Success" : device->error.c_str();
}

void SimBus::close(hid_device *device)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!known(device))
        return;
    handles_.erase(device);
    log_event(device->interface->controller, "close " + device->interface->path);
    free_info_strings(&device->info);
    delete device;
    arrived_.notify_all();
}

SimBus::Node SimBus::usb_port(const char *sysname, std::string *port)
{
    std::lock_guard<std::mutex> lock(mutex_);
    refresh();
    for (const SimInterface &interface : interfaces_) {
        if (!sysname || interface.path.compare(interface.path.rfind('/') + 1, std::string::npos, sysname) != 0)
            continue;
        if (!present(interface))
            return Node::absent;
        *port = interface.controller ? interface.controller->port : DECOY_PORT;
        return Node::present;
    }
    return Node::foreign;
}
