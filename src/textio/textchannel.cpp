// Channels: opening, buffering, statement ends, reading lines, closing.
#include "textchannel.hpp"

#include <algorithm>
#include <cstring>

TextChannel ConsoleOut{};
TextChannel ConsoleIn{};
std::int32_t PendingIoError = 0;

namespace {

constexpr std::uint8_t CtrlZ = 0x1A;

bool NameFits(const TextChannel& channel) {
  return std::memchr(channel.name, 0, ChannelNameField) != nullptr;
}

void Fail(std::int32_t code) { PendingIoError = code; }

// Every platform write of a channel goes through here. On failure the
// buffered bytes are dropped and false is returned.
bool WriteOut(TextChannel& channel) {
  const std::uint32_t count = channel.position;
  channel.position = 0;
  if (count == 0) return true;
  const std::int32_t code = platform::Write(channel.handle, channel.buffer, count);
  if (code != 0) {
    Fail(code);
    return false;
  }
  return true;
}

// ConsoleOut opens itself at its first write; any failure of that is 105.
bool ReadyForWrite(TextChannel& channel) {
  if (channel.mode == ChannelMode::Writing) [[likely]]
    return true;
  if (&channel == &ConsoleOut) {
    const std::int32_t earlier = PendingIoError;
    PendingIoError = 0;
    OpenForWrite(ConsoleOut);
    if (PendingIoError == 0) {
      PendingIoError = earlier;
      return true;
    }
  }
  Fail(ErrorNotOpenForWrite);
  return false;
}

// ConsoleIn opens itself at its first read; any failure of that is 104.
bool ReadyForRead(TextChannel& channel) {
  if (channel.mode == ChannelMode::Reading) return true;
  if (&channel == &ConsoleIn) {
    const std::int32_t earlier = PendingIoError;
    PendingIoError = 0;
    OpenForRead(ConsoleIn);
    if (PendingIoError == 0) {
      PendingIoError = earlier;
      return true;
    }
  }
  Fail(ErrorNotOpenForRead);
  return false;
}

// Makes at least one unread byte available; false at the end of the input.
// A vanished writer (109) is the end of the input, not a failure.
bool Refill(TextChannel& channel) {
  if (channel.position < channel.end) return true;
  std::uint32_t received = 0;
  const std::int32_t code =
      platform::Read(channel.handle, channel.buffer, ChannelBufferSize, received);
  channel.position = 0;
  channel.end = code == 0 ? received : 0;
  if (code != 0 && code != platform::ErrorBrokenPipe) Fail(code);
  return channel.end > 0;
}

bool NextIsEnd(TextChannel& channel) {
  return !Refill(channel) || channel.buffer[channel.position] == CtrlZ;
}

}  // namespace

void PlaceBytes(TextChannel& channel, const char* bytes, std::uint32_t count) {
  if (!ReadyForWrite(channel)) return;
  if (ChannelBufferSize - channel.position > count) [[likely]] {
    std::memcpy(channel.buffer + channel.position, bytes, count);
    channel.position += count;
    return;
  }
  while (count > 0) {
    const std::uint32_t room = ChannelBufferSize - channel.position;
    const std::uint32_t part = std::min(room, count);
    std::memcpy(channel.buffer + channel.position, bytes, part);
    channel.position += part;
    bytes += part;
    count -= part;
    if (channel.position == ChannelBufferSize && !WriteOut(channel)) return;
  }
}

void WriteOutBuffer(TextChannel& channel) { WriteOut(channel); }

void BindName(TextChannel& channel, std::string_view name) {
  channel = TextChannel{};
  // A name too long for the field fills it without a terminating zero.
  std::memcpy(channel.name, name.data(), std::min<std::size_t>(name.size(), ChannelNameField));
  if (name.size() < ChannelNameField) channel.name[name.size()] = '\0';
  channel.mode = ChannelMode::Closed;
  channel.handle = platform::NoHandle;
}

