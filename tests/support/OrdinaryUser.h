#pragma once

#include <unistd.h>

namespace corvane::test {

// Runs as an ordinary user for its lifetime even when the tests run as root (as in CI), so that
// file permissions are enforced.
class OrdinaryUser {
public:
    OrdinaryUser() : wasRoot_(::geteuid() == 0) {
        if (wasRoot_)
            ok_ = ::seteuid(65534) == 0;
    }
    ~OrdinaryUser() {
        if (wasRoot_ && ok_)
            (void)::seteuid(0);
    }
    OrdinaryUser(const OrdinaryUser&) = delete;
    OrdinaryUser& operator=(const OrdinaryUser&) = delete;
    bool ok() const { return ok_; }

private:
    bool wasRoot_;
    bool ok_ = true;
};

}  // namespace corvane::test
