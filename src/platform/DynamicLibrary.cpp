#include "DynamicLibrary.h"

#include "DynamicLibraryCheck.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace vedomec {

namespace {

QString systemError(const QString& what)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

bool writeAll(int fd, const char* p, std::size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= std::size_t(w);
    }
    return true;
}

// A private copy of the file in memory, sealed against every change: the
// loader maps exactly the bytes that were checked, whatever happens to the
// file meanwhile.  -1, with the reason in `error`, when there is none.
int sealedCopy(const QString& path, QString& error)
{
    // Non-blocking, so that a pipe or a device under the name cannot hang
    // the open; only a regular file is read.
    const int in = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (in < 0) {
        error = systemError(path);
        return -1;
    }
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = QStringLiteral("%1: not a regular file").arg(path);
        ::close(in);
        return -1;
    }
    const int out = ::memfd_create("vedomec-library", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (out < 0) {
        error = systemError(QStringLiteral("private copy of %1").arg(path));
        ::close(in);
        return -1;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t r = ::read(in, buffer, sizeof buffer);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || (r > 0 && !writeAll(out, buffer, std::size_t(r)))) {
            error = systemError(QStringLiteral("copying %1").arg(path));
            ::close(in);
            ::close(out);
            return -1;
        }
        if (r == 0)
            break;
    }
    ::close(in);
    if (::fcntl(out, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        error = systemError(QStringLiteral("sealing the copy of %1").arg(path));
        ::close(out);
        return -1;
    }
    return out;
}

// What is wrong with the copy as a shared object; empty when nothing is.
QString checkCopy(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return systemError(QStringLiteral("private copy"));
    if (st.st_size <= 0)
        return sharedObjectFault({});
    const std::size_t size = std::size_t(st.st_size);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map == MAP_FAILED)
        return systemError(QStringLiteral("private copy"));
    const QString fault = sharedObjectFault(QByteArrayView(static_cast<const char*>(map), qsizetype(size)));
    ::munmap(map, size);
    return fault;
}

} // namespace

DynamicLibrary::~DynamicLibrary()
{
    unload();
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
{
    *this = std::move(other);
}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept
{
    if (this != &other) {
        unload();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_copy = std::exchange(other.m_copy, -1);
        m_fileName = std::move(other.m_fileName);
        m_segments = std::move(other.m_segments);
        other.m_fileName.clear();
        other.m_segments.clear();
    }
    return *this;
}

bool DynamicLibrary::load(const QString& path, QString* error)
{
    unload();
    QString reason;
    const int copy = sealedCopy(path, reason);
    if (copy < 0) {
        if (error)
            *error = reason;
        return false;
    }
    reason = checkCopy(copy);
    if (!reason.isEmpty()) {
        ::close(copy);
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, reason);
        return false;
    }

    // The loader opens the copy by its descriptor's name; an absolute path
    // also keeps it from searching the system's folders.
    const QByteArray native = "/proc/self/fd/" + QByteArray::number(copy);
    dlerror();
    void* handle = ::dlopen(native.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error) {
            const char* message = dlerror();
            *error = message ? QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(message))
                             : QStringLiteral("cannot load %1").arg(path);
        }
        ::close(copy);
        return false;
    }

    link_map* map = nullptr;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map) {
        ::dlclose(handle);
        ::close(copy);
        if (error)
            *error = QStringLiteral("no link map for %1").arg(path);
        return false;
    }
    struct Search {
        const link_map* map;
        std::vector<Segment>* out;
    } search {map, &m_segments};
    ::dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* s = static_cast<Search*>(data);
            const char* name = info->dlpi_name ? info->dlpi_name : "";
            const char* mapName = s->map->l_name ? s->map->l_name : "";
            if (info->dlpi_addr != s->map->l_addr || std::strcmp(name, mapName) != 0)
                return 0;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& ph = info->dlpi_phdr[i];
                if (ph.p_type == PT_LOAD && (ph.p_flags & PF_R) && ph.p_memsz > 0) {
                    const quintptr begin = info->dlpi_addr + ph.p_vaddr;
                    s->out->push_back({begin, begin + ph.p_memsz, (ph.p_flags & PF_X) != 0});
                }
            }
            return 1;
        },
        &search);
    m_handle = handle;
    m_copy = copy;
    m_fileName = path;
    return true;
}

