// The fake platform's state and the platform functions over it.
#include "fake.hpp"

#include <cstdlib>
#include <cstring>

namespace fake {

namespace {

struct State {
  Object input;
  Object output;
  bool inputClosed = false;
  bool outputClosed = false;
  std::map<std::string, Object> files;
  std::map<std::string, std::int32_t> openFailures;
  std::map<std::string, std::int32_t> readOpenFailures;
  std::map<std::string, platform::FileKind> createKinds;
  std::map<platform::Handle, Object*> handles;
  platform::Handle nextHandle = 3;
  std::vector<std::string> arguments;
  std::string exeName = "pellarn-1";
  std::vector<platform::LocalClockReading> clock;
  std::size_t clockAt = 0;
  std::size_t failAllocationsFrom = SIZE_MAX;
};

State& S() {
  static State state;
  return state;
}

Object* Find(platform::Handle handle) {
  auto it = S().handles.find(handle);
  return it == S().handles.end() ? nullptr : it->second;
}

}  // namespace

void Reset() {
  S() = State{};
  S().input.kind = platform::FileKind::Pipe;
  S().output.kind = platform::FileKind::Pipe;
}

Object& StandardInput() { return S().input; }
Object& StandardOutput() { return S().output; }
void CloseStandardInput() { S().inputClosed = true; }
void CloseStandardOutput() { S().outputClosed = true; }
std::map<std::string, Object>& Files() { return S().files; }
void FailOpen(const std::string& name, std::int32_t code) { S().openFailures[name] = code; }
void FailOpenForRead(const std::string& name, std::int32_t code) {
  S().readOpenFailures[name] = code;
}
void CreateAs(const std::string& name, platform::FileKind kind) { S().createKinds[name] = kind; }
void SetArguments(std::vector<std::string> arguments) { S().arguments = std::move(arguments); }
void SetExeFileName(std::string name) { S().exeName = std::move(name); }
void ScriptClock(std::vector<platform::LocalClockReading> readings) {
  S().clock = std::move(readings);
  S().clockAt = 0;
}
void FailAllocationsFrom(std::size_t bytes) { S().failAllocationsFrom = bytes; }

}  // namespace fake

namespace platform {

void Startup(int, char**) {}

Handle StandardInput() {
  if (fake::S().inputClosed) return NoHandle;
  fake::S().handles[0] = &fake::S().input;
  return 0;
}

Handle StandardOutput() {
  if (fake::S().outputClosed) return NoHandle;
  fake::S().handles[1] = &fake::S().output;
  return 1;
}

Handle CreateForWrite(const char* name, std::int32_t& error) {
  auto& s = fake::S();
  if (auto failure = s.openFailures.find(name); failure != s.openFailures.end()) {
    error = failure->second;
    return NoHandle;
  }
  fake::Object& file = s.files[name];
  file.bytes.clear();
  file.writeSizes.clear();
  file.writeAttempts = 0;
  if (auto kind = s.createKinds.find(name); kind != s.createKinds.end()) file.kind = kind->second;
  file.open = true;
  const Handle handle = s.nextHandle++;
  s.handles[handle] = &file;
  return handle;
}

Handle OpenForRead(const char* name, std::int32_t& error) {
  auto& s = fake::S();
  if (auto failure = s.openFailures.find(name); failure != s.openFailures.end()) {
    error = failure->second;
    return NoHandle;
  }
  if (auto failure = s.readOpenFailures.find(name); failure != s.readOpenFailures.end()) {
    error = failure->second;
    return NoHandle;
  }
  auto file = s.files.find(name);
  if (file == s.files.end()) {
    error = ErrorFileNotFound;
    return NoHandle;
  }
  file->second.readAt = 0;
  file->second.readCount = 0;
  file->second.open = true;
  const Handle handle = s.nextHandle++;
  s.handles[handle] = &file->second;
  return handle;
}

FileKind KindOf(Handle handle) {
  const fake::Object* object = fake::Find(handle);
  return object == nullptr ? FileKind::Unknown : object->kind;
}

std::int32_t Close(Handle handle) {
  fake::Object* object = fake::Find(handle);
  if (object == nullptr) return 6;
  object->open = false;
  fake::S().handles.erase(handle);
  return object->closeError;
}

std::int32_t Write(Handle handle, const std::uint8_t* bytes, std::uint32_t count) {
  fake::Object* object = fake::Find(handle);
  if (object == nullptr) return 6;
  if (object->writeAttempts++ == object->failWriteAt) return object->writeError;
  if (object->bytes.size() + count > object->writeCapacity) return object->writeError;
  object->bytes.append(reinterpret_cast<const char*>(bytes), count);
  object->writeSizes.push_back(count);
  return 0;
}

std::int32_t Read(Handle handle, std::uint8_t* bytes, std::uint32_t capacity,
                  std::uint32_t& received) {
  received = 0;
  fake::Object* object = fake::Find(handle);
  if (object == nullptr) return 6;
  if (object->readAt >= object->failReadAt) return object->readError;
  std::size_t size = capacity;
  if (!object->readSizes.empty())
    size = std::min<std::size_t>(size,
                                 object->readSizes[object->readCount % object->readSizes.size()]);
  ++object->readCount;
  size = std::min(size, object->bytes.size() - object->readAt);
  if (object->failReadAt != SIZE_MAX) size = std::min(size, object->failReadAt - object->readAt);
  std::memcpy(bytes, object->bytes.data() + object->readAt, size);
  object->readAt += size;
  received = static_cast<std::uint32_t>(size);
  return 0;
}

void* Allocate(std::size_t bytes) {
  if (bytes >= fake::S().failAllocationsFrom) return nullptr;
  return std::malloc(bytes);
}

void Release(void* block) { std::free(block); }

LocalClockReading ReadLocalClock() {
  auto& s = fake::S();
  if (s.clock.empty()) return LocalClockReading{2026, 12, 11, 12, 34, 56, 789};
  const LocalClockReading reading = s.clock[std::min(s.clockAt, s.clock.size() - 1)];
  ++s.clockAt;
  return reading;
}

int ArgumentCount() { return static_cast<int>(fake::S().arguments.size()); }
std::string_view Argument(int index) {
  return fake::S().arguments[static_cast<std::size_t>(index)];
}
std::string_view ExeFileName() { return fake::S().exeName; }
std::uintptr_t ImageBase() { return fake::FakeImageBase; }

void ExitProcess(int code) { throw fake::ProcessExit{code}; }

}  // namespace platform
