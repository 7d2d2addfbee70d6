#include "sim_bus.h"

#include "protocol/commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <sstream>

namespace {

// The controller sits behind a decoy from the same maker, so a host that
// matched on the vendor alone would open the wrong interface.
const SimInterface INTERFACES[] = {
    {"/dev/hidraw0", CONTROLLER_VENDOR_ID, 0x00BC, L"Morvane", L"Morvane light sensor", L"SIM-0002",
     false},
    {"/dev/hidraw1", CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, L"Morvane",
     L"Morvane PWM controller", L"SIM-0001", true},
};

constexpr int REPORT_SIZE = 65;         // report ID, command, 63 payload bytes
constexpr size_t QUEUE_CAPACITY = 64;   // input reports hidraw keeps per reader
constexpr unsigned char UNSOLICITED_CODE = 0xEE;
constexpr long long REFRESH_MS = 5;     // control files are looked at this often
constexpr long long WAIT_SLICE_MS = 5;  // a waiting read looks again this often

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
    info->path = copy_string(interface.path);
    info->vendor_id = interface.vendor_id;
    info->product_id = interface.product_id;
    info->serial_number = copy_string(interface.serial);
    info->release_number = 0x0100;
    info->manufacturer_string = copy_string(interface.manufacturer);
    info->product_string = copy_string(interface.product);
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

} // namespace

bool SimBus::FileStamp::operator==(const FileStamp &other) const
{
    return exists == other.exists && mtime_ns == other.mtime_ns && inode == other.inode
        && size == other.size;
}

SimBus &SimBus::instance()
{
    static SimBus *bus = new SimBus;
    return *bus;
}

SimBus::SimBus()
    : start_ms_(now_ms())
    , files_{
          {"plugged", &SimBus::apply_plugged, {}},
          {"version", &SimBus::apply_version, {}},
          {"light", &SimBus::apply_light, {}},
          {"mode", &SimBus::apply_mode, {}},
          {"pwm_width", &SimBus::apply_pwm_width, {}},
          {"faults", &SimBus::apply_faults, {}},
      }
{
    firmware_.state().follow_curve = true;
    if (const char *dir = std::getenv("MORVANE_SIM_DIR"); dir && *dir)
        dir_ = dir;
    if (dir_.empty())
        return;

    ::mkdir(dir_.c_str(), 0700);
    wire_log_ = open_log(dir_ + "/wire.log");
    event_log_ = open_log(dir_ + "/events.log");
    log_event("loaded pid " + std::to_string(::getpid()));

    // The state file's presence asks for a controller that remembers its
    // block across restarts of the program.
    std::string state;
    persist_ = read_file(dir_ + "/state", &state);
    if (persist_) {
        if (const std::optional<ConfigBlock> block = parse_block(state))
            firmware_.state().config = *block;
        else if (!state.empty())
            log_event("note state file unreadable, factory block used");
    }
    saved_ = firmware_.state().config;
    refresh(true);
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

    for (ControlFile &file : files_) {
        const std::string path = dir_ + '/' + file.name;
        FileStamp stamp;
        struct stat info;
        if (::stat(path.c_str(), &info) == 0) {
            stamp.exists = true;
            stamp.mtime_ns = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
            stamp.inode = info.st_ino;
            stamp.size = info.st_size;
        }
        if (stamp == file.seen)
            continue;
        file.seen = stamp;
        std::string content;
        const bool readable = stamp.exists && read_file(path, &content);
        (this->*file.apply)(readable ? &content : nullptr);
    }
    save_state();
}

void SimBus::apply_plugged(const std::string *content)
{
    const std::optional<long> plugged = content ? parse_number(*content, 0, 1) : 1;
    if (!plugged) {
        log_event("note plugged: expected 0 or 1");
        return;
    }
    set_plugged(*plugged == 1);
}

void SimBus::apply_version(const std::string *content)
{
    const std::optional<long> version = content ? parse_number(*content, 0, 255) : CONTROLLER_VERSION;
    if (version)
        firmware_.state().version = int(*version);
    else
        log_event("note version: expected 0..255");
}

