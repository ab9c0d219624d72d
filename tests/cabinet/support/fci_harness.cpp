#include "support/fci_harness.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace cabtest {
namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = std::string(PELMORA_BINARY_DIR) + "/test-tmp-XXXXXX";
    fs::create_directories(PELMORA_BINARY_DIR);
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("cannot create a temporary folder");
    path_ = buffer.data();
}

TempDir::~TempDir() {
    if (std::getenv("PELMORA_KEEP_TEST_FILES")) return;  // for looking into a failure
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<uint8_t> randomBytes(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(size);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    return bytes;
}

std::vector<uint8_t> repetitiveText(size_t size) {
    static const char kLine[] = "All work and no play makes Jack a dull boy. 0123456789\n";
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(kLine[i % (sizeof kLine - 1)]);
    return bytes;
}

int runCommand(const std::string& command, std::string* output) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    std::array<char, 4096> chunk;
    size_t got;
    while ((got = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) text.append(chunk.data(), got);
    int status = pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

FciSession* sessionOf(void* user) {
    return static_cast<FciSession*>(user);
}

// The allocation callbacks carry no user pointer: the running session is found here.
thread_local FciSession* activeSession = nullptr;

void* onAlloc(uint32_t size) {
    FciSession* s = activeSession;
    if (s && ++s->allocCalls == s->failAllocAt) return nullptr;
    void* block = std::malloc(size);
    if (block && s) ++s->liveAllocations;
    return block;
}
void onFree(void* block) {
    if (block && activeSession) --activeSession->liveAllocations;
    std::free(block);
}

int hostFlags(int flags) {
    int host = 0;
    switch (flags & 3) {
        case CAB_O_WRONLY:
            host = O_WRONLY;
            break;
        case CAB_O_RDWR:
            host = O_RDWR;
            break;
        default:
            host = O_RDONLY;
    }
    if (flags & CAB_O_CREAT) host |= O_CREAT;
    if (flags & CAB_O_TRUNC) host |= O_TRUNC;
    if (flags & CAB_O_EXCL) host |= O_EXCL;
    return host;
}

CabHandle onOpen(char* name, int flags, int, int* err, void* user) {
    FciSession* s = sessionOf(user);
    int fd = ::open(name, hostFlags(flags), 0644);
    if (fd < 0) {
        *err = errno;
        return -1;
    }
    ++s->openHandles;
    std::string path = name;
    bool temp = false;
    for (const auto& t : s->tempNames) temp = temp || t == path;
    if (!temp) {
        s->cabinetsOpened.push_back(path);
        s->cabinetHandles.push_back(fd);
    }
    return fd;
}
uint32_t onRead(CabHandle h, void* buffer, uint32_t count, int* err, void* user) {
    FciSession* s = sessionOf(user);
    if (++s->readCalls == s->failReadAt) return UINT32_MAX;
    ssize_t got = ::read(static_cast<int>(h), buffer, count);
    if (got < 0) *err = errno;
    return got < 0 ? UINT32_MAX : static_cast<uint32_t>(got);
}
uint32_t onWrite(CabHandle h, void* buffer, uint32_t count, int* err, void* user) {
    FciSession* s = sessionOf(user);
    for (CabHandle c : s->cabinetHandles) {
        if (c == h && s->failCabinetWrites) {
            *err = EIO;
            return UINT32_MAX;
        }
    }
    ssize_t done = ::write(static_cast<int>(h), buffer, count);
    if (done < 0) *err = errno;
    return done < 0 ? UINT32_MAX : static_cast<uint32_t>(done);
}
int onClose(CabHandle h, int* err, void* user) {
    FciSession* s = sessionOf(user);
    --s->openHandles;
    std::erase(s->cabinetHandles, h);
    if (::close(static_cast<int>(h)) != 0) {
        *err = errno;
        return -1;
    }
    return 0;
}
int32_t onSeek(CabHandle h, int32_t offset, int origin, int* err, void*) {
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
    off_t at = ::lseek(static_cast<int>(h), offset, whence);
    if (at < 0) *err = errno;
    return at < 0 ? -1 : static_cast<int32_t>(at);
}
int onDelete(char* name, int* err, void*) {
    if (::unlink(name) != 0) {
        *err = errno;
        return -1;
    }
    return 0;
}
CabBool onTempFile(char* buffer, int size, void* user) {
    FciSession* s = sessionOf(user);
    if (s->refuseTempFile) return 0;
    std::string name = s->folder_ + "/fci-temp-" + std::to_string(++s->tempFilesCreated);
    if (static_cast<int>(name.size()) >= size) return 0;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    s->tempNames.push_back(name);
    return 1;
}
int onFilePlaced(FCICabInfo* cab, char* name, int32_t size, CabBool continuation, void* user) {
    sessionOf(user)->placed.push_back({cab->szCab, name, size, continuation != 0});
    return 0;
}
CabBool onNextCabinet(FCICabInfo* cab, uint32_t, void* user) {
    FciSession* s = sessionOf(user);
    bool ok = true;
    if (s->nextCabinet) {
        ok = s->nextCabinet(*cab);
    } else {
        std::snprintf(cab->szCab, sizeof cab->szCab, "set%d.cab", cab->iCab);
    }
    s->nextCalls.push_back(*cab);
    return ok ? 1 : 0;
}
int32_t onStatusCall(unsigned type, uint32_t cb1, uint32_t cb2, void* user) {
    FciSession* s = sessionOf(user);
    StatusEvent event{type, cb1, cb2};
    s->statuses.push_back(event);
    if (s->onStatus) return s->onStatus(event);
    return type == statusCabinet ? static_cast<int32_t>(cb2) : 0;
}
CabHandle onOpenInfo(char* name, unsigned short* date, unsigned short* time,
                     unsigned short* attribs, int* err, void* user) {
    FciSession* s = sessionOf(user);
    int fd = ::open(name, O_RDONLY);
    if (fd < 0) {
        *err = errno;
        return -1;
    }
    ++s->openHandles;
    *date = s->date;
    *time = s->time;
    *attribs = s->attributes;
    return fd;
}

}  // namespace

FciSession::FciSession(const std::string& folder) : folder_(folder) {
    std::snprintf(parameters.szCab, sizeof parameters.szCab, "set1.cab");
    std::snprintf(parameters.szCabPath, sizeof parameters.szCabPath, "%s/", folder.c_str());
    parameters.iCab = 1;
    parameters.setID = 1234;
}

FciSession::~FciSession() {
    if (context_) destroy();
}

bool FciSession::create() {
    activeSession = this;
    context_ = FCICreate(&error, onFilePlaced, onAlloc, onFree, onOpen, onRead, onWrite, onClose,
                         onSeek, onDelete, onTempFile, &parameters, this);
    return context_ != nullptr;
}

bool FciSession::add(const std::string& source, const std::string& storedName, TCOMP compression,
                     bool execute) {
    activeSession = this;
    std::string src = source, stored = storedName;
    return FCIAddFile(context_, src.data(), stored.data(), execute, onNextCabinet, onStatusCall,
                      onOpenInfo, compression) != 0;
}

bool FciSession::flushFolder() {
    activeSession = this;
    return FCIFlushFolder(context_, onNextCabinet, onStatusCall) != 0;
}

bool FciSession::flushCabinet(bool getNext) {
    activeSession = this;
    return FCIFlushCabinet(context_, getNext, onNextCabinet, onStatusCall) != 0;
}

bool FciSession::destroy() {
    activeSession = this;
    bool ok = FCIDestroy(context_) != 0;
    context_ = nullptr;
    return ok;
}

std::vector<std::string> FciSession::tempFilesLeft() const {
    std::vector<std::string> left;
    for (const auto& name : tempNames) {
        if (fs::exists(name)) left.push_back(name);
    }
    return left;
}

}  // namespace cabtest
