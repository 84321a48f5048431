#include "support/without_root_override.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// The C library has no wrapper for these without libcap; pid 0 is the calling thread.
bool capabilities(bool set, __user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
}

constexpr unsigned kOverride = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

} // namespace

WithoutRootOverride::WithoutRootOverride() {
    __user_cap_data_struct data[2] = {};
    if (!capabilities(false, data)) {
        m_error = QStringLiteral("capget: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_effective = data[0].effective;
    data[0].effective &= ~kOverride;
    if (!capabilities(true, data)) {
        m_error = QStringLiteral("capset: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_changed = true;
}

WithoutRootOverride::~WithoutRootOverride() {
    __user_cap_data_struct data[2] = {};
    if (!m_changed || !capabilities(false, data))
        return;
    data[0].effective = m_effective;
    capabilities(true, data);
}