void SimBus::apply_light(const std::string *content)
{
    const std::optional<LightModel> model = content ? LightModel::parse(*content) : LightModel();
    if (model)
        light_ = *model;
    else
        log_event("note light: expected N, const N, sine MID AMP PERIOD_MS or ramp FROM TO PERIOD_MS");
}

// The mode is set once, when the file appears or changes; the host may
// switch it later with cmd_set_mode.
void SimBus::apply_mode(const std::string *content)
{
    if (!content)
        return;
    if (const std::optional<long> mode = parse_number(*content, 0, 255))
        firmware_.state().config.set_regulation_mode(unsigned(*mode));
    else
        log_event("note mode: expected 0..255");
}

// A number pins the width the firmware drives; "curve" (or no file) lets it
// follow its curve in automatic regulation.
void SimBus::apply_pwm_width(const std::string *content)
{
    SimState &state = firmware_.state();
    std::string word;
    if (content)
        std::istringstream(*content) >> word;
    if (!content || word == "curve") {
        state.follow_curve = true;
    } else if (const std::optional<long> width = parse_number(*content, 0, 0xFFFF)) {
        state.follow_curve = false;
        state.config.set_pwm_width(unsigned(*width));
    } else {
        log_event("note pwm_width: expected 0..65535 or curve");
    }
}

void SimBus::apply_faults(const std::string *content)
{
    std::vector<std::string> notes;
    faults_ = content ? parse_faults(*content, &notes) : std::vector<WireFault>();
    for (const std::string &note : notes)
        log_event("note " + note);
}

// Unplugging kills every handle of the controller for good; after a replug
// only a new open reaches it, as with a real USB device.
void SimBus::set_plugged(bool plugged)
{
    if (plugged == plugged_)
        return;
    plugged_ = plugged;
    if (!plugged)
        ++generation_;
    log_event(plugged ? "plugged" : "unplugged");
}

bool SimBus::present(const SimInterface &interface) const
{
    return !interface.controller || plugged_;
}

bool SimBus::live(const hid_device &device) const
{
    return !device.interface->controller || (plugged_ && device.generation == generation_);
}

bool SimBus::known(hid_device *device) const
{
    return device && handles_.count(device);
}

// The faults that hit this request (or this open), each worn down by one use.
std::vector<WireFault> SimBus::take_faults(bool opening, int command)
{
    std::vector<WireFault> hits;
    for (WireFault &fault : faults_) {
        const bool for_open = fault.kind == FaultKind::deny_open;
        if (for_open != opening)
            continue;
        if (!opening && fault.command != FAULT_ANY_COMMAND && fault.command != command)
            continue;
        hits.push_back(fault);
        log_event(std::string("fault ") + fault_name(fault.kind) + " cmd " + std::to_string(command));
        if (fault.times > 0)
            --fault.times;
    }
    faults_.erase(std::remove_if(faults_.begin(), faults_.end(),
                                 [](const WireFault &f) { return f.times == 0; }),
                  faults_.end());
    return hits;
}

// Every live handle of the controller gets its own copy; a full queue drops
// the new report, as hidraw does.
void SimBus::deliver(const std::vector<unsigned char> &report, long long ready_ms)
{
    for (hid_device *device : handles_) {
        if (!device->interface->controller || !live(*device))
            continue;
        if (device->queue.size() < QUEUE_CAPACITY)
            device->queue.push_back({ready_ms, report});
        else
            log_event("dropped report " + std::to_string(report.empty() ? -1 : report[0]));
    }
    arrived_.notify_all();
}

// The light reading moves with every request, and so does the width while
// the firmware follows its curve: neither alone is worth remembering.
bool SimBus::state_changed() const
{
    const SimState &state = firmware_.state();
    const ConfigBlock &block = state.config;
    if (!std::equal(block.bytes.begin() + 4, block.bytes.end(), saved_.bytes.begin() + 4))
        return true;
    const bool following = state.follow_curve && block.regulation_mode() != 1;
    return !following && block.pwm_width() != saved_.pwm_width();
}

// Written through a temporary file and a rename, so that a reader never sees
// half a block.
void SimBus::save_state()
{
    if (!persist_ || !state_changed())
        return;
    saved_ = firmware_.state().config;
    const std::string path = dir_ + "/state";
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << format_block(saved_) << '\n';
        if (!out)
            return;
    }
    std::rename(temporary.c_str(), path.c_str());
}

