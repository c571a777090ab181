#include "uwieg/profile.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <utility>

#include "uwieg/positioned_json.h"

namespace uwieg {

namespace {

using Json = nlohmann::ordered_json;
using Positions = std::map<std::string, TextPosition>;

constexpr std::array<std::string_view, 6> kFrames{"24+2", "32+2", "40+2", "48+2", "56+2", "64+2"};
constexpr std::array<std::string_view, 2> kByteOrders{"hi-lo", "lo-hi"};
constexpr std::array<std::string_view, 2> kParities{"even", "odd"};
constexpr std::array<std::string_view, 2> kColours{"red", "green"};
constexpr std::array<std::string_view, 1> kFormats{kProfileFormat};
constexpr std::size_t kSlotCount = 7;

// The bits of each record byte that no control shows (byte 0, the record mark, is kept whole
// in reserved.record_mark instead).
constexpr ReaderConfig kUnshownBits{0x00, 0x3E, 0x00, 0x80, 0x10, 0xFE, 0xFC, 0xFF};
constexpr std::array<const char*, 8> kByteNames{
    "znacznik rekordu", "flagi sygnalizacji", "czas LED",  "wzór buzzera",
    "format Wiegand",   "tryb klawiatury",    "typy kart", "bajt zarezerwowany"};
constexpr int kLargestShownFrame = 5;

enum class Kind { kChoice, kBool, kInteger, kSlots, kBits };

struct Field {
    std::string_view path;
    Kind kind;
    bool required = true;
    const std::string_view* choices = nullptr;  // kChoice
    std::size_t choiceCount = 0;
    int min = 0;  // kInteger
    int max = 0;
};

template <std::size_t N>
Field Choice(std::string_view path, const std::array<std::string_view, N>& choices) {
    return Field{path, Kind::kChoice, true, choices.data(), N};
}

Field Integer(std::string_view path, int min, int max, bool required = true) {
    return Field{path, Kind::kInteger, required, nullptr, 0, min, max};
}

// Every key a profile may hold, in the order they are written and checked.
const std::vector<Field>& Fields() {
    static const std::vector<Field> fields{
        Choice("format", kFormats),
        Integer("version", 0, 0),  // any integer; an unknown version has its own message
        Choice("wiegand.frame", kFrames),
        Choice("wiegand.byte_order", kByteOrders),
        {"wiegand.parity_bits", Kind::kBool},
        Choice("wiegand.begin_parity", kParities),
        Choice("wiegand.end_parity", kParities),
        Integer("keypad.key_bits", 4, 8),  // 4 or 8, checked on its own
        {"led.read_signal", Kind::kBool},
        Integer("led.time_100ms", 0, 255),
        Choice("led.steady_colour", kColours),
        {"buzzer.active", Kind::kBool},
        {"buzzer.slots", Kind::kSlots},
        {"cards.mifare", Kind::kBool},
        {"cards.icode", Kind::kBool},
        Integer("reserved.record_mark", 0, 255, false),
        Integer("reserved.frame_index", kLargestShownFrame + 1, 7, false),
        {"reserved.bits", Kind::kBits, false},
    };
    return fields;
}

const Field* FindField(std::string_view path) {
    for (const Field& field : Fields()) {
        if (field.path == path) {
            return &field;
        }
    }
    return nullptr;
}

std::string ParentOf(std::string_view path) {
    const auto dot = path.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(0, dot));
}

std::string LastNameOf(std::string_view path) {
    const auto dot = path.rfind('.');
    return std::string(dot == std::string_view::npos ? path : path.substr(dot + 1));
}

std::string Quoted(std::string_view text) {
    return "„" + std::string(text) + "”";
}

// The value as the user wrote it, short enough for a message.
std::string Describe(const Json& value) {
    if (value.is_object()) {
        return "obiekt { … }";
    }
    if (value.is_array()) {
        return "tablica [ … ]";
    }
    std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    constexpr std::size_t kLongest = 40;
    if (text.size() > kLongest) {
        std::size_t cut = kLongest;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
            --cut;  // not inside a UTF-8 sequence
        }
        text = text.substr(0, cut) + "…";
    }
    return text;
}

std::string ChoiceList(const Field& field) {
    std::string list;
    for (std::size_t i = 0; i < field.choiceCount; ++i) {
        list += (i == 0 ? "" : ", ") + Quoted(field.choices[i]);
    }
    return list;
}

