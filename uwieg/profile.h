// Configuration profiles: the reader's 8-byte record as a small, versioned JSON document with
// named fields, for installers to keep, edit and share.
//
// The fields, with their values (the window's control texts in brackets):
//   format          "trelvo-profile"            version   1
//   wiegand         frame "24+2" … "64+2" ("24+2 bity" … "64+2 bity (standard)"),
//                   byte_order "hi-lo" | "lo-hi", parity_bits true | false ("Bez bitów" = false),
//                   begin_parity, end_parity "even" | "odd"
//   keypad          key_bits 4 | 8
//   led             read_signal true | false ("Sygnalizacja odczytu"), time_100ms 0 … 255
//                   ("x 0.1s"), steady_colour "red" | "green" (" Stan stabilny ")
//   buzzer          active true | false, slots "1100000": the seven 60 ms boxes, left to right
//   cards           mifare, icode true | false
//   reserved        optional: record_mark 0 … 255, frame_index 6 | 7, bits (16 hex digits)
// Every key but those of "reserved" is required; unknown keys are errors.
//
// Every record the window can produce maps to a profile and back to the identical 8 bytes. Bits
// the window ignores (the record mark when it is not 2, frame size indexes 6 and 7, the unused
// bits of every byte) are never dropped: the profile keeps them in an optional "reserved"
// object, so writing a profile read from a reader gives that reader back exactly what it had.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "uwieg/config.h"

namespace uwieg {

inline constexpr std::string_view kProfileFormat = "trelvo-profile";
inline constexpr int kProfileVersion = 1;
// A profile has well under a kilobyte; a file this large is something else and is not read.
inline constexpr std::uint64_t kLargestProfile = 1 << 20;

// A profile the program cannot accept; key() is the JSON path of the offending key
// ("wiegand.frame"), line()/column() its 1-based position in the text (0 when not about a
// position). what() reads "3:5: klucz „wiegand.frame”: <message>".
class ProfileError : public std::runtime_error {
  public:
    ProfileError(std::string key, int line, int column, const std::string& message);
    const std::string& key() const { return key_; }
    int line() const { return line_; }
    int column() const { return column_; }
    // The complaint alone, without position and key.
    const std::string& message() const { return message_; }

  private:
    std::string key_;
    int line_;
    int column_;
    std::string message_;
};

// The record as profile text: two-space indentation, stable key order, trailing newline.
// `notes` receives one Polish line per bit the window's controls cannot show that the record
// carried.
std::string ProfileFromRecord(const ReaderConfig& record,
                              std::vector<std::string>* notes = nullptr);

// The 8-byte record a profile describes; throws ProfileError on any invalid input.
ReaderConfig RecordFromProfile(std::string_view text);

// "key=value" settings (dotted keys as in the profile, values as JSON scalars or bare words)
// applied on top of `base`, in order. Setting wiegand.frame drops a reserved frame index. Throws
// ProfileError (without a position) naming the key.
ReaderConfig ApplyProfileSettings(const ReaderConfig& base,
                                  const std::vector<std::string>& settings);

}  // namespace uwieg
