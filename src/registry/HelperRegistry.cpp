// The registry service as a client of a helper process: each call is one request on the helper's
// standard input and one answer on its standard output. A level of sub-key names comes in one
// answer and is kept per handle, as the store keeps it, so index 0, 1, 2 ... costs one round trip.
#ifndef _WIN32

#include "registry/PipeProtocol.h"
#include "registry/RegistryPipe.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace karvo::reg {

namespace {

using pipe::Op;
using Clock = std::chrono::steady_clock;

// A helper that has not answered in this time is taken for hung. Starting may include Wine
// bringing an old prefix up to date, which takes a while.
constexpr auto kAnswerTimeout = std::chrono::seconds(60);
constexpr auto kStartTimeout = std::chrono::seconds(180);
constexpr int kPollMs = 100;

// An out-buffer: sent as presence and size, its answer copied back into the caller's memory.
void outBuffer(pipe::Writer& w, const void* p, DWORD capacity) {
    w.u8(p != nullptr);
    w.u32(p ? capacity : 0);
}
void copyBack(pipe::Reader& r, void* p, DWORD capacity) {
    const std::string_view bytes = r.bytes();
    if (p && !bytes.empty())
        std::memcpy(p, bytes.data(), std::min<std::size_t>(bytes.size(), capacity));
}
void dwordBack(pipe::Reader& r, DWORD* p) {
    const auto v = r.dword();
    if (p && v)
        *p = *v;
}

class HelperRegistry final : public RegistryService {
public:
    explicit HelperRegistry(HelperCommand command) : command_(std::move(command)) { start(); }
    ~HelperRegistry() override { stop(); }
    HelperRegistry(const HelperRegistry&) = delete;
    HelperRegistry& operator=(const HelperRegistry&) = delete;

    LONG RegOpenKeyExA(HKey hKey, const char* lpSubKey, DWORD ulOptions, DWORD samDesired,
                       HKey* phkResult) override {
        if (!phkResult)
            return kErrorInvalidParameter;
        *phkResult = 0;
        pipe::Writer w;
        w.u8(static_cast<std::uint8_t>(Op::OpenKey));
        w.u32(hKey);
        w.cstr(lpSubKey);
        w.u32(ulOptions);
        w.u32(samDesired);
        return call(w, [&](pipe::Reader& r, LONG) { *phkResult = r.u32(); });
    }

    LONG RegCreateKeyExA(HKey hKey, const char* lpSubKey, DWORD Reserved, const char* lpClass, DWORD dwOptions,
                         DWORD samDesired, const SecurityAttributes* lpSecurityAttributes, HKey* phkResult,
                         DWORD* lpdwDisposition) override {
        if (!phkResult)
            return kErrorInvalidParameter;
        *phkResult = 0;
        pipe::Writer w;
        w.u8(static_cast<std::uint8_t>(Op::CreateKey));
        w.u32(hKey);
        w.cstr(lpSubKey);
        w.u32(Reserved);
        w.cstr(lpClass);
        w.u32(dwOptions);
        w.u32(samDesired);
        w.u8(lpSecurityAttributes != nullptr);
        w.dword(lpdwDisposition);
        return change(w, [&](pipe::Reader& r, LONG) {
            *phkResult = r.u32();
            dwordBack(r, lpdwDisposition);
        });
    }

    LONG RegCloseKey(HKey hKey) override {
        {
            std::lock_guard lock(mutex_);
            listings_.erase(hKey);
        }
        pipe::Writer w;
        w.u8(static_cast<std::uint8_t>(Op::CloseKey));
        w.u32(hKey);
        return call(w, nullptr);
    }

    LONG RegQueryValueExA(HKey hKey, const char* lpValueName, DWORD*, DWORD* lpType, std::uint8_t* lpData,
                          DWORD* lpcbData) override {
        const DWORD capacity = lpcbData ? *lpcbData : 0;
        pipe::Writer w;
        w.u8(static_cast<std::uint8_t>(Op::QueryValue));
        w.u32(hKey);
        w.cstr(lpValueName);
        w.dword(lpType);
        outBuffer(w, lpData, capacity);
        w.dword(lpcbData);
        return call(w, [&](pipe::Reader& r, LONG) {
            dwordBack(r, lpType);
            dwordBack(r, lpcbData);
            copyBack(r, lpData, capacity);
        });
    }

