// One copy of Tamo at a time: a lock file in the user's runtime folder, held while the program
// runs. The system drops the lock when the process ends, however it ends, so a crash never leaves
// a stale lock behind.
#pragma once

class InstanceLock {
  public:
    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // False when another copy holds the lock. A lock file that cannot be made at all (no
    // runtime folder, full disk) does not keep the program from starting.
    bool acquire();

  private:
    int fd_ = -1;
};
