// The registry helper's serve loop: each request is one call on the service, answered with its
// result and out-parameters. Sub-key listings come whole, so a level costs one round trip.
#include "registry/PipeProtocol.h"
#include "registry/RegistryPipe.h"

#include <vector>

namespace karvo::reg {

namespace {

using pipe::Op;
using pipe::ptr;

bool readExactly(std::FILE* in, char* data, std::size_t n) { return std::fread(data, 1, n, in) == n; }

// A caller's buffer of the given size, or none; never larger than the helper allocates.
struct OutBuffer {
    bool present = false;
    DWORD capacity = 0;
    std::vector<std::uint8_t> data;

    explicit OutBuffer(pipe::Reader& r) {
        present = r.u8() != 0;
        capacity = r.u32();
        if (capacity > pipe::kMaxBuffer)
            capacity = pipe::kMaxBuffer;
        if (present)
            data.assign(capacity == 0 ? 1 : capacity, 0);
    }
    std::uint8_t* bytes() { return present ? data.data() : nullptr; }
    char* chars() { return present ? reinterpret_cast<char*>(data.data()) : nullptr; }
    // The first n bytes go back to the caller (never more than its buffer holds).
    void send(pipe::Writer& w, bool ok, std::size_t n) const {
        if (!present || !ok)
            n = 0;
        if (n > capacity)
            n = capacity;
        w.bytes(data.data(), n);
    }
};

void answerDword(pipe::Writer& w, const std::optional<DWORD>& d) { w.dword(d ? &*d : nullptr); }

// Reads one request's arguments, makes the call and writes the answer. False for a request
// that does not parse.
bool answer(RegistryService& reg, pipe::Reader& r, pipe::Writer& w) {
    const auto op = static_cast<Op>(r.u8());
    switch (op) {
    case Op::Hello:
        w.i32(kErrorSuccess);
        w.u32(pipe::kProtocolVersion);
        break;
    case Op::OpenKey: {
        const HKey h = r.u32();
        const auto sub = r.cstr();
        const DWORD options = r.u32(), sam = r.u32();
        if (!r.ok())
            return false;
        HKey out = 0;
        w.i32(reg.RegOpenKeyExA(h, ptr(sub), options, sam, &out));
        w.u32(out);
        break;
    }
    case Op::CreateKey: {
        const HKey h = r.u32();
        const auto sub = r.cstr();
        const DWORD reserved = r.u32();
        const auto cls = r.cstr();
        const DWORD options = r.u32(), sam = r.u32();
        const bool security = r.u8() != 0;
        auto disposition = r.dword();
        if (!r.ok())
            return false;
        const SecurityAttributes sa;
        HKey out = 0;
        w.i32(reg.RegCreateKeyExA(h, ptr(sub), reserved, ptr(cls), options, sam, security ? &sa : nullptr, &out,
                                  ptr(disposition)));
        w.u32(out);
        answerDword(w, disposition);
        break;
    }
    case Op::CloseKey: {
        const HKey h = r.u32();
        if (!r.ok())
            return false;
        w.i32(reg.RegCloseKey(h));
        break;
    }
    case Op::QueryValue: {
        const HKey h = r.u32();
        const auto name = r.cstr();
        auto type = r.dword();
        OutBuffer data(r);
        auto size = r.dword();
        if (!r.ok())
            return false;
        if (size && data.present && *size > data.capacity)
            *size = data.capacity;
        const LONG err = reg.RegQueryValueExA(h, ptr(name), nullptr, ptr(type), data.bytes(), ptr(size));
        w.i32(err);
        answerDword(w, type);
        answerDword(w, size);
        data.send(w, err == kErrorSuccess, size ? *size : 0);
        break;
    }
    case Op::SetValue: {
        const HKey h = r.u32();
        const auto name = r.cstr();
        const DWORD reserved = r.u32(), type = r.u32();
        const bool present = r.u8() != 0;
        const std::string_view data = r.bytes();
        const DWORD size = r.u32();
        if (!r.ok())
            return false;
        // The caller's size may exceed the bytes that came along only if it lied about its buffer.
        const std::vector<std::uint8_t> copy(data.begin(), data.end());
        w.i32(size > copy.size() && present
                  ? kErrorInvalidParameter
                  : reg.RegSetValueExA(h, ptr(name), reserved, type, present ? copy.data() : nullptr, size));
        break;
    }
    case Op::DeleteKey: {
        const HKey h = r.u32();
        const auto sub = r.cstr();
        if (!r.ok())
            return false;
        w.i32(reg.RegDeleteKeyA(h, ptr(sub)));
        break;
    }
    case Op::DeleteValue: {
        const HKey h = r.u32();
        const auto name = r.cstr();
        if (!r.ok())
            return false;
        w.i32(reg.RegDeleteValueA(h, ptr(name)));
        break;
    }
    case Op::EnumValue: {
        const HKey h = r.u32();
        const DWORD index = r.u32();
        OutBuffer name(r);
        auto nameLength = r.dword();
        auto type = r.dword();
        OutBuffer data(r);
        auto size = r.dword();
        if (!r.ok())
            return false;
        if (nameLength && name.present && *nameLength > name.capacity)
            *nameLength = name.capacity;
        if (size && data.present && *size > data.capacity)
            *size = data.capacity;
        const LONG err = reg.RegEnumValueA(h, index, name.chars(), ptr(nameLength), nullptr, ptr(type),
                                           data.bytes(), ptr(size));
        w.i32(err);
        answerDword(w, nameLength);
        answerDword(w, type);
        answerDword(w, size);
        name.send(w, err == kErrorSuccess, nameLength ? *nameLength + 1 : 0);
        data.send(w, err == kErrorSuccess, size ? *size : 0);
        break;
    }
    case Op::QueryInfoKey: {
        const HKey h = r.u32();
        OutBuffer cls(r);
        auto classLength = r.dword();
        std::optional<DWORD> counts[8];
        for (auto& c : counts)
            c = r.dword();
        const bool wantTime = r.u8() != 0;
        if (!r.ok())
            return false;
        if (classLength && cls.present && *classLength > cls.capacity)
            *classLength = cls.capacity;
        std::uint8_t time[8] = {};
        const LONG err = reg.RegQueryInfoKeyA(h, cls.chars(), ptr(classLength), nullptr, ptr(counts[0]),
                                              ptr(counts[1]), ptr(counts[2]), ptr(counts[3]), ptr(counts[4]),
                                              ptr(counts[5]), ptr(counts[6]), wantTime ? time : nullptr);
        w.i32(err);
        answerDword(w, classLength);
        for (const auto& c : counts)
            answerDword(w, c);
        w.bytes(time, wantTime ? sizeof time : 0);
        cls.send(w, err == kErrorSuccess, classLength ? *classLength + 1 : 0);
        break;
    }
    case Op::ListKeys:
    case Op::ListKeysRaw: {
        const HKey h = r.u32();
        if (!r.ok())
            return false;
        // Names follow their count, so collect them first.
        std::vector<std::string> names;
        std::string name;
        std::vector<char> buffer(1024);
        LONG err = kErrorSuccess;
        for (DWORD i = 0;; ++i) {
            if (op == Op::ListKeys) {
                err = reg.RegEnumKeyA(h, i, buffer.data(), static_cast<DWORD>(buffer.size()));
                if (err == kErrorSuccess)
                    name.assign(buffer.data());
            } else {
                err = reg.EnumKeyRaw(h, i, name);
            }
            if (err != kErrorSuccess)
                break;
            names.push_back(name);
        }
        w.i32(err);  // what the index after the last name answers
        w.u32(static_cast<std::uint32_t>(names.size()));
        for (const std::string& n : names)
            w.str(n);
        break;
    }
    case Op::EnumValueRaw: {
        const HKey h = r.u32();
        const DWORD index = r.u32();
        if (!r.ok())
            return false;
        std::string name;
        DWORD type = 0;
        std::vector<std::uint8_t> data;
        w.i32(reg.EnumValueRaw(h, index, name, type, data));
        w.str(name);
        w.u32(type);
        w.bytes(data.data(), data.size());
        break;
    }
    case Op::QueryValueRaw: {
        const HKey h = r.u32();
        const std::string name = r.str();
        if (!r.ok())
            return false;
        DWORD type = 0;
        std::vector<std::uint8_t> data;
        w.i32(reg.QueryValueRaw(h, name, type, data));
        w.u32(type);
        w.bytes(data.data(), data.size());
        break;
    }
    case Op::SetValueRaw: {
        const HKey h = r.u32();
        const std::string name = r.str();
        const DWORD type = r.u32();
        const std::string_view data = r.bytes();
        if (!r.ok())
            return false;
        w.i32(reg.SetValueRaw(h, name, type, reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
        break;
    }
    case Op::DeleteTree: {
        const HKey h = r.u32();
        const auto sub = r.cstr();
        if (!r.ok())
            return false;
        w.i32(reg.DeleteTree(h, ptr(sub)));
        break;
    }
    case Op::KeyPath: {
        const HKey h = r.u32();
        if (!r.ok())
            return false;
        std::string path;
        const bool ok = reg.KeyPath(h, path);
        w.i32(ok ? kErrorSuccess : kErrorInvalidHandle);
        w.str(ok ? path : std::string());
        break;
    }
    case Op::BeginBatch: w.i32(reg.BeginBatch()); break;
    case Op::CommitBatch: w.i32(reg.CommitBatch()); break;
    case Op::RollbackBatch: w.i32(reg.RollbackBatch()); break;
    case Op::BeginSnapshot: w.i32(reg.BeginSnapshot()); break;
    case Op::EndSnapshot: w.i32(reg.EndSnapshot()); break;
    default: return false;
    }
    return r.ok() && r.atEnd();
}

}  // namespace

int serveRegistry(RegistryService& service, std::FILE* in, std::FILE* out) {
    std::string request;
    for (;;) {
        char head[4];
        if (std::fread(head, 1, 1, in) != 1)
            return 0;  // the caller has gone: the ordinary end
        if (!readExactly(in, head + 1, 3))
            return 1;
        pipe::Reader lengthReader(std::string_view(head, 4));
        const std::uint32_t length = lengthReader.u32();
        if (length == 0 || length > pipe::kMaxMessage)
            return 1;
        request.resize(length);
        if (!readExactly(in, request.data(), length))
            return 1;
        pipe::Reader r(request);
        pipe::Writer w;
        bool understood = false;
        try {
            understood = answer(service, r, w);
        } catch (const std::exception&) {
            understood = false;
        }
        if (!understood)
            return 1;  // the two sides no longer agree on the stream; better to stop than to guess
        const std::string reply = w.framed();
        if (std::fwrite(reply.data(), 1, reply.size(), out) != reply.size() || std::fflush(out) != 0)
            return 1;
    }
}

}  // namespace karvo::reg
