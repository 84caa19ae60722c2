// A process that cannot read the TCP connection table, as in a sandbox: netlink sockets refused
// (seccomp) and the /proc table files out of sight (a mount namespace of its own). Meant for a
// child process between fork and exec, or one that ends soon after: only system calls, and
// each applies to this process (and what it execs) alone. Needs root for the mounts.
#pragma once

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <stddef.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>

#include <cerrno>
#include <iterator>

namespace quendrix::test {

// Every later socket(AF_NETLINK, ...) of this process fails with EACCES.
inline bool RefuseNetlinkSockets() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_socket, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AF_NETLINK, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EACCES),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// /proc/net/tcp and tcp6 of this process (and of the program it execs, which keeps its pid)
// no longer exist: an empty file system covers its /proc/PID/net in a mount namespace of its
// own.
inline bool HideProcNetFiles() {
    return unshare(CLONE_NEWNS) == 0 &&
           mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount("none", "/proc/self/net", "tmpfs", 0, nullptr) == 0;
}

}  // namespace quendrix::test