    LONG RegSetValueExA(HKey hKey, const char* lpValueName, DWORD Reserved, DWORD dwType, const std::uint8_t* lpData,
                        DWORD cbData) override {
        pipe::Writer w;
        w.u8(static_cast<std::uint8_t>(Op::SetValue));
        w.u32(hKey);
        w.cstr(lpValueName);
        w.u32(Reserved);
        w.u32(dwType);
        w.u8(lpData != nullptr);
        w.bytes(lpData, lpData ? cbData : 0);
        w.u32(cbData);
        return change(w, nullptr);
    }

    LONG RegDeleteKeyA(HKey hKey, const char* lpSubKey) override {
        pipe::Writer w;
        w.u8(static_cast<std::uint8_t>(Op::DeleteKey));
        w.u32(hKey);
        w.cstr(lpSubKey);
        return change(w, nullptr);
    }

    LONG RegDeleteValueA(HKey hKey, const char* lpValueName) override {
        pipe::Writer w;
        w.u8(static_cast<std::uint8_t>(Op::DeleteValue));
        w.u32(hKey);
        w.cstr(lpValueName);
        return change(w, nullptr);
    }

    LONG RegEnumKeyA(HKey hKey, DWORD dwIndex, char* lpName, DWORD cchName) override {
        if (!lpName)
            return kErrorInvalidParameter;
        std::string name;
        const LONG err = listed(hKey, dwIndex, false, name);
        if (err != kErrorSuccess)
            return err;
        if (name.size() + 1 > cchName)
            return kErrorMoreData;
        std::memcpy(lpName, name.c_str(), name.size() + 1);
        return kErrorSuccess;
    }

    LONG RegEnumValueA(HKey hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD*, DWORD* lpType,
                       std::uint8_t* lpData, DWORD* lpcbData) override {
        const DWORD nameCapacity = lpcchValueName ? *lpcchValueName : 0;
        const DWORD dataCapacity = lpcbData ? *lpcbData : 0;
        pipe::Writer w;
        w.u8(static_cast<std::uint8_t>(Op::EnumValue));
        w.u32(hKey);
        w.u32(dwIndex);
        outBuffer(w, lpValueName, nameCapacity);
        w.dword(lpcchValueName);
        w.dword(lpType);
        outBuffer(w, lpData, dataCapacity);
        w.dword(lpcbData);
        return call(w, [&](pipe::Reader& r, LONG) {
            dwordBack(r, lpcchValueName);
            dwordBack(r, lpType);
            dwordBack(r, lpcbData);
            copyBack(r, lpValueName, nameCapacity);
            copyBack(r, lpData, dataCapacity);
        });
    }

    LONG RegQueryInfoKeyA(HKey hKey, char* lpClass, DWORD* lpcchClass, DWORD*, DWORD* lpcSubKeys,
                          DWORD* lpcbMaxSubKeyLen, DWORD* lpcbMaxClassLen, DWORD* lpcValues,
                          DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen, DWORD* lpcbSecurityDescriptor,
                          void* lpftLastWriteTime) override {
        const DWORD classCapacity = lpcchClass ? *lpcchClass : 0;
        DWORD* counts[] = {lpcSubKeys, lpcbMaxSubKeyLen, lpcbMaxClassLen, lpcValues,
                           lpcbMaxValueNameLen, lpcbMaxValueLen, lpcbSecurityDescriptor, nullptr};
        pipe::Writer w;
        w.u8(static_cast<std::uint8_t>(Op::QueryInfoKey));
        w.u32(hKey);
        outBuffer(w, lpClass, classCapacity);
        w.dword(lpcchClass);
        for (DWORD* c : counts)
            w.dword(c);
        w.u8(lpftLastWriteTime != nullptr);
        return call(w, [&](pipe::Reader& r, LONG) {
            dwordBack(r, lpcchClass);
            for (DWORD* c : counts)
                dwordBack(r, c);
            copyBack(r, lpftLastWriteTime, 8);
            copyBack(r, lpClass, classCapacity);
        });
    }

