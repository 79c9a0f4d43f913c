#include "DirectoryWalk.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

// At most this many directories are kept open for subdirectories still to come: a tree that
// branches at every level, thousands deep, would otherwise use up the process's descriptors.
// Past them, a directory is found again by its path.
constexpr int kHeldDirectories = 64;

// The filesystems of the kernel's own state. Not every one has a name in <linux/magic.h>.
constexpr unsigned long kConfigfsMagic = 0x62656570;
constexpr unsigned long kMqueueMagic = 0x19800202;
constexpr unsigned long kFusectlMagic = 0x65735543;
constexpr unsigned long kKernelFilesystems[] = {
    PROC_SUPER_MAGIC,     SYSFS_MAGIC,    CGROUP_SUPER_MAGIC, CGROUP2_SUPER_MAGIC,
    DEBUGFS_MAGIC,        TRACEFS_MAGIC,  SECURITYFS_MAGIC,   SELINUX_MAGIC,
    SMACK_MAGIC,          PSTOREFS_MAGIC, BPF_FS_MAGIC,       kConfigfsMagic,
    DEVPTS_SUPER_MAGIC,   kMqueueMagic,   HUGETLBFS_MAGIC,    EFIVARFS_MAGIC,
    BINFMTFS_MAGIC,       kFusectlMagic,  NSFS_MAGIC,         RDTGROUP_SUPER_MAGIC,
    BINDERFS_SUPER_MAGIC, AAFS_MAGIC,
};

// The type of the filesystem mounted as `device`, as /proc/self/mountinfo names it; empty when
// it is not to be told. Each line there reads "id parent major:minor root mount-point options
// [tags] - type source options".
std::string MountedType(dev_t device) {
    std::ifstream mounts("/proc/self/mountinfo");
    const std::string number = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string id;
        std::string parent;
        std::string numbers;
        fields >> id >> parent >> numbers;
        const std::size_t separator = line.find(" - ");
        if (numbers != number || separator == std::string::npos) {
            continue;
        }
        std::istringstream rest(line.substr(separator + 3));
        std::string type;
        rest >> type;
        return type;
    }
    return {};
}

bool IsKernelFilesystem(int dirFd, dev_t device) {
    struct statfs info {};
    if (fstatfs(dirFd, &info) != 0) {
        return false;
    }
    const auto type = static_cast<unsigned long>(info.f_type);
    // /dev shares its type with the tmpfs of /tmp and /dev/shm, where files may well be kept.
    if (type == TMPFS_MAGIC) {
        return MountedType(device) == "devtmpfs";
    }
    return std::find(std::begin(kKernelFilesystems), std::end(kKernelFilesystems), type) !=
           std::end(kKernelFilesystems);
}

} // namespace

std::size_t CDirectoryWalk::IdentityHash::operator()(const CFileFind::Identity& identity) const {
    return std::hash<ino_t>()(identity.inode) ^ (std::hash<dev_t>()(identity.device) << 1);
}

BOOL CDirectoryWalk::Start(const std::string& pattern) {
    m_levels.clear();
    m_entered.clear();
    m_kernelState.clear();
    m_held = 0;
    Level& level = m_levels.emplace_back();
    if (!level.search.FindFile(pattern)) {
        m_levels.clear();
        return FALSE;
    }
    m_held = level.search.HoldsDirectory() ? 1 : 0;
    EnterPathTo(level.search.GetRoot());
    return TRUE;
}

// Every directory from "/" down to the walk's first, along its path as written, links
// followed: a link to any of them would lead the walk back over itself.
void CDirectoryWalk::EnterPathTo(const std::string& root) {
    int fd = open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    std::size_t start = 1;
    while (fd >= 0) {
        struct stat info {};
        if (fstat(fd, &info) == 0) {
            m_entered.insert({info.st_dev, info.st_ino});
        }
        if (start >= root.size()) {
            break;
        }
        const std::size_t end = std::min(root.find('/', start), root.size());
        const int next =
            openat(fd, root.substr(start, end - start).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = next;
        start = end + 1;
    }
    if (fd >= 0) {
        close(fd);
    }
}

BOOL CDirectoryWalk::Next() {
    while (!m_levels.empty()) {
        Level& level = m_levels.back();
        if (level.more) {
            level.more = level.search.FindNextFile();
            return TRUE;
        }
        if (level.search.HoldsDirectory()) {
            --m_held;
        }
        m_levels.pop_back();
    }
    return FALSE;
}

const CFileFind& CDirectoryWalk::Current() const {
    static const CFileFind kNone;
    return m_levels.empty() ? kNone : m_levels.back().search;
}

void CDirectoryWalk::Enter(const std::string& namePattern) {
    if (m_levels.empty()) {
        return;
    }
    CFileFind& parent = m_levels.back().search;
    const CFileFind::Entry* entry = parent.Current();
    if (entry == nullptr || !entry->directory || parent.IsDots() ||
        !m_entered.insert(entry->identity).second) {
        return;
    }
    const int dirFd = parent.OpenCurrentDirectory();
    if (dirFd < 0) {
        return;
    }
    if (IsKernelState(dirFd, entry->identity.device)) {
        close(dirFd);
        return;
    }
    if (parent.HoldsDirectory() && (!parent.DirectoryFollows() || m_held >= kHeldDirectories)) {
        parent.ReleaseDirectory();
        --m_held;
    }
    Level& level = m_levels.emplace_back();
    if (!level.search.FindIn(parent.GetFilePath(), dirFd, namePattern)) {
        m_levels.pop_back();
        return;
    }
    if (level.search.HoldsDirectory()) {
        ++m_held;
    }
}

bool CDirectoryWalk::IsKernelState(int dirFd, dev_t device) {
    const auto [known, added] = m_kernelState.try_emplace(device, false);
    if (added) {
        known->second = IsKernelFilesystem(dirFd, device);
    }
    return known->second;
}
