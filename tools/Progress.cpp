#include "Progress.h"

#include <unistd.h>

#include <cstdio>

namespace {

// Work shorter than this never shows a line.
constexpr auto kQuiet = std::chrono::milliseconds(1000);
constexpr auto kRedraw = std::chrono::milliseconds(200);
// A line longer than the terminal wraps, and then cannot be overwritten.
constexpr std::size_t kWidth = 72;

}  // namespace

void Progress::start(int phases) {
    if (isatty(STDERR_FILENO) == 0 || drawer.joinable()) return;
    steps = phases;
    started = std::chrono::steady_clock::now();
    drawer = std::thread([this] { run(); });
}

void Progress::phase(const std::string& text) {
    std::lock_guard<std::mutex> hold(lock);
    ++step;
    what = text;
    percent = -1;
}

void Progress::share(std::size_t done, std::size_t total) {
    if (total == 0) return;
    std::lock_guard<std::mutex> hold(lock);
    percent = static_cast<int>(done * 100 / total);
}

void Progress::say(const std::string& line) {
    std::lock_guard<std::mutex> hold(lock);
    clear();
    std::fprintf(stderr, "%s\n", line.c_str());
}

void Progress::finish() {
    if (!drawer.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
    }
    wake.notify_all();
    drawer.join();
    std::lock_guard<std::mutex> hold(lock);
    clear();
}

void Progress::run() {
    std::unique_lock<std::mutex> hold(lock);
    while (!wake.wait_for(hold, kRedraw, [this] { return stopping; }))
        if (std::chrono::steady_clock::now() - started >= kQuiet && step > 0) draw();
}

void Progress::draw() {
    std::string line =
        "transspace: " + std::to_string(step) + "/" + std::to_string(steps) + " " + what;
    if (percent >= 0) line += " " + std::to_string(percent) + "%";
    if (line.size() > kWidth) {
        std::size_t cut = kWidth - 3;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        line = line.substr(0, cut) + "...";
    }
    if (shown && line == drawn) return;
    drawn = line;
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    shown = true;
}

void Progress::clear() {
    if (!shown) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown = false;
}