    LONG EnumKeyRaw(HKey hKey, DWORD dwIndex, std::string& name) override { return listed(hKey, dwIndex, true, name); }

    LONG EnumValueRaw(HKey hKey, DWORD dwIndex, std::string& name, DWORD& type,
                      std::vector<std::uint8_t>& data) override {
        pipe::Writer w;
        w.u8(static_cast<std::uint8_t>(Op::EnumValueRaw));
        w.u32(hKey);
        w.u32(dwIndex);
        return call(w, [&](pipe::Reader& r, LONG err) {
            std::string n = r.str();
            const DWORD t = r.u32();
            const std::string_view d = r.bytes();
            if (err == kErrorSuccess) {
                name = std::move(n);
                type = t;
                data.assign(d.begin(), d.end());
            }
        });
    }

    LONG QueryValueRaw(HKey hKey, const std::string& name, DWORD& type, std::vector<std::uint8_t>& data) override {
        pipe::Writer w;
        w.u8(static_cast<std::uint8_t>(Op::QueryValueRaw));
        w.u32(hKey);
        w.str(name);
        return call(w, [&](pipe::Reader& r, LONG err) {
            const DWORD t = r.u32();
            const std::string_view d = r.bytes();
            if (err == kErrorSuccess) {
                type = t;
                data.assign(d.begin(), d.end());
            }
        });
    }

    LONG SetValueRaw(HKey hKey, const std::string& name, DWORD type, const std::uint8_t* data,
                     std::size_t size) override {
        if (size > pipe::kMaxBuffer)
            return kErrorInvalidParameter;
        pipe::Writer w;
        w.u8(static_cast<std::uint8_t>(Op::SetValueRaw));
        w.u32(hKey);
        w.str(name);
        w.u32(type);
        w.bytes(data, data ? size : 0);
        return change(w, nullptr);
    }

    LONG DeleteTree(HKey hKey, const char* lpSubKey) override {
        pipe::Writer w;
        w.u8(static_cast<std::uint8_t>(Op::DeleteTree));
        w.u32(hKey);
        w.cstr(lpSubKey);
        return change(w, nullptr);
    }

    bool KeyPath(HKey hKey, std::string& path) override {
        pipe::Writer w;
        w.u8(static_cast<std::uint8_t>(Op::KeyPath));
        w.u32(hKey);
        return call(w, [&](pipe::Reader& r, LONG err) {
                   std::string p = r.str();
                   if (err == kErrorSuccess)
                       path = std::move(p);
               }) == kErrorSuccess;
    }

    LONG BeginBatch() override { return simple(Op::BeginBatch); }
    LONG CommitBatch() override { return simple(Op::CommitBatch, true); }
    LONG RollbackBatch() override { return simple(Op::RollbackBatch, true); }
    LONG BeginSnapshot() override { return simple(Op::BeginSnapshot); }
    LONG EndSnapshot() override { return simple(Op::EndSnapshot); }

private:
    // One level of sub-key names as the helper listed them, and what the index after them answers.
    struct Listing {
        bool raw = false;
        std::uint64_t changes = 0;  // our change count when it was read
        LONG end = kErrorNoMoreItems;
        std::vector<std::string> names;
    };

    using Unpack = std::function<void(pipe::Reader&, LONG)>;

    LONG simple(Op op, bool changes = false) {
        pipe::Writer w;
        w.u8(static_cast<std::uint8_t>(op));
        return changes ? change(w, nullptr) : call(w, nullptr);
    }

    // A call that may change the registry: listings read before it are read again.
    LONG change(const pipe::Writer& w, const Unpack& unpack) {
        const LONG err = call(w, unpack);
        std::lock_guard lock(mutex_);
        ++changes_;
        return err;
    }

