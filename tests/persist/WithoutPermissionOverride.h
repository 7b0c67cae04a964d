#pragma once
// Makes permission checks apply to the calling thread even when it runs as
// root, for as long as it lives: root's capabilities to pass them are taken
// out of its effective set and put back afterwards. Without root it changes
// nothing.

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace corvinta::test {

class WithoutPermissionOverride {
public:
    WithoutPermissionOverride()
    {
        if (syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        lowered_ = syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~WithoutPermissionOverride()
    {
        if (lowered_)
            syscall(SYS_capset, &header_, saved_);
    }
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool lowered_ = false;
};

} // namespace corvinta::test
