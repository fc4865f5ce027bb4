// The file copies of a tree copy, made on a few threads at once. Each copy waits on the file
// system for most of its time (under Wine, on the one server process that opens every file), so
// copies in flight together finish sooner than one after the other.
#pragma once
#include "identity/ThreadIdentity.h"
#include "paths/NormalPath.h"

#include <exception>
#include <optional>
#include <thread>
#include <vector>

#include <windows.h>

namespace files {

class CopyWorkers {
public:
    struct Copy {
        paths::NormalPath source;
        paths::NormalPath destination;
    };

    // `attempts` as copyFile takes them. No thread starts before the first batch of two copies.
    explicit CopyWorkers(int attempts);
    // Stops the threads, waits for them, and warns in the event log when one took no copies.
    ~CopyWorkers();
    CopyWorkers(const CopyWorkers&) = delete;
    CopyWorkers& operator=(const CopyWorkers&) = delete;

    // Makes every copy (copyFile; an existing destination replaced only with `replace`) and
    // returns when none is in flight. The calling thread takes copies too; the other threads
    // first take on the calling thread's security context (ThreadIdentity) and copy nothing when
    // that fails, so every copy runs as the caller. A failure raises the failure of the first
    // copy, in batch order, that failed; once one failed, no further copy starts.
    void copyAll(const std::vector<Copy>& copies, bool replace);

private:
    void start();
    void work();
    // Takes the next copy of the batch under the lock, or false when there is none to start.
    bool take(size_t* index);
    // Makes copy `index` and records its end (and its failure).
    void run(size_t index) noexcept;

    int attempts_;
    std::optional<identity::ThreadIdentity> identity_; // the calling thread's, once threads started
    SRWLOCK lock_ = SRWLOCK_INIT;
    // Slim locks and condition variables wait without a kernel object: under Wine they wait in
    // the process, where an event would cost a round trip to the server for every hand-over.
    CONDITION_VARIABLE wake_ = CONDITION_VARIABLE_INIT; // a batch arrived, or the end
    CONDITION_VARIABLE idle_ = CONDITION_VARIABLE_INIT; // the last copy in flight ended
    const std::vector<Copy>* batch_ = nullptr;
    bool replace_ = true;
    size_t next_ = 0;     // copies of the batch handed out
    size_t finished_ = 0; // copies of the batch ended
    size_t failedAt_ = 0; // the first failed copy, when `failure_` is set
    std::exception_ptr failure_;
    std::exception_ptr refusal_; // why a thread took no copies (the first such reason)
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace files