void DynamicLibrary::unload()
{
    if (m_handle)
        ::dlclose(m_handle);
    if (m_copy >= 0)
        ::close(m_copy);
    m_handle = nullptr;
    m_copy = -1;
    m_fileName.clear();
    m_segments.clear();
}

bool DynamicLibrary::containsRange(const void* p, std::size_t size) const
{
    const auto begin = reinterpret_cast<quintptr>(p);
    if (!p || begin + size < begin)
        return false;
    for (const Segment& s : m_segments)
        if (begin >= s.begin && begin + size <= s.end)
            return true;
    return false;
}

bool DynamicLibrary::isCode(const void* p) const
{
    const auto at = reinterpret_cast<quintptr>(p);
    for (const Segment& s : m_segments)
        if (at >= s.begin && at < s.end)
            return s.executable;
    return false;
}

void* DynamicLibrary::findExport(const char* name) const
{
    if (!m_handle)
        return nullptr;
    void* p = ::dlsym(m_handle, name);
    // dlsym also finds the symbols of the libraries this one depends on.
    return containsRange(p, 1) ? p : nullptr;
}

QByteArray DynamicLibrary::resourceSymbol(quint16 id)
{
    return QByteArrayLiteral("rcdata_") + QByteArray::number(id);
}

QByteArrayView DynamicLibrary::resource(quint16 id) const
{
    void* p = findExport(resourceSymbol(id).constData());
    if (!p)
        return {};
    Dl_info info {};
    void* entry = nullptr;
    if (!::dladdr1(p, &info, &entry, RTLD_DL_SYMENT) || !entry || info.dli_saddr != p)
        return {};
    const auto* symbol = static_cast<const ElfW(Sym)*>(entry);
#if __ELF_NATIVE_CLASS == 64
    if (ELF64_ST_TYPE(symbol->st_info) != STT_OBJECT)
#else
    if (ELF32_ST_TYPE(symbol->st_info) != STT_OBJECT)
#endif
        return {};
    const std::size_t size = symbol->st_size;
    if (size == 0 || size > std::size_t(std::numeric_limits<qsizetype>::max()) || !containsRange(p, size))
        return {};
    return QByteArrayView(static_cast<const char*>(p), qsizetype(size));
}

std::optional<QByteArray> DynamicLibrary::copyMemory(const void* p, std::size_t size)
{
    const auto begin = reinterpret_cast<quintptr>(p);
    if (!p || begin + size < begin || size > std::size_t(std::numeric_limits<qsizetype>::max()))
        return std::nullopt;
    QByteArray copy(qsizetype(size), Qt::Uninitialized);
    // The kernel reads for us and answers EFAULT where a plain read would
    // fault.
    std::size_t done = 0;
    while (done < size) {
        iovec local {copy.data() + done, size - done};
        iovec remote {const_cast<char*>(static_cast<const char*>(p)) + done, size - done};
        const ssize_t n = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == ENOSYS || errno == EPERM) && done == 0)
            break; // not allowed here: through a pipe instead
        return std::nullopt;
    }
    if (done == size)
        return copy;

    // write() also answers EFAULT for memory that is not there.
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return std::nullopt;
    bool ok = true;
    for (std::size_t at = 0; ok && at < size;) {
        const std::size_t chunk = std::min<std::size_t>(size - at, 4096);
        const ssize_t w = ::write(pipe[1], static_cast<const char*>(p) + at, chunk);
        if (w < 0 && errno == EINTR)
            continue;
        ok = w > 0;
        for (ssize_t got = 0; ok && got < w;) {
            const ssize_t r = ::read(pipe[0], copy.data() + at + got, std::size_t(w - got));
            if (r < 0 && errno == EINTR)
                continue;
            ok = r > 0;
            got += r;
        }
        at += ok ? std::size_t(w) : 0;
    }
    ::close(pipe[0]);
    ::close(pipe[1]);
    return ok ? std::optional<QByteArray>(copy) : std::nullopt;
}

} // namespace vedomec
