// Times what a person would see on an X display, for bench/run. All times
// are on the monotonic clock in milliseconds, the clock of the simulated
// controller's wire log.
//
//   xwatch map PROGRAM [ARGS...]
//       Starts PROGRAM and waits until a top-level window of that process is
//       mapped. Prints "pid", "window", "at_ms" (start), "mapped_ms" (time
//       from start to map) and "cpu_ms" (CPU time the process had used by
//       then, all threads: unlike the wall time, not stretched by other load
//       on the machine). PROGRAM keeps running; its output goes to stderr.
//   xwatch change WINDOW TIMEOUT_MS COMMAND [ARGS...]
//       Takes the window's image, runs COMMAND to its end and waits until the
//       window looks different (more than a text cursor's worth of pixels).
//       Prints "at_ms" (COMMAND started) and "changed_ms" (time to the change).
//   xwatch run COMMAND [ARGS...]
//       Prints "at_ms", then runs COMMAND to its end.
//
// Exit status 0 on success, 1 on a time-out or an X error, 2 on bad usage.

#include <xcb/xcb.h>

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int MAP_TIMEOUT_MS = 30000;
constexpr int POLL_MS = 5;
// A blinking text cursor changes a line of some 15 pixels; disabling a frame
// greys every text in it.
constexpr long CHANGED_PIXELS = 100;

double now_ms()
{
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <class T>
Reply<T> reply(T *raw)
{
    return Reply<T>(raw, &std::free);
}

// Starts argv[0] with its standard output sent to stderr, so that our own
// output holds only the figures.
pid_t spawn(char **argv)
{
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        execvp(argv[0], argv);
        std::perror(argv[0]);
        _exit(127);
    }
    return pid;
}

int run_to_end(char **argv)
{
    const pid_t pid = spawn(argv);
    if (pid < 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// CPU time of all threads of a process, from the scheduler's nanosecond
// counters (/proc/<pid>/task/<tid>/schedstat, first field).
double cpu_ms(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR *dir = opendir(tasks.c_str());
    if (!dir)
        return -1;
    double total_ns = 0;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
        double ns = 0;
        if (stat >> ns)
            total_ns += ns;
    }
    closedir(dir);
    return total_ns / 1e6;
}

xcb_atom_t atom(xcb_connection_t *x, const char *name)
{
    auto r = reply(xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, uint16_t(std::strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

long window_pid(xcb_connection_t *x, xcb_window_t window, xcb_atom_t net_wm_pid)
{
    auto r = reply(xcb_get_property_reply(
        x, xcb_get_property(x, 0, window, net_wm_pid, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!r || xcb_get_property_value_length(r.get()) < 4)
        return -1;
    return long(*static_cast<uint32_t *>(xcb_get_property_value(r.get())));
}

int map(xcb_connection_t *x, xcb_screen_t *screen, char **argv)
{
    const xcb_atom_t net_wm_pid = atom(x, "_NET_WM_PID");
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    const double start = now_ms();
    const pid_t pid = spawn(argv);
    if (pid < 0)
        return 1;
    while (now_ms() - start < MAP_TIMEOUT_MS) {
        auto event = reply(xcb_poll_for_event(x));
        if (!event) {
            if (xcb_connection_has_error(x) || waitpid(pid, nullptr, WNOHANG) == pid)
                break;
            usleep(200);
            continue;
        }
        if ((event->response_type & ~0x80) != XCB_MAP_NOTIFY)
            continue;
        const double mapped = now_ms();
        const auto *notify = reinterpret_cast<xcb_map_notify_event_t *>(event.get());
        if (notify->override_redirect || window_pid(x, notify->window, net_wm_pid) != pid)
            continue;
        std::printf("pid %d\nwindow %u\nat_ms %.1f\nmapped_ms %.1f\ncpu_ms %.1f\n", int(pid),
                    unsigned(notify->window), start, mapped - start, cpu_ms(pid));
        return 0;
    }
    std::fprintf(stderr, "xwatch: no window of %s was mapped\n", argv[0]);
    return 1;
}

bool image(xcb_connection_t *x, xcb_window_t window, std::vector<uint8_t> *pixels, int *bytes_per_pixel)
{
    auto geometry = reply(xcb_get_geometry_reply(x, xcb_get_geometry(x, window), nullptr));
    if (!geometry || geometry->width == 0 || geometry->height == 0)
        return false;
    auto r = reply(xcb_get_image_reply(
        x, xcb_get_image(x, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, geometry->width,
                         geometry->height, ~0u),
        nullptr));
    if (!r)
        return false;
    const uint8_t *data = xcb_get_image_data(r.get());
    pixels->assign(data, data + xcb_get_image_data_length(r.get()));
    *bytes_per_pixel = std::max(1, int(pixels->size() / (geometry->width * geometry->height)));
    return true;
}

long changed_pixels(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b, int bytes_per_pixel)
{
    if (a.size() != b.size())
        return CHANGED_PIXELS + 1; // resized: surely changed
    long changed = 0;
    for (size_t i = 0; i + bytes_per_pixel <= a.size(); i += bytes_per_pixel)
        changed += std::memcmp(&a[i], &b[i], bytes_per_pixel) != 0;
    return changed;
}

int change(xcb_connection_t *x, xcb_window_t window, int timeout_ms, char **argv)
{
    std::vector<uint8_t> before, now;
    int bytes_per_pixel = 4;
    if (!image(x, window, &before, &bytes_per_pixel)) {
        std::fprintf(stderr, "xwatch: cannot read window %u\n", unsigned(window));
        return 1;
    }
    const double start = now_ms();
    if (run_to_end(argv) != 0) {
        std::fprintf(stderr, "xwatch: %s failed\n", argv[0]);
        return 1;
    }
    while (now_ms() - start < timeout_ms) {
        const double seen = now_ms();
        if (image(x, window, &now, &bytes_per_pixel)
            && changed_pixels(before, now, bytes_per_pixel) > CHANGED_PIXELS) {
            std::printf("at_ms %.1f\nchanged_ms %.1f\n", start, seen - start);
            return 0;
        }
        usleep(POLL_MS * 1000);
    }
    std::fprintf(stderr, "xwatch: window %u did not change within %d ms\n", unsigned(window), timeout_ms);
    return 1;
}

int usage()
{
    std::fprintf(stderr, "usage: xwatch map PROGRAM [ARGS...]\n"
                         "       xwatch change WINDOW TIMEOUT_MS COMMAND [ARGS...]\n"
                         "       xwatch run COMMAND [ARGS...]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return usage();
    const std::string mode = argv[1];
    if (mode == "run") {
        std::printf("at_ms %.1f\n", now_ms());
        std::fflush(stdout);
        return run_to_end(argv + 2) == 0 ? 0 : 1;
    }

    int screen_number = 0;
    xcb_connection_t *x = xcb_connect(nullptr, &screen_number);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "xwatch: cannot open the display\n");
        return 1;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(x));
    for (int i = 0; i < screen_number; ++i)
        xcb_screen_next(&screens);

    int result = 2;
    if (mode == "map")
        result = map(x, screens.data, argv + 2);
    else if (mode == "change" && argc >= 5)
        result = change(x, xcb_window_t(std::strtoul(argv[2], nullptr, 0)), std::atoi(argv[3]), argv + 4);
    else
        usage();
    xcb_disconnect(x);
    return result;
}
