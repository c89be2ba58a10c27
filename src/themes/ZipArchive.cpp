#include "themes/ZipArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <unordered_map>
#include <unordered_set>

#include "formats/ErrnoText.h"
#include "formats/RegularFile.h"
#include "formats/ZipLayout.h"
#include "platform/AtomicFile.h"
#include "platform/FileTools.h"
#include "themes/ZipEntryName.h"

namespace velluma {
namespace {

constexpr std::size_t kCopyBuffer = std::size_t(256) << 10;
// The interface gets a turn after about this much work (bytes written, and a small cost for
// each file created): often enough to stay responsive, seldom enough to cost nothing.
constexpr std::uint64_t kProgressStride = std::uint64_t(2) << 20;
constexpr std::uint64_t kCostPerEntry = std::uint64_t(64) << 10;

std::string zipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

[[noreturn]] void fail(const std::string& label, const std::string& what) {
    throw ZipError("The archive " + quoted(label) + " " + what);
}

using Fd = FileHandle;

// A file to pack, opened by us: libzip's own file source would wait for ever on a fifo.
zip_source_t* fileSource(zip_t* archive, const std::string& path, std::string& whyNot) {
    RegularFile file = OpenRegularFileNoThrow(path);
    if (!file.ok()) {
        whyNot = file.whyNot();
        return nullptr;
    }
    std::FILE* stream = ::fdopen(file.handle.get(), "rb");
    if (!stream) {
        whyNot = errnoText(errno);
        return nullptr;
    }
    file.handle.release();  // the stream's now
    zip_source_t* source = zip_source_filep(archive, stream, 0, -1);
    if (!source) std::fclose(stream);
    return source;
}

ZipEntry::Type typeOf(zip_t* za, zip_uint64_t index, const std::string& name) {
    const bool folderName = !name.empty() && name.back() == '/';
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(za, index, 0, &opsys, &attributes) == 0 &&
        opsys == ZIP_OPSYS_UNIX) {
        switch ((attributes >> 16) & S_IFMT) {
            case 0:  // no type stored: the name decides
            case S_IFREG:
                return folderName ? ZipEntry::Type::Folder : ZipEntry::Type::File;
            case S_IFDIR:
                return ZipEntry::Type::Folder;
            case S_IFLNK:
                return ZipEntry::Type::Link;
            default:
                return ZipEntry::Type::Other;
        }
    }
    return folderName ? ZipEntry::Type::Folder : ZipEntry::Type::File;
}

const char* typeText(ZipEntry::Type type) {
    return type == ZipEntry::Type::Link ? "a symbolic link" : "not a regular file or folder";
}

void writeAll(int fd, const char* data, std::size_t size, const std::string& label,
              const std::string& entry) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(label, "cannot be unpacked: writing " + quoted(entry) + " failed (" +
                            errnoText(errno) + ")");
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

// Opens (creating where missing) the folders of parts below root, never following a link.
Fd openFolders(int root, const std::vector<std::string_view>& parts, std::size_t count,
               const std::string& label, const std::string& entry) {
    Fd current;
    int at = root;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string part(parts[i]);
        if (::mkdirat(at, part.c_str(), 0755) != 0 && errno != EEXIST)
            fail(label, "cannot be unpacked: the folder of " + quoted(entry) +
                            " cannot be created (" + errnoText(errno) + ")");
        Fd next(::openat(at, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.get() < 0)
            fail(label, "cannot be unpacked: the folder of " + quoted(entry) +
                            " cannot be opened (" + errnoText(errno) + ")");
        current = std::move(next);
        at = current.get();
    }
    if (current.get() < 0) current = Fd(::dup(root));
    return current;
}

std::vector<std::string_view> partsOf(std::string_view name) {
    if (!name.empty() && name.back() == '/') name.remove_suffix(1);
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = name.find('/', start);
        if (slash == std::string_view::npos) {
            parts.push_back(name.substr(start));
            return parts;
        }
        parts.push_back(name.substr(start, slash - start));
        start = slash + 1;
    }
}

}  // namespace

struct ZipReader::State {
    zip_t* archive = nullptr;
    std::string bytes;  // the archive itself when opened in memory
    bool inMemory = false;
    Fd file;  // the archive's file when opened for extraction, for the layout check
    std::string label;
    mutable std::optional<std::vector<ZipEntry>> entries;

    ~State() {
        if (archive) zip_discard(archive);
    }
    ZipEntry entryAt(zip_uint64_t index) const;
};