void SimBus::log_wire(const char *direction, const unsigned char *data, size_t length)
{
    if (wire_log_)
        std::fprintf(wire_log_, "%lld %s %s\n", now_ms(), direction, hex_bytes(data, length).c_str());
}

void SimBus::log_event(const std::string &text)
{
    if (event_log_)
        std::fprintf(event_log_, "%lld %s\n", now_ms(), text.c_str());
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
    for (const SimInterface &interface : INTERFACES) {
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
    log_event("enumerate " + std::to_string(count));
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
        for (const SimInterface &interface : INTERFACES) {
            if (!found && present(interface) && (!vendor_id || vendor_id == interface.vendor_id)
                && (!product_id || product_id == interface.product_id)
                && (!serial || std::wcscmp(serial, interface.serial) == 0))
                found = &interface;
        }
        if (!found) {
            set_global_error("No HID devices with requested VID/PID found in the system.");
            return nullptr;
        }
    }
    return open_path(found->path);
}

hid_device *SimBus::open_path(const char *path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    refresh();
    if (!path) {
        set_global_error("Failed to open a device with path '(null)': Invalid argument");
        return nullptr;
    }
    const SimInterface *found = nullptr;
    for (const SimInterface &interface : INTERFACES) {
        if (present(interface) && std::strcmp(path, interface.path) == 0)
            found = &interface;
    }
    const std::string prefix = std::string("Failed to open a device with path '") + path + "': ";
    if (!found) {
        set_global_error(prefix + "No such file or directory");
        log_event(std::string("open-failed ") + path + " absent");
        return nullptr;
    }
    if (found->controller) {
        for (const WireFault &fault : take_faults(true, 0)) {
            set_global_error(prefix + fault.reason);
            log_event(std::string("open-failed ") + path + ' ' + fault.reason);
            return nullptr;
        }
    }

    auto *device = new hid_device;
    device->interface = found;
    device->generation = generation_;
    fill_info(&device->info, *found);
    handles_.insert(device);
    global_error_.clear();
    log_event(std::string("open ") + path);
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
        log_event(std::string("write-refused ") + device->interface->path);
        return -1;
    }
    if (!device->interface->controller) {
        log_event(std::string("write ") + device->interface->path);
        return int(length);
    }

    const int command = length > 1 ? data[1] : 0;
    const std::vector<WireFault> faults = take_faults(false, command);
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
    log_wire("out", data, length);
    if (hit(FaultKind::silent))
        return int(length);

    const long long now = now_ms();
    firmware_.state().config.set_light_adc(light_.reading_at(now - start_ms_));
    const SimReply reply = firmware_.handle(data, std::min(length, size_t(REPORT_SIZE)));
    save_state();
    if (hit(FaultKind::unplug_mid_exchange)) {
        set_plugged(false);
        return int(length);
    }

    if (const WireFault *flood = hit(FaultKind::flood)) {
        std::vector<unsigned char> unsolicited(SIM_REPLY_SIZE, 0);
        unsolicited[0] = UNSOLICITED_CODE;
        for (int i = flood->value_or_default(command); i > 0; --i)
            deliver(unsolicited, now);
    }
    std::vector<unsigned char> out(reply.begin(), reply.end());
    if (const WireFault *fault = hit(FaultKind::wrong_echo))
        out[0] = static_cast<unsigned char>(fault->value_or_default(command));
    if (const WireFault *fault = hit(FaultKind::short_reply))
        out.resize(std::min(size_t(fault->value_or_default(command)), out.size()));
    const WireFault *delay = hit(FaultKind::delay);
    deliver(out, now + (delay ? delay->value_or_default(command) : 0));
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
            log_wire("in", data, n);
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
    const wchar_t *text = kind == StringKind::manufacturer ? interface.manufacturer
        : kind == StringKind::product                    ? interface.product
                                                         : interface.serial;
    std::wcsncpy(out, text, max_length);
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
    log_event(std::string("close ") + device->interface->path);
    free_info_strings(&device->info);
    delete device;
    arrived_.notify_all();
}
