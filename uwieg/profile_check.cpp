#include "uwieg/profile_check.h"

#include <algorithm>
#include <utility>

#include "uwieg/positioned_json.h"

namespace uwieg::profile_internal {

namespace {

// Checks the document and builds its record.
class ProfileReader {
  public:
    ProfileReader(const Json& doc, const Offsets& offsets, std::optional<std::size_t> root,
                  std::string_view text)
        : doc_(doc), offsets_(offsets), root_(root), text_(text) {}

    ReaderConfig Record() {
        if (!doc_.is_object()) {
            FailAt("", "", "profil powinien być obiektem JSON { … }");
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
        if (key.empty()) {
            // The key with the empty name, which the top level's position must not stand for.
            const auto found = offsets_.find(key);
            const TextPosition position =
                found == offsets_.end() ? TextPosition{} : PositionAt(text_, found->second);
            throw ProfileError(key, position.line, position.column, message);
        }
        FailAt(key, key, message);
    }

    // A complaint about `key` shown where the key `at` stands (a missing key's parent), or at
    // the start of the document when `at` is the top level.
    [[noreturn]] void FailAt(const std::string& key, const std::string& at,
                             const std::string& message) const {
        std::optional<std::size_t> offset = root_;
        if (!at.empty()) {
            const auto found = offsets_.find(at);
            offset = found == offsets_.end() ? std::nullopt : std::optional(found->second);
        }
        const TextPosition position = offset ? PositionAt(text_, *offset) : TextPosition{};
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
            // A dotted or empty name would pass for a key of another level.
            const bool plainName = !name.empty() && name.find('.') == std::string::npos;
            if (plainName && FindField(child) != nullptr) {
                continue;
            }
            if (!plainName || !IsGroup(child)) {
                Fail(child, "nieznany klucz; dozwolone tu: " + NamesUnder(path));
            }
            if (!value.is_object()) {
                Fail(child,
                     "nieprawidłowa wartość " + Describe(value) + "; oczekiwano obiektu { … }");
            }
            CheckMembers(child, value);
        }
        for (const Field& field : Fields()) {
            const std::string_view parent = ParentOf(field.path);
            const bool direct = parent == path;
            const bool groupMissing =
                ParentOf(parent) == path && !parent.empty() && !object.contains(LastNameOf(parent));
            if (field.required && direct && !object.contains(LastNameOf(field.path))) {
                FailAt(std::string(field.path), path, "brak klucza");
            }
            if (field.required && groupMissing) {
                FailAt(std::string(parent), path, "brak klucza");
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
                name = std::string(LastNameOf(name));
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
    const Offsets& offsets_;
    std::optional<std::size_t> root_;
    std::string_view text_;
};

}  // namespace

ReaderConfig RecordFromDocument(const Json& doc, const Offsets& offsets,
                                std::optional<std::size_t> root, std::string_view text) {
    return ProfileReader(doc, offsets, root, text).Record();
}

}  // namespace uwieg::profile_internal