ZipEntry ZipReader::State::entryAt(zip_uint64_t index) const {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive, index, ZIP_FL_ENC_GUESS, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
        fail(label, "is damaged: " + std::string(zip_strerror(archive)));
    ZipEntry entry;
    entry.name = st.name;
    entry.type = typeOf(archive, index, entry.name);
    entry.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
    entry.compressedSize = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
    entry.encrypted =
        (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
    return entry;
}

ZipReader::ZipReader(std::unique_ptr<State> state) : m_state(std::move(state)) {}
ZipReader::ZipReader(ZipReader&&) noexcept = default;
ZipReader& ZipReader::operator=(ZipReader&&) noexcept = default;
ZipReader::~ZipReader() = default;

ZipReader ZipReader::openFile(const std::string& path) {
    auto state = std::make_unique<State>();
    state->label = path;
    RegularFile file = OpenRegularFileNoThrow(path);
    if (!file.ok()) fail(path, "cannot be read: " + file.whyNot());
    int code = 0;
    // The full check reads every entry's local header, one disk read each; a single read
    // checks its own entry, and the folder scan reads a thousand packages at start-up.
    state->archive = zip_fdopen(file.handle.get(), ZIP_RDONLY, &code);
    if (!state->archive) fail(path, "cannot be read: " + zipErrorText(code));
    file.handle.release();  // libzip's now
    return ZipReader(std::move(state));
}

ZipReader ZipReader::openForExtraction(const std::string& path) {
    auto state = std::make_unique<State>();
    state->label = path;
    RegularFile file = OpenRegularFileNoThrow(path);
    if (!file.ok()) fail(path, "cannot be read: " + file.whyNot());
    state->file = std::move(file.handle);
    // libzip reads through a descriptor of its own on the same open file.
    const int forLibzip = ::dup(state->file.get());
    int code = 0;
    state->archive =
        forLibzip < 0 ? nullptr : zip_fdopen(forLibzip, ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!state->archive) {
        if (forLibzip >= 0) ::close(forLibzip);
        fail(path, "cannot be read: " + (forLibzip < 0 ? errnoText(errno) : zipErrorText(code)));
    }
    return ZipReader(std::move(state));
}

ZipReader ZipReader::openMemory(std::string bytes, const std::string& label) {
    auto state = std::make_unique<State>();
    state->bytes = std::move(bytes);
    return open(std::move(state), label);
}

ZipReader ZipReader::open(std::unique_ptr<State> state, const std::string& label) {
    state->label = label;
    state->inMemory = true;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source =
        zip_source_buffer_create(state->bytes.data(), state->bytes.size(), 0, &error);
    if (source) {
        state->archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
        if (!state->archive) zip_source_free(source);
    }
    if (!state->archive) {
        const std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        fail(label, "cannot be read: " + text);
    }
    zip_error_fini(&error);
    return ZipReader(std::move(state));
}

const std::vector<ZipEntry>& ZipReader::entries() const {
    if (!m_state->entries) {
        const zip_int64_t count = zip_get_num_entries(m_state->archive, 0);
        std::vector<ZipEntry> list;
        list.reserve(static_cast<std::size_t>(std::max<zip_int64_t>(count, 0)));
        for (zip_int64_t i = 0; i < count; ++i)
            list.push_back(m_state->entryAt(static_cast<zip_uint64_t>(i)));
        m_state->entries = std::move(list);
    }
    return *m_state->entries;
}

std::optional<std::size_t> ZipReader::findFile(const std::string& name) const {
    zip_int64_t index = zip_name_locate(m_state->archive, name.c_str(), 0);
    if (index < 0) index = zip_name_locate(m_state->archive, name.c_str(), ZIP_FL_NOCASE);
    if (index < 0) return std::nullopt;
    const auto at = static_cast<zip_uint64_t>(index);
    if (typeOf(m_state->archive, at, name) != ZipEntry::Type::File) return std::nullopt;
    return static_cast<std::size_t>(at);
}

std::string ZipReader::read(std::size_t index, std::uint64_t maxBytes) const {
    const std::string& label = m_state->label;
    zip_file_t* file = zip_fopen_index(m_state->archive, index, 0);
    if (!file) fail(label, "is damaged: " + std::string(zip_strerror(m_state->archive)));
    std::string content;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(m_state->archive, index, 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE))
        content.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(st.size, maxBytes)));
    char buffer[16384];
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0) {
            const std::string text = zip_error_strerror(zip_file_get_error(file));
            zip_fclose(file);
            fail(label, "is damaged: " + text);
        }
        if (n == 0) break;
        if (content.size() + static_cast<std::uint64_t>(n) > maxBytes) {
            zip_fclose(file);
            fail(label, "holds an entry larger than " + std::to_string(maxBytes) + " bytes");
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    // Only here does libzip compare the CRC and the size.
    if (const int code = zip_fclose(file); code != 0)
        fail(label, "is damaged: " + zipErrorText(code));
    return content;
}

