// The tool's progress line: phase and share done, on standard error, only
// when standard error is a terminal and the work has gone on for about a
// second. It is redrawn in place by a thread of its own and cleared at the
// end, so scripts and short runs see nothing of it.
#ifndef TRANSSPACE_TOOLS_PROGRESS_H
#define TRANSSPACE_TOOLS_PROGRESS_H

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>

class Progress {
public:
    Progress() = default;
    ~Progress() { finish(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Starts watching the work of steps phases; does nothing unless standard
    // error is a terminal.
    void start(int steps);
    // The work enters its next phase.
    void phase(const std::string& what);
    // The share of the current phase done so far.
    void share(std::size_t done, std::size_t total);
    // Writes one line to standard error, with the progress line out of the way.
    void say(const std::string& line);
    // Clears the line and stops; the work is over.
    void finish();

private:
    void run();
    void draw();   // REQUIRES: lock held
    void clear();  // REQUIRES: lock held

    std::mutex lock;
    std::condition_variable wake;
    std::thread drawer;
    std::chrono::steady_clock::time_point started;
    bool stopping = false;
    bool shown = false;
    int steps = 0;
    int step = 0;
    std::string what;
    int percent = -1;
    std::string drawn;
};

#endif
