#include "engine_harness.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace tarnwell::testing {

Bytes hex(std::string_view text) {
    Bytes out;
    int digits = 0;
    unsigned value = 0;
    for (const char c : text) {
        if (c == ' ') continue;
        const int v = (c >= '0' && c <= '9')   ? c - '0'
                      : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                      : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                               : -1;
        if (v < 0) throw std::invalid_argument("not a hex digit");
        value = value * 16 + static_cast<unsigned>(v);
        if (++digits == 2) {
            out.push_back(static_cast<std::uint8_t>(value));
            digits = 0;
            value = 0;
        }
    }
    if (digits != 0) throw std::invalid_argument("odd number of hex digits");
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& part : parts) fixture::append(out, part);
    return out;
}

void padTo(Bytes& bytes, std::size_t length) {
    if (bytes.size() > length) throw std::logic_error("already past the position");
    bytes.resize(length, 0);
}

void writeSparseFile(const std::string& path, std::int64_t size,
                     const std::vector<std::pair<std::int64_t, Bytes>>& pieces) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + path);
    bool ok = ::ftruncate(fd, size) == 0;
    for (const auto& [offset, bytes] : pieces)
        ok = ok &&
             ::pwrite(fd, bytes.data(), bytes.size(), offset) == static_cast<ssize_t>(bytes.size());
    ok = ::close(fd) == 0 && ok;
    if (!ok) throw std::runtime_error("cannot write " + path);
}

EngineHarness::EngineHarness()
    : statePtr(std::make_unique<EngineState>()),
      state(*statePtr),
      run(host),
      routing(selection, state),
      context{state, sink, run, &routing, &writeBehind} {
    // A test's clock stands still unless it says otherwise.
    host.clock = [] { return 45000.0; };
}

void EngineHarness::setInput(const Bytes& bytes, const std::string& name) {
    writeFile(dir.file(name), bytes);
    openInput(dir.file(name));
}

void EngineHarness::openInput(const std::string& path) {
    state.InFile.open(path);
}

std::string EngineHarness::outputName(SlotKind kind, int n) const {
    const char* prefix = kind == SlotKind::Video   ? "video"
                         : kind == SlotKind::Audio ? "audio"
                                                   : "sub";
    return dir.file(prefix + std::to_string(n));
}

void EngineHarness::output(SlotKind kind, int n) {
    tick(kind, n);
    switch (kind) {
        case SlotKind::Video:
            state.VideoOut.at(n).create(outputName(kind, n));
            state.VideoOut.at(n).writeBehind(&writeBehind);
            break;
        case SlotKind::Audio:
            state.AudioOut.at(n).create(outputName(kind, n));
            state.AudioOut.at(n).writeBehind(&writeBehind);
            break;
        case SlotKind::Subpicture:
            state.SubOut.at(n).create(outputName(kind, n));
            state.SubPtsOut.at(n).create(outputName(kind, n) + ".pts");
            state.SubOut.at(n).writeBehind(&writeBehind);
            state.SubPtsOut.at(n).writeBehind(&writeBehind);
            break;
    }
}

void EngineHarness::closeOutputs() {
    for (auto& out : state.VideoOut) out.close();
    for (auto& out : state.AudioOut) out.close();
    for (auto& out : state.SubOut) out.close();
    for (auto& out : state.SubPtsOut) out.close();
}

Bytes EngineHarness::written(SlotKind kind, int n) {
    closeOutputs();
    return readFile(outputName(kind, n));
}

Bytes EngineHarness::writtenPts(int n) {
    closeOutputs();
    return readFile(outputName(SlotKind::Subpicture, n) + ".pts");
}

}  // namespace tarnwell::testing
