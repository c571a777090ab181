#include "uwieg/profile.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

#include "uwieg/positioned_json.h"
#include "uwieg/profile_check.h"
#include "uwieg/profile_fields.h"

namespace uwieg {

using profile_internal::Field;
using profile_internal::Fields;
using profile_internal::FindField;
using profile_internal::HexByte;
using profile_internal::Json;
using profile_internal::kByteNames;
using profile_internal::kByteOrders;
using profile_internal::kColours;
using profile_internal::kFrames;
using profile_internal::Kind;
using profile_internal::kLargestShownFrame;
using profile_internal::kParities;
using profile_internal::kUnshownBits;
using profile_internal::LastNameOf;
using profile_internal::Offsets;
using profile_internal::ParentOf;
using profile_internal::Quoted;
using profile_internal::RecordFromDocument;

namespace {

bool Bit(std::uint8_t byte, int bit) {
    return ((byte >> bit) & 1) != 0;
}

// The profile document of a record, and the notes about what the window cannot show.
Json DocumentOf(const ReaderConfig& record, std::vector<std::string>* notes) {
    ConfigControls controls;
    DecodeConfig(record, controls);

    Json doc;
    doc["format"] = kProfileFormat;
    doc["version"] = kProfileVersion;
    doc["wiegand"] = {
        {"frame", kFrames[static_cast<std::size_t>(controls.wiegSizeItem)]},
        {"byte_order", kByteOrders[static_cast<std::size_t>(controls.wiegOrderItem)]},
        {"parity_bits", !controls.noParityChecked},
        {"begin_parity", kParities[static_cast<std::size_t>(controls.wiegBegBitItem)]},
        {"end_parity", kParities[static_cast<std::size_t>(controls.wiegEndBitItem)]},
    };
    doc["keypad"] = {{"key_bits", controls.keybItem == 1 ? 8 : 4}};
    doc["led"] = {
        {"read_signal", controls.ledChecked},
        {"time_100ms", record[2]},
        {"steady_colour", kColours[static_cast<std::size_t>(controls.ledStabItem)]},
    };
    std::string slots;
    for (const bool slot : controls.buzSlots) {
        slots += slot ? '1' : '0';
    }
    doc["buzzer"] = {{"active", controls.buzChecked}, {"slots", slots}};
    doc["cards"] = {{"mifare", controls.mifareChecked}, {"icode", controls.icodeChecked}};

    std::vector<std::string> found;
    Json reserved = Json::object();
    if (record[0] != kRecordMark) {
        reserved["record_mark"] = record[0];
        found.push_back("Znacznik rekordu ma wartość " + std::to_string(record[0]) +
                        " zamiast 2; zachowany w „reserved.record_mark”.");
    }
    if ((record[4] & 0x07) > kLargestShownFrame) {
        reserved["frame_index"] = record[4] & 0x07;
        found.push_back("Rozmiar ramki Wiegand ma indeks " + std::to_string(record[4] & 0x07) +
                        ", którego okno nie zna (pokazuje „64+2”); zachowany w "
                        "„reserved.frame_index”.");
    }
    std::string bits;
    bool anyBit = false;
    for (std::size_t i = 0; i < record.size(); ++i) {
        const auto unshown = static_cast<std::uint8_t>(record[i] & kUnshownBits[i]);
        bits += HexByte(unshown);
        for (int bit = 0; bit < 8; ++bit) {
            if (Bit(unshown, bit)) {
                anyBit = true;
                found.push_back("Bit " + std::to_string(bit) + " bajtu " + std::to_string(i) +
                                " (" + kByteNames[i] +
                                ") jest ustawiony, a okno go nie pokazuje; zachowany w "
                                "„reserved.bits”.");
            }
        }
    }
    if (anyBit) {
        reserved["bits"] = bits;
    }
    if (!reserved.empty()) {
        doc["reserved"] = std::move(reserved);
    }
    if (notes != nullptr) {
        notes->insert(notes->end(), found.begin(), found.end());
    }
    return doc;
}
std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

// A setting's value as the JSON value the profile would hold: bare words stand for text where
// the key takes text, and JSON scalars are read as such.
Json SettingValue(const Field& field, const std::string& text) {
    const bool takesText =
        field.kind == Kind::kChoice || field.kind == Kind::kSlots || field.kind == Kind::kBits;
    if (takesText && (text.empty() || text.front() != '"')) {
        return text;
    }
    Json value = Json::parse(text, nullptr, false);
    // Text that is no JSON stays text, so the field's own check names the key and the value.
    return value.is_discarded() || value.is_structured() ? Json(text) : value;
}

}  // namespace

namespace {

std::string ComposeMessage(const std::string& key, int line, int column,
                           const std::string& message) {
    std::string text;
    if (line > 0) {
        text += std::to_string(line) + ":" + std::to_string(column) + ": ";
    }
    if (!key.empty()) {
        text += "klucz " + Quoted(key) + ": ";
    }
    return text + message;
}

}  // namespace

ProfileError::ProfileError(std::string key, int line, int column, const std::string& message)
    : std::runtime_error(ComposeMessage(key, line, column, message)),
      key_(std::move(key)),
      line_(line),
      column_(column),
      message_(message) {}

std::string ProfileFromRecord(const ReaderConfig& record, std::vector<std::string>* notes) {
    return DocumentOf(record, notes).dump(2) + "\n";
}

ReaderConfig RecordFromProfile(std::string_view text) {
    const PositionedJson parsed = ParsePositionedJson(text);
    return RecordFromDocument(parsed.document, parsed.keys, parsed.root, text);
}

ReaderConfig ApplyProfileSettings(const ReaderConfig& base,
                                  const std::vector<std::string>& settings) {
    Json doc = DocumentOf(base, nullptr);
    for (const std::string& setting : settings) {
        const auto equals = setting.find('=');
        const std::string key = Trimmed(std::string_view(setting).substr(0, equals));
        if (equals == std::string::npos || key.empty()) {
            // The key to name is whatever was given; a blank setting has none.
            throw ProfileError(key.empty() ? Trimmed(setting) : key, 0, 0,
                               "ustawienie powinno mieć postać klucz=wartość, np. "
                               "wiegand.frame=32+2");
        }
        const Field* field = FindField(key);
        if (field == nullptr) {
            std::string known;
            for (const Field& each : Fields()) {
                known += (known.empty() ? "" : ", ") + std::string(each.path);
            }
            throw ProfileError(key, 0, 0, "nieznany klucz; znane klucze: " + known);
        }
        const Json value =
            SettingValue(*field, Trimmed(std::string_view(setting).substr(equals + 1)));
        if (key == "wiegand.frame" && doc.contains("reserved")) {
            // A frame size chosen by name replaces an index the window does not know.
            doc["reserved"].erase("frame_index");
        }
        const std::string group(ParentOf(key));
        if (group.empty()) {
            doc[key] = value;
        } else {
            doc[group][std::string(LastNameOf(key))] = value;
        }
    }
    const Offsets noOffsets;
    return RecordFromDocument(doc, noOffsets, std::nullopt, {});
}

}  // namespace uwieg
