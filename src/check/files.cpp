#include "check/files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "check/exploration/saved.h"
#include "replay/command_line.h"
#include "replay/shown.h"

Standard_Output Note_Standard_Output()
{
    struct stat status {
    };
    if (fstat(STDOUT_FILENO, &status) != 0) {
        return {};
    }
    return {true, status.st_dev, status.st_ino};
}

bool Names_Standard_Output(const Standard_Output& noted, const char* path)
{
    struct stat status {
    };
    return std::strcmp(path, "-") == 0 ||
           (noted.known && stat(path, &status) == 0 && status.st_dev == noted.device &&
            status.st_ino == noted.inode);
}

int Read_Saved_File(const char* program, const char* path, std::string& bytes)
{
    const bool standard_input = std::strcmp(path, "-") == 0;
    const int fd = standard_input ? STDIN_FILENO : open(path, O_RDONLY | O_CLOEXEC);
    constexpr std::size_t CHUNK = std::size_t{1} << 16;
    // The header's size once known, and never more than MAX_SAVED_BYTES;
    // one byte past it is read, to know that the file runs past it.
    std::size_t limit = MAX_SAVED_BYTES;
    bool foreign = false; // its first bytes are enough to refuse it
    ssize_t n = 0;
    while (fd >= 0 && bytes.size() <= limit && !foreign) {
        const std::size_t at = bytes.size();
        bytes.resize(at + std::min(CHUNK, limit + 1 - at));
        n = read(fd, bytes.data() + at, bytes.size() - at);
        bytes.resize(at + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        const std::optional<std::uint64_t> size = Saved_Size(bytes);
        foreign = size == 0U;
        limit = size && !foreign && *size < MAX_SAVED_BYTES ? static_cast<std::size_t>(*size)
                                                            : MAX_SAVED_BYTES;
        if (size && !foreign) {
            bytes.reserve(limit + 1); // the whole file, once its header says how much
        }
    }
    const int error = fd < 0 || n < 0 ? errno : 0;
    if (fd >= 0 && !standard_input) {
        close(fd);
    }
    if (error != 0) {
        std::fprintf(stderr, "%s: cannot read '%s': %s\n", program, Shown(path).c_str(),
                     std::strerror(error));
        return EXIT_FAILURE;
    }
    if (bytes.size() > limit) {
        const std::string why =
            limit < MAX_SAVED_BYTES
                ? "it runs past the " + std::to_string(limit) + " bytes its header says"
                : "it is larger than any saved file (" + std::to_string(MAX_SAVED_BYTES >> 20U) +
                      " MiB)";
        std::fprintf(stderr, "%s: '%s' cannot be compared with: %s\n", program, Shown(path).c_str(),
                     why.c_str());
        return EXIT_USAGE;
    }
    return -1;
}

namespace
{

// Writes all of `bytes` to `fd`; false, with errno set, if it could not.
bool Write_All(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            errno = n == 0 ? EIO : errno;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Writes `bytes` into a new file beside `target`, with the mode the old one
// had (or a new file's), and renames it into place; the old file stays as it
// was until then. False, with errno set, if it could not.
bool Write_Beside(const std::string& target, std::string_view bytes)
{
    std::string temporary = target + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat old {
    };
    mode_t mode = 0;
    if (stat(target.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    const bool written = fchmod(fd, mode) == 0 && Write_All(fd, bytes) && fsync(fd) == 0;
    const int error = errno;
    if (close(fd) != 0 || !written || rename(temporary.c_str(), target.c_str()) != 0) {
        const int failure = written ? errno : error;
        unlink(temporary.c_str());
        errno = failure;
        return false;
    }
    return true;
}

} // namespace

bool Write_Whole(const char* program, const char* path, std::string_view bytes)
{
    struct stat status {
    };
    bool written = false;
    if (stat(path, &status) == 0 && !S_ISREG(status.st_mode)) {
        const int fd = open(path, O_WRONLY | O_TRUNC | O_CLOEXEC);
        written = fd >= 0 && Write_All(fd, bytes);
        int error = errno;
        if (fd >= 0 && close(fd) != 0 && written) {
            written = false;
            error = errno;
        }
        errno = error;
    } else {
        // Through a link, the file it names is the one replaced.
        char resolved[PATH_MAX];
        const bool linked = lstat(path, &status) == 0 && S_ISLNK(status.st_mode) &&
                            realpath(path, resolved) != nullptr;
        written = Write_Beside(linked ? resolved : path, bytes);
    }
    if (!written) {
        std::fprintf(stderr, "%s: cannot write '%s': %s\n", program, Shown(path).c_str(),
                     std::strerror(errno));
    }
    return written;
}