void OpenForWrite(TextChannel& channel) {
  if (channel.mode != ChannelMode::Closed) CloseChannel(channel);
  if (!NameFits(channel)) return Fail(platform::ErrorNameTooLong);

  platform::Handle handle;
  const bool standardStream = channel.name[0] == '\0';
  if (standardStream) {
    handle = platform::StandardOutput();
    if (handle == platform::NoHandle) return Fail(ErrorNotOpenForWrite);
  } else {
    std::int32_t code = 0;
    handle = platform::CreateForWrite(channel.name, code);
    if (handle == platform::NoHandle) return Fail(code);
  }
  const platform::FileKind kind = platform::KindOf(handle);
  if (kind == platform::FileKind::Unknown) {
    if (!standardStream) platform::Close(handle);
    return Fail(ErrorNotOpenForWrite);
  }
  channel.handle = handle;
  channel.mode = ChannelMode::Writing;
  channel.position = 0;
  channel.end = 0;
  channel.flushesAtStatementEnd = kind == platform::FileKind::CharDevice;
  channel.releasesOnClose = !standardStream;
}

void OpenForRead(TextChannel& channel) {
  if (channel.mode != ChannelMode::Closed) CloseChannel(channel);
  if (!NameFits(channel)) return Fail(platform::ErrorNameTooLong);

  platform::Handle handle;
  const bool standardStream = channel.name[0] == '\0';
  if (standardStream) {
    handle = platform::StandardInput();
    if (handle == platform::NoHandle) return Fail(ErrorNotOpenForRead);
  } else {
    std::int32_t code = 0;
    handle = platform::OpenForRead(channel.name, code);
    if (handle == platform::NoHandle) return Fail(code);
  }
  channel.handle = handle;
  channel.mode = ChannelMode::Reading;
  channel.position = 0;
  channel.end = 0;
  channel.flushesAtStatementEnd = false;
  channel.releasesOnClose = !standardStream;
}

void CloseChannel(TextChannel& channel) {
  if (channel.mode == ChannelMode::Closed) {
    if (&channel != &ConsoleIn) Fail(ErrorNotOpen);
    return;
  }
  // A failed write-out keeps the file open for writing.
  if (channel.mode == ChannelMode::Writing && !WriteOut(channel)) return;
  channel.mode = ChannelMode::Closed;
  channel.position = 0;
  channel.end = 0;
  if (channel.releasesOnClose) {
    const std::int32_t code = platform::Close(channel.handle);
    if (code != 0) Fail(code);
  }
  channel.handle = platform::NoHandle;
}

void PutText(TextChannel& channel, std::string_view text) {
  PlaceBytes(channel, text.data(), static_cast<std::uint32_t>(text.size()));
}

void PutByte(TextChannel& channel, char byte) { PlaceBytes(channel, &byte, 1); }

bool AtEnd(TextChannel& channel) {
  if (!ReadyForRead(channel)) return true;
  return NextIsEnd(channel);
}

Text GetLine(TextChannel& channel) {
  Text line;
  if (!ReadyForRead(channel)) return line;
  while (!NextIsEnd(channel)) {
    const std::uint8_t byte = channel.buffer[channel.position++];
    if (byte == '\n') break;
    if (byte == '\r') {
      // CR LF ends the line; a CR before anything else, or before the end
      // of the input, is dropped.
      if (!Refill(channel)) break;
      if (channel.buffer[channel.position] == '\n') {
        ++channel.position;
        break;
      }
      continue;
    }
    line.push_back(static_cast<char>(byte));
  }
  return line;
}

void EndProcess(int exitCode) {
  CloseChannel(ConsoleIn);
  if (ConsoleOut.mode != ChannelMode::Closed) {
    PendingIoError = 0;
    CloseChannel(ConsoleOut);
    if (PendingIoError != 0 && exitCode == 0) exitCode = 1;
  }
  platform::ExitProcess(exitCode);
}