    // Index 0 reads the level afresh; later indices continue the same listing while we changed
    // nothing, as an enumeration of the store does.
    LONG listed(HKey hKey, DWORD index, bool raw, std::string& name) {
        std::unique_lock lock(mutex_);
        auto it = listings_.find(hKey);
        if (index == 0 || it == listings_.end() || it->second.raw != raw || it->second.changes != changes_) {
            lock.unlock();
            Listing fresh;
            fresh.raw = raw;
            pipe::Writer w;
            w.u8(static_cast<std::uint8_t>(raw ? Op::ListKeysRaw : Op::ListKeys));
            w.u32(hKey);
            std::uint64_t before = 0;
            {
                std::lock_guard l(mutex_);
                before = changes_;
            }
            const LONG err = call(w, [&](pipe::Reader& r, LONG end) {
                fresh.end = end;
                const std::uint32_t count = r.u32();
                fresh.names.reserve(std::min<std::uint32_t>(count, 1u << 20));
                for (std::uint32_t i = 0; i < count && r.ok(); ++i)
                    fresh.names.push_back(r.str());
            });
            if (failed())
                return err;
            fresh.changes = before;
            lock.lock();
            it = listings_.insert_or_assign(hKey, std::move(fresh)).first;
        }
        const Listing& l = it->second;
        if (index >= l.names.size())
            return l.end;
        name = l.names[index];
        return kErrorSuccess;
    }

    bool failed() {
        std::lock_guard lock(mutex_);
        return failed_;
    }

    // Sends the request and unpacks the answer (result first). A helper that is gone, or that
    // answers what cannot be read, makes this and every later call fail.
    LONG call(const pipe::Writer& w, const Unpack& unpack) {
        std::lock_guard lock(io_);
        if (failed())
            return kErrorCantOpen;
        const std::optional<std::string> reply = exchange(w.framed(), kAnswerTimeout);
        if (!reply)
            return kErrorCantOpen;
        pipe::Reader r(*reply);
        const LONG err = r.i32();
        if (unpack)
            unpack(r, err);
        if (!r.ok() || !r.atEnd()) {
            fail("its helper program answered something it should not have");
            return kErrorCantOpen;
        }
        return err;
    }

    void start() {
        std::lock_guard lock(io_);
        if (!command_.problem.empty()) {
            fail(command_.problem);
            return;
        }
        if (command_.argv.empty()) {
            fail("no helper program was named");
            return;
        }
        int in[2] = {-1, -1}, out[2] = {-1, -1};
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
            for (int fd : {in[0], in[1], out[0], out[1]})
                if (fd >= 0)
                    ::close(fd);
            fail(std::string("no pipe to its helper program (") + std::strerror(errno) + ")");
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        // Nothing else of ours (database files, the display connection) goes along.
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
        std::vector<std::string> env;
        for (char** e = environ; e && *e; ++e) {
            const std::string_view entry(*e);
            bool replaced = false;
            for (const auto& [name, value] : command_.environment)
                replaced = replaced || (entry.size() > name.size() && entry.substr(0, name.size()) == name &&
                                        entry[name.size()] == '=');
            if (!replaced)
                env.emplace_back(entry);
        }
        for (const auto& [name, value] : command_.environment)
            env.push_back(name + "=" + value);
        std::vector<char*> envp, argv;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> args = command_.argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        toHelper_ = in[1];
        fromHelper_ = out[0];
        if (rc != 0) {
            fail("its helper program " + command_.argv[0] + " could not be started (" + std::strerror(rc) + ")");
            return;
        }
        pid_ = pid;
        pipe::Writer hello;
        hello.u8(static_cast<std::uint8_t>(Op::Hello));
        const std::optional<std::string> reply = exchange(hello.framed(), kStartTimeout);
        if (!reply)
            return;
        pipe::Reader r(*reply);
        const LONG err = r.i32();
        const std::uint32_t version = r.u32();
        if (!r.ok() || err != kErrorSuccess || version != pipe::kProtocolVersion)
            fail("its helper program is of another version; build it again");
    }