std::string HexByte(std::uint8_t byte) {
    constexpr char kDigits[] = "0123456789abcdef";
    return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

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

// Checks a profile document and builds its record; every complaint names the key and, when
// the document came from text, where that key stands.
class ProfileReader {
  public:
    ProfileReader(const Json& doc, const Positions& positions) : doc_(doc), positions_(positions) {}

    ReaderConfig Record() {
        if (!doc_.is_object()) {
            Fail("", "profil powinien być obiektem JSON { … }");
        }
        CheckIdentity();
        CheckMembers("", doc_);

        ConfigControls controls;
        controls.wiegSizeItem = ChoiceIndex("wiegand.frame");
        controls.wiegOrderItem = ChoiceIndex("wiegand.byte_order");
        controls.noParityChecked = !Bool("wiegand.parity_bits");
        controls.wiegBegBitItem = ChoiceIndex("wiegand.begin_parity");
        controls.wiegEndBitItem = ChoiceIndex("wiegand.end_parity");
        const Json& keyBits = Get("keypad.key_bits");
        if (!keyBits.is_number_integer() || (keyBits != 4 && keyBits != 8)) {
            Fail("keypad.key_bits",
                 "nieprawidłowa wartość " + Describe(keyBits) + "; dozwolone: 4 albo 8");
        }
        controls.keybItem = keyBits == 8 ? 1 : 0;
        controls.ledChecked = Bool("led.read_signal");
        controls.ledTimText = std::to_string(Integer("led.time_100ms"));
        controls.ledStabItem = ChoiceIndex("led.steady_colour");
        controls.buzChecked = Bool("buzzer.active");
        controls.buzSlots = Slots("buzzer.slots");
        controls.mifareChecked = Bool("cards.mifare");
        controls.icodeChecked = Bool("cards.icode");

        ReaderConfig record = EncodeConfig(controls);
        ApplyReserved(record);
        return record;
    }

  private:
    [[noreturn]] void Fail(const std::string& key, const std::string& message) const {
        FailAt(key, key, message);
    }

    // A complaint about `key` shown at where `at` stands (a missing key's parent).
    [[noreturn]] void FailAt(const std::string& key, const std::string& at,
                             const std::string& message) const {
        const auto found = positions_.find(at);
        const TextPosition position = found == positions_.end() ? TextPosition{} : found->second;
        throw ProfileError(key, position.line, position.column, message);
    }

    // The format and version come first, so that another kind of file or a later version is
    // named as such rather than as a list of unknown keys.
    void CheckIdentity() const {
        const Json* format = Find("format");
        if (format == nullptr || !format->is_string() || *format != kProfileFormat) {
            const std::string message =
                "to nie jest profil czytnika: oczekiwano „format”: " + Quoted(kProfileFormat);
            FailAt("format", format == nullptr ? "" : "format", message);
        }
        const Json* version = Find("version");
        if (version == nullptr) {
            FailAt("version", "", "brak klucza");
        }
        if (!version->is_number_integer() || *version != kProfileVersion) {
            Fail("version", "nieobsługiwana wersja profilu " + Describe(*version) +
                                "; ten program czyta wersję " + std::to_string(kProfileVersion));
        }
    }

    // Unknown keys, groups that are no objects and missing keys, in the order of the text.
    void CheckMembers(const std::string& path, const Json& object) const {
        for (const auto& [name, value] : object.items()) {
            const std::string child = path.empty() ? name : path + "." + name;
            if (FindField(child) != nullptr) {
                continue;
            }
            if (!IsGroup(child)) {
                Fail(child, "nieznany klucz; dozwolone tu: " + NamesUnder(path));
            }
            if (!value.is_object()) {
                Fail(child,
                     "nieprawidłowa wartość " + Describe(value) + "; oczekiwano obiektu { … }");
            }
            CheckMembers(child, value);
        }
        for (const Field& field : Fields()) {
            const std::string parent = ParentOf(field.path);
            const bool direct = parent == path;
            const bool groupMissing =
                ParentOf(parent) == path && !parent.empty() && !object.contains(LastNameOf(parent));
            if (field.required && direct && !object.contains(LastNameOf(field.path))) {
                FailAt(std::string(field.path), path, "brak klucza");
            }
            if (field.required && groupMissing) {
                FailAt(parent, path, "brak klucza");
            }
        }
    }

    static bool IsGroup(const std::string& path) {
        return std::any_of(Fields().begin(), Fields().end(),
                           [&](const Field& field) { return ParentOf(field.path) == path; });
    }

    static std::string NamesUnder(const std::string& path) {
        std::vector<std::string> names;
        for (const Field& field : Fields()) {
            std::string name = std::string(field.path);
            if (!path.empty()) {
                if (ParentOf(name) != path) {
                    continue;
                }
                name = LastNameOf(name);
            } else {
                name = name.substr(0, name.find('.'));
            }
            if (std::find(names.begin(), names.end(), name) == names.end()) {
                names.push_back(name);
            }
        }
        std::string list;
        for (const std::string& name : names) {
            list += (list.empty() ? "" : ", ") + name;
        }
        return list;
    }

    const Json* Find(std::string_view path) const {
        const Json* at = &doc_;
        std::size_t start = 0;
        while (true) {
            const auto dot = path.find('.', start);
            const std::string name(path.substr(start, dot - start));
            if (!at->is_object() || !at->contains(name)) {
                return nullptr;
            }
            at = &(*at)[name];
            if (dot == std::string_view::npos) {
                return at;
            }
            start = dot + 1;
        }
    }

    // A required key is there: CheckMembers has run.
    const Json& Get(const char* path) const { return *Find(path); }

    int ChoiceIndex(const char* path) const {
        const Field& field = *FindField(path);
        const Json& value = Get(path);
        for (std::size_t i = 0; value.is_string() && i < field.choiceCount; ++i) {
            if (value.get_ref<const std::string&>() == field.choices[i]) {
                return static_cast<int>(i);
            }
        }
        Fail(path,
             "nieprawidłowa wartość " + Describe(value) + "; dozwolone: " + ChoiceList(field));
    }

    bool Bool(const char* path) const {
        const Json& value = Get(path);
        if (!value.is_boolean()) {
            Fail(path, "nieprawidłowa wartość " + Describe(value) + "; dozwolone: true albo false");
        }
        return value.get<bool>();
    }

    int Integer(const char* path) const {
        const Field& field = *FindField(path);
        const Json& value = Get(path);
        const std::string range =
            "od " + std::to_string(field.min) + " do " + std::to_string(field.max);
        if (!value.is_number_integer()) {
            Fail(path, "nieprawidłowa wartość " + Describe(value) +
                           "; oczekiwano liczby całkowitej " + range);
        }
        // Compared as what the text says: a huge unsigned value must not wrap into the range.
        const bool inRange =
            value.is_number_unsigned()
                ? value.get<std::uint64_t>() <= static_cast<std::uint64_t>(field.max) &&
                      static_cast<std::int64_t>(value.get<std::uint64_t>()) >= field.min
                : value.get<std::int64_t>() >= field.min && value.get<std::int64_t>() <= field.max;
        if (!inRange) {
            Fail(path, "wartość " + Describe(value) + " poza zakresem " + range);
        }
        return value.get<int>();
    }

    std::array<bool, kSlotCount> Slots(const char* path) const {
        const Json& value = Get(path);
        std::array<bool, kSlotCount> slots{};
        const bool valid =
            value.is_string() && value.get_ref<const std::string&>().size() == kSlotCount &&
            value.get_ref<const std::string&>().find_first_not_of("01") == std::string::npos;
        if (!valid) {
            Fail(path, "nieprawidłowa wartość " + Describe(value) +
                           "; oczekiwano 7 znaków 0 lub 1, po jednym na kratkę 60 ms od lewej, "
                           "np. „1100000”");
        }
        for (std::size_t i = 0; i < kSlotCount; ++i) {
            slots[i] = value.get_ref<const std::string&>()[i] == '1';
        }
        return slots;
    }

    // Bits the window does not show, put back where they came from.
    void ApplyReserved(ReaderConfig& record) const {
        if (Find("reserved.record_mark") != nullptr) {
            record[0] = static_cast<std::uint8_t>(Integer("reserved.record_mark"));
        }
        if (Find("reserved.frame_index") != nullptr) {
            const int index = Integer("reserved.frame_index");
            if ((record[4] & 0x07) != kLargestShownFrame) {
                Fail("reserved.frame_index",
                     "indeks " + std::to_string(index) + " wymaga „wiegand.frame”: „64+2”");
            }
            record[4] = static_cast<std::uint8_t>((record[4] & ~0x07) | index);
        }
        if (const Json* bits = Find("reserved.bits")) {
            const std::string digits = bits->is_string() ? bits->get<std::string>() : std::string();
            const bool hex =
                digits.size() == 2 * record.size() &&
                std::all_of(digits.begin(), digits.end(), [](char c) { return HexDigit(c) >= 0; });
            if (!hex) {
                Fail("reserved.bits", "nieprawidłowa wartość " + Describe(*bits) +
                                          "; oczekiwano 16 cyfr szesnastkowych, po dwie na bajt "
                                          "rekordu");
            }
            for (std::size_t i = 0; i < record.size(); ++i) {
                const auto byte = static_cast<std::uint8_t>(HexDigit(digits[2 * i]) * 16 +
                                                            HexDigit(digits[2 * i + 1]));
                if ((byte & ~kUnshownBits[i]) != 0) {
                    Fail("reserved.bits", "bajt " + std::to_string(i) + " (" + kByteNames[i] +
                                              ") ma ustawione bity pól nazwanych wyżej; tu wolno "
                                              "tylko bity z maski " +
                                              HexByte(kUnshownBits[i]));
                }
                record[i] = static_cast<std::uint8_t>(record[i] | byte);
            }
        }
    }

    const Json& doc_;
    const Positions& positions_;
};

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
    return ProfileReader(parsed.document, parsed.keys).Record();
}

ReaderConfig ApplyProfileSettings(const ReaderConfig& base,
                                  const std::vector<std::string>& settings) {
    Json doc = DocumentOf(base, nullptr);
    for (const std::string& setting : settings) {
        const auto equals = setting.find('=');
        const std::string key = Trimmed(std::string_view(setting).substr(0, equals));
        if (equals == std::string::npos || key.empty()) {
            throw ProfileError(key.empty() ? setting : key, 0, 0,
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
        const std::string group = ParentOf(key);
        if (group.empty()) {
            doc[key] = value;
        } else {
            doc[group][LastNameOf(key)] = value;
        }
    }
    const Positions noPositions;
    return ProfileReader(doc, noPositions).Record();
}

}  // namespace uwieg
