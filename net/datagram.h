// The 8-byte header that frames every datagram of the discovery protocol and the beacon
// report: "TSVL", version 1, message type, 16-bit big-endian payload length, payload.
// Plain C++, shared by the application and the tool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace discovery {

inline constexpr std::string_view kMagic = "TSVL";
inline constexpr std::uint8_t kVersion = 1;
inline constexpr std::uint8_t kTypeQuery = 1;
inline constexpr std::uint8_t kTypeAnnounce = 2;
inline constexpr std::uint8_t kTypeReply = 3;
inline constexpr std::uint8_t kTypeReport = 4;
inline constexpr std::uint8_t kTypeHeard = 5;
inline constexpr std::uint16_t kDiscoveryPort = 12300;
inline constexpr std::size_t kMaxPayload = 1024;
inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::size_t kMaxDatagram = kMaxPayload + kHeaderSize;
// What a reader that wants the exact length asks for: one byte more than the largest
// datagram, so that a longer one, cut there, still fails the length test.
inline constexpr std::size_t kExactReadSize = kMaxDatagram + 1;

// The header and payload as one datagram; empty when the payload is too long to frame.
std::string frame(std::uint8_t type, std::string_view payload);

// How the datagram's size must relate to its length field. The application wants them to
// agree exactly; the tool reads the payload and ignores anything after it.
enum class LengthRule { Exact, AtLeast };

struct Unframed
{
    std::uint8_t type = 0;
    std::string_view payload; // points into the datagram
};

// Checks size, magic, version, the length field's bound and the length rule. The caller
// decides which message types it takes.
std::optional<Unframed> unframe(std::string_view datagram, LengthRule rule);

bool isAnswerType(std::uint8_t type);

// The query payload: {"nonce":"<nonce>","client":"<client>"}, exactly so, key "nonce" first.
std::string queryPayload(std::string_view nonce, std::string_view client);

} // namespace discovery