    void stop() {
        closeFds();
        if (pid_ <= 0)
            return;
        // The helper ends when its input does; a helper that does not is not waited for long.
        const auto until = Clock::now() + std::chrono::seconds(2);
        while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
            if (Clock::now() >= until) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
                break;
            }
            ::usleep(10000);
        }
        pid_ = -1;
    }

    void closeFds() {
        for (int* fd : {&toHelper_, &fromHelper_})
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
    }

    // Marks the registry as unreachable and says so, once. Called with io_ held.
    void fail(const std::string& why) {
        {
            std::lock_guard lock(mutex_);
            if (failed_)
                return;
            failed_ = true;
            listings_.clear();
        }
        closeFds();
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        reportRegistryFailure(unreachableMessage(command_.what, why));
    }

    bool helperEnded() {
        int status = 0;
        if (pid_ <= 0 || ::waitpid(pid_, &status, WNOHANG) != pid_)
            return false;
        pid_ = -1;
        return true;
    }

    bool writeAll(const std::string& bytes) {
        // A helper that is gone must not end this process with SIGPIPE: block it for this thread
        // and take back the one the failed write raised.
        sigset_t pipeSignal, old;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, &old);
        std::size_t done = 0;
        bool ok = true;
        while (done < bytes.size()) {
            const ssize_t n = ::write(toHelper_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                ok = false;
                if (errno == EPIPE) {
                    const timespec zero{0, 0};
                    sigtimedwait(&pipeSignal, nullptr, &zero);
                }
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        return ok;
    }

    // Reads exactly n bytes, watching the helper: it may die without its output ever ending (a
    // wineserver it started can hold the pipe open).
    bool readAll(char* data, std::size_t n, Clock::time_point deadline, const char*& why) {
        std::size_t done = 0;
        while (done < n) {
            pollfd p{fromHelper_, POLLIN, 0};
            const int ready = ::poll(&p, 1, kPollMs);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready > 0) {
                const ssize_t got = ::read(fromHelper_, data + done, n - done);
                if (got < 0 && errno == EINTR)
                    continue;
                if (got <= 0) {
                    why = "its helper program stopped";
                    return false;
                }
                done += static_cast<std::size_t>(got);
                continue;
            }
            if (helperEnded()) {
                why = "its helper program stopped";
                return false;
            }
            if (Clock::now() >= deadline) {
                why = "its helper program stopped answering";
                return false;
            }
        }
        return true;
    }

    std::optional<std::string> exchange(const std::string& request, std::chrono::seconds timeout) {
        if (!writeAll(request)) {
            fail("its helper program stopped");
            return std::nullopt;
        }
        const auto deadline = Clock::now() + timeout;
        const char* why = "";
        char head[4];
        if (!readAll(head, 4, deadline, why)) {
            fail(why);
            return std::nullopt;
        }
        pipe::Reader lengthReader(std::string_view(head, 4));
        const std::uint32_t length = lengthReader.u32();
        if (length == 0 || length > pipe::kMaxMessage) {
            fail("its helper program answered something it should not have");
            return std::nullopt;
        }
        std::string reply(length, '\0');
        if (!readAll(reply.data(), length, deadline, why)) {
            fail(why);
            return std::nullopt;
        }
        return reply;
    }

    HelperCommand command_;
    pid_t pid_ = -1;
    int toHelper_ = -1;
    int fromHelper_ = -1;

    std::mutex io_;     // one request and its answer at a time
    std::mutex mutex_;  // the state below
    bool failed_ = false;
    std::uint64_t changes_ = 0;
    std::unordered_map<HKey, Listing> listings_;
};

}  // namespace

std::unique_ptr<RegistryService> openHelperRegistry(const HelperCommand& command) {
    return std::make_unique<HelperRegistry>(command);
}

}  // namespace karvo::reg

#endif  // !_WIN32
