#pragma once

#include <grp.h>
#include <unistd.h>

#include <vector>

namespace velmora::test {

// Acts as user and group "nobody" while alive when running as root, so file permissions apply.
class Unprivileged {
public:
    Unprivileged()
    {
        if (::geteuid() != 0)
            return;
        m_groups.resize(std::size_t(::getgroups(0, nullptr)));
        ::getgroups(int(m_groups.size()), m_groups.data());
        m_active = ::setgroups(0, nullptr) == 0 && ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    }
    ~Unprivileged()
    {
        if (!m_active)
            return;
        (void)::seteuid(0);
        (void)::setegid(0);
        (void)::setgroups(m_groups.size(), m_groups.data());
    }
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;

private:
    std::vector<gid_t> m_groups;
    bool m_active = false;
};

} // namespace velmora::test
