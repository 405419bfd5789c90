// TransStatus is the outcome record of every fallible operation: a warning
// flag (a usable but empty, absent or degraded result) and a failure flag (the
// operation could not do what was asked). Every operation that takes one
// resets it on entry. A status belongs to one caller and one call at a time.
#ifndef TRANSSPACE_TRANSSTATUS_H
#define TRANSSPACE_TRANSSTATUS_H

// The one export macro of the library: only the public classes carry it, all
// else is compiled with hidden visibility.
#if defined(_WIN32)
#if defined(TRANSSPACE_BUILDING)
#define TRANS_EXPORT __declspec(dllexport)
#else
#define TRANS_EXPORT __declspec(dllimport)
#endif
#else
#define TRANS_EXPORT __attribute__((visibility("default")))
#endif

class TRANS_EXPORT TransStatus {
public:
    TransStatus();                          // both flags false
    TransStatus(const TransStatus& other);  // copies both flags
    ~TransStatus();
    TransStatus& operator=(TransStatus other);  // copy-and-swap
    void swap(TransStatus& other);              // exchanges private objects only

    bool warning() const;
    // Sets the warning flag; returns its value before the call.
    bool warning(bool value);
    bool failure() const;
    // Sets the failure flag; returns its value before the call.
    bool failure(bool value);
    void reset();  // both flags false

    // True only for a clean status compared with one that has both flags set.
    bool operator<(const TransStatus& other) const;

private:
    struct Data;
    Data* data;
};

#endif