void ZipReader::extractAll(const std::string& folder, const ExtractLimits& limits,
                           const ProgressHook& progress) const {
    if (!m_state->inMemory && m_state->file.get() < 0)
        throw std::logic_error("This archive was not opened for unpacking");
    const std::string& label = m_state->label;
    const std::vector<ZipEntry>& list = entries();
    if (list.size() > limits.maxEntries)
        fail(label,
             "is refused: it holds more than " + std::to_string(limits.maxEntries) + " entries");

    // Every check comes before the first byte is written, so a refused archive leaves
    // nothing behind.
    std::unordered_set<std::string> files;
    std::unordered_set<std::string> folders;
    std::uint64_t total = 0;
    for (const ZipEntry& entry : list) {
        auto refuse = [&](const std::string& why) {
            fail(label, "is refused: the entry " + quoted(entry.name) + " " + why);
        };
        if (std::string reason = unsafeEntryNameReason(entry.name); !reason.empty())
            refuse("could be written outside its folder (" + reason + ")");
        if (entry.type == ZipEntry::Type::Link || entry.type == ZipEntry::Type::Other)
            refuse(std::string("is ") + typeText(entry.type));
        if (entry.encrypted) refuse("is encrypted");
        if (entry.size > limits.maxEntryBytes)
            refuse("would unpack to more than " + std::to_string(limits.maxEntryBytes) + " bytes");
        if (entry.size > limits.ratioFloorBytes &&
            entry.size / limits.maxRatio > entry.compressedSize)
            refuse("claims an impossible compression ratio");
        total += entry.size;
        if (total > limits.maxTotalBytes)
            fail(label, "is refused: it would unpack to more than " +
                            std::to_string(limits.maxTotalBytes) + " bytes");

        std::string path = entry.name;
        if (path.back() == '/') path.pop_back();
        if (entry.type == ZipEntry::Type::Folder) {
            if (files.count(path)) refuse("names a file that is also a folder");
            folders.insert(path);
        } else if (!files.insert(path).second || folders.count(path)) {
            refuse("is stored twice");
        }
    }
    // A file cannot hold another entry, be it a file or a folder.
    for (const auto* paths : {&files, &folders}) {
        for (const std::string& path : *paths) {
            for (std::size_t slash = path.find('/'); slash != std::string::npos;
                 slash = path.find('/', slash + 1)) {
                if (files.count(path.substr(0, slash)))
                    fail(label, "is refused: " + quoted(path.substr(0, slash)) +
                                    " is both a file and a folder");
            }
        }
    }
    const std::string problem = m_state->inMemory
                                    ? zipLayoutProblem(m_state->bytes, list.size())
                                    : zipLayoutProblem(m_state->file.get(), list.size());
    if (!problem.empty()) fail(label, "is refused: " + problem);

    Fd root(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (root.get() < 0)
        fail(label, "cannot be unpacked: the folder " + quoted(folder) + " cannot be opened (" +
                        errnoText(errno) + ")");
    // Folders opened once serve every later entry inside them.
    std::unordered_map<std::string, Fd> folderCache;
    auto folderOf = [&](const std::vector<std::string_view>& parts, std::size_t count,
                        const std::string& entry) -> int {
        if (count == 0) return root.get();
        std::string key(parts[0]);
        for (std::size_t i = 1; i < count; ++i) (key += '/') += parts[i];
        auto it = folderCache.find(key);
        if (it == folderCache.end())
            it =
                folderCache.emplace(key, openFolders(root.get(), parts, count, label, entry)).first;
        return it->second.get();
    };
    std::uint64_t work = 0;
    auto worked = [&](std::uint64_t amount) {
        work += amount;
        if (work < kProgressStride) return;
        work = 0;
        if (progress) progress();
    };

    std::vector<char> buffer(kCopyBuffer);
    for (std::size_t index = 0; index < list.size(); ++index) {
        const ZipEntry& entry = list[index];
        const std::vector<std::string_view> parts = partsOf(entry.name);
        if (entry.type == ZipEntry::Type::Folder) {
            folderOf(parts, parts.size(), entry.name);
            worked(kCostPerEntry);
            continue;
        }
        const int parent = folderOf(parts, parts.size() - 1, entry.name);
        const std::string leaf(parts.back());
        // A fresh folder holds nothing yet: O_EXCL also refuses anything planted meanwhile.
        Fd out(::openat(parent, leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        0644));
        if (out.get() < 0)
            fail(label, "cannot be unpacked: " + quoted(entry.name) + " cannot be created (" +
                            errnoText(errno) + ")");

        zip_file_t* in = zip_fopen_index(m_state->archive, index, 0);
        if (!in) fail(label, "is damaged: " + std::string(zip_strerror(m_state->archive)));
        std::uint64_t written = 0;
        for (;;) {
            const zip_int64_t n = zip_fread(in, buffer.data(), buffer.size());
            if (n < 0) {
                const std::string text = zip_error_strerror(zip_file_get_error(in));
                zip_fclose(in);
                fail(label, "is damaged: " + text);
            }
            if (n == 0) break;
            written += static_cast<std::uint64_t>(n);
            // Declared sizes were checked against the budgets; data beyond them is a lie.
            if (written > entry.size) {
                zip_fclose(in);
                fail(label, "is refused: the entry " + quoted(entry.name) +
                                " holds more than its declared size");
            }
            try {
                writeAll(out.get(), buffer.data(), static_cast<std::size_t>(n), label, entry.name);
            } catch (...) {
                zip_fclose(in);
                throw;
            }
            try {
                worked(static_cast<std::uint64_t>(n));
            } catch (...) {
                zip_fclose(in);
                throw;
            }
        }
        if (const int code = zip_fclose(in); code != 0)
            fail(label, "is damaged: " + zipErrorText(code));
        if (::close(out.release()) != 0)
            fail(label, "cannot be unpacked: writing " + quoted(entry.name) + " failed (" +
                            errnoText(errno) + ")");
        worked(kCostPerEntry);
    }
    if (progress) progress();
}

namespace {

struct WriteHooks {
    const ProgressHook* progress = nullptr;
    std::exception_ptr error;
};

// libzip is C: nothing may be thrown through it, so an error of the hook is kept and
// cancels the write.
void progressCallback(zip_t*, double, void* data) {
    auto* hooks = static_cast<WriteHooks*>(data);
    if (hooks->error || !*hooks->progress) return;
    try {
        (*hooks->progress)();
    } catch (...) {
        hooks->error = std::current_exception();
    }
}

int cancelCallback(zip_t*, void* data) {
    return static_cast<WriteHooks*>(data)->error ? 1 : 0;
}

// An archive of no entries, which libzip does not write.
constexpr std::string_view kEmptyArchive{"PK\x05\x06\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 22};

}  // namespace

void writeZipArchive(const std::string& path, const std::vector<ZipInput>& inputs,
                     const ProgressHook& progress) {
    if (inputs.empty()) {
        try {
            writeFileAtomically(path, kEmptyArchive);
        } catch (const std::exception& e) {
            throw ZipError(e.what());
        }
        return;
    }
    const std::string folder = folderOf(path);
    // Named like the temp files of writeFileAtomically, so start-up cleaning finds them.
    const std::string temp = tempPathBeside(path, ".velluma-tmp-");

    int code = 0;
    zip_t* archive = zip_open(temp.c_str(), ZIP_CREATE | ZIP_EXCL, &code);
    if (!archive) fail(path, "cannot be written: " + zipErrorText(code));
    auto abandon = [&](const std::string& why) {
        zip_discard(archive);
        ::unlink(temp.c_str());
        fail(path, "cannot be written: " + why);
    };

    for (const ZipInput& input : inputs) {
        std::string whyNot;
        zip_source_t* source =
            input.bytes ? zip_source_buffer(archive, input.bytes->data(), input.bytes->size(), 0)
                        : fileSource(archive, input.filePath, whyNot);
        if (!source)
            abandon((input.bytes ? quoted(input.name) : quoted(input.filePath)) + ": " +
                    (whyNot.empty() ? std::string(zip_strerror(archive)) : whyNot));
        const zip_int64_t index =
            zip_file_add(archive, input.name.c_str(), source, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip_source_free(source);
            abandon(quoted(input.name) + ": " + zip_strerror(archive));
        }
        if (zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                     6) != 0)
            abandon(quoted(input.name) + ": " + zip_strerror(archive));
    }

    WriteHooks hooks{&progress, nullptr};
    zip_register_progress_callback_with_state(archive, 0.01, progressCallback, nullptr, &hooks);
    zip_register_cancel_callback_with_state(archive, cancelCallback, nullptr, &hooks);
    if (zip_close(archive) != 0) {
        if (hooks.error) {
            zip_discard(archive);
            ::unlink(temp.c_str());
            std::rethrow_exception(hooks.error);
        }
        const std::string why = zip_strerror(archive);
        abandon(why);
    }
    if (hooks.error) {  // the hook failed after the last cancel check
        ::unlink(temp.c_str());
        std::rethrow_exception(hooks.error);
    }

    Fd done(::open(temp.c_str(), O_RDONLY | O_CLOEXEC));
    if (done.get() < 0 || ::fsync(done.get()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        fail(path, "cannot be written: flush failed (" + errnoText(err) + ")");
    }
    done = Fd();
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        fail(path, "cannot be written: rename failed (" + errnoText(err) + ")");
    }
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());  // EINVAL on some file systems: the rename stands
}

}  // namespace velluma
