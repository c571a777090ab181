#include "uwieg/format_file.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "uwieg/positioned_json.h"
#include "uwieg/profile.h"
#include "uwieg/profile_fields.h"

namespace uwieg {

namespace {

using Json = nlohmann::ordered_json;
using profile_internal::Describe;
using profile_internal::Quoted;

constexpr std::size_t kMaxRows = 256;
constexpr std::size_t kMaxFields = 3;
constexpr std::size_t kMaxParityBits = 8;
constexpr std::size_t kMaxNameLength = 32;
constexpr int kMaxPreference = 1'000'000;

// Published layouts count positions from 1; the table from 0.
int Published(int position) {
    return position + 1;
}

Json CoversJson(const wiegand::BitMask& covers) {
    Json list = Json::array();
    std::size_t i = 0;
    while (i < covers.size()) {
        if (!covers.test(i)) {
            ++i;
            continue;
        }
        std::size_t last = i;
        while (last + 1 < covers.size() && covers.test(last + 1)) {
            ++last;
        }
        const int first = Published(static_cast<int>(i));
        list.push_back(last == i ? Json(first)
                                 : Json::array({first, Published(static_cast<int>(last))}));
        i = last + 1;
    }
    return list;
}

template <typename Item, typename ToJson>
std::string ListText(const char* key, const std::vector<Item>& items, ToJson toJson) {
    std::string text = ",\n      \"" + std::string(key) + "\": [";
    for (std::size_t i = 0; i < items.size(); ++i) {
        text += std::string(i == 0 ? "" : ",") + "\n        " + toJson(items[i]).dump();
    }
    return text + (items.empty() ? "]" : "\n      ]");
}

std::string RowText(const wiegand::Format& row) {
    std::string text = "    {\n      \"name\": " + Json(row.name).dump() +
                       ",\n      \"bits\": " + std::to_string(row.bits) +
                       ",\n      \"preference\": " + std::to_string(row.preference);
    text += ListText("fields", row.fields, [](const wiegand::Field& f) {
        return Json{{"name", wiegand::FieldName(f.kind)},
                    {"first", Published(f.first)},
                    {"width", f.width}};
    });
    text += ListText("parity", row.parity, [](const wiegand::ParityBit& p) {
        return Json{{"name", p.name},
                    {"position", Published(p.position)},
                    {"sense", p.odd ? "odd" : "even"},
                    {"covers", CoversJson(p.covers)}};
    });
    return text + "\n    }";
}

// Checks a format file's document and builds its rows; every complaint names the key and
// where it stands.
class FormatFileReader {
  public:
    FormatFileReader(std::string_view text, const PositionedJson& parsed)
        : text_(text), parsed_(parsed) {}

    wiegand::FormatTable Rows() {
        const Json& doc = parsed_.document;
        if (!doc.is_object()) {
            Fail("", "plik formatów powinien być obiektem JSON { … }");
        }
        const Json* format = doc.contains("format") ? &doc["format"] : nullptr;
        if (format == nullptr || *format != kFormatFileFormat) {
            Fail("format",
                 "to nie jest plik formatów: oczekiwano „format”: " + Quoted(kFormatFileFormat));
        }
        Members("", doc, {"format", "version", "formats"}, {});
        if (doc["version"] != kFormatFileVersion) {
            Fail("version", "nieobsługiwana wersja " + Describe(doc["version"]) +
                                "; ten program czyta wersję " + std::to_string(kFormatFileVersion));
        }
        const Json& rows = List("formats", doc["formats"], kMaxRows);
        wiegand::FormatTable table;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::string path = "formats[" + std::to_string(i) + "]";
            auto row = std::make_shared<const wiegand::Format>(Row(path, rows[i]));
            const bool repeated = std::any_of(table.begin(), table.end(),
                                              [&](const auto& r) { return r->name == row->name; });
            if (repeated) {
                Fail(path + ".name", "nazwa powtórzona w pliku");
            }
            table.push_back(std::move(row));
        }
        return table;
    }

  private:
    // The position of `path`, or of the nearest enclosing key or array element that has one.
    TextPosition PositionOf(std::string path) const {
        while (!path.empty()) {
            if (const auto found = parsed_.keys.find(path); found != parsed_.keys.end()) {
                return PositionAt(text_, found->second);
            }
            const std::size_t cut = path.back() == ']' ? path.rfind('[') : path.rfind('.');
            path = path.substr(0, cut == std::string::npos ? 0 : cut);
        }
        return PositionAt(text_, parsed_.root);
    }

    // A complaint about `key` shown where `at` stands (a missing key's object).
    [[noreturn]] void Fail(const std::string& key, const std::string& message,
                           const std::string& at) const {
        const TextPosition position = PositionOf(at);
        throw ProfileError(key, position.line, position.column, message);
    }
    [[noreturn]] void Fail(const std::string& key, const std::string& message) const {
        Fail(key, message, key);
    }

    static std::string Child(const std::string& path, std::string_view name) {
        return path.empty() ? std::string(name) : path + "." + std::string(name);
    }

    void Members(const std::string& path, const Json& object,
                 std::initializer_list<std::string_view> required,
                 std::initializer_list<std::string_view> optional) const {
        std::string allowed;
        for (const auto& list : {required, optional}) {
            for (std::string_view name : list) {
                allowed += (allowed.empty() ? "" : ", ") + std::string(name);
            }
        }
        for (const auto& item : object.items()) {
            const std::string& name = item.key();
            const auto known = [&](std::initializer_list<std::string_view> list) {
                return std::find(list.begin(), list.end(), name) != list.end();
            };
            if (!known(required) && !known(optional)) {
                Fail(Child(path, name), "nieznany klucz; dozwolone tu: " + allowed);
            }
        }
        for (std::string_view name : required) {
            if (!object.contains(name)) {
                Fail(Child(path, name), "brak klucza", path);
            }
        }
    }

    const Json& Object(const std::string& path, const Json& value) const {
        if (!value.is_object()) {
            Fail(path, "nieprawidłowa wartość " + Describe(value) + "; oczekiwano obiektu { … }");
        }
        return value;
    }

    const Json& List(const std::string& path, const Json& value, std::size_t most) const {
        if (!value.is_array()) {
            Fail(path, "nieprawidłowa wartość " + Describe(value) + "; oczekiwano tablicy [ … ]");
        }
        if (value.size() > most) {
            Fail(path, "najwyżej " + std::to_string(most) + " pozycji");
        }
        return value;
    }

    int Integer(const std::string& path, const Json& value, int min, int max) const {
        if (!value.is_number_integer() || value < min || value > max) {
            Fail(path, "nieprawidłowa wartość " + Describe(value) + "; oczekiwano liczby od " +
                           std::to_string(min) + " do " + std::to_string(max));
        }
        return value.get<int>();
    }

    std::string Name(const std::string& path, const Json& value) const {
        if (!value.is_string() || value.get<std::string>().empty() ||
            value.get<std::string>().size() > kMaxNameLength) {
            Fail(path, "nieprawidłowa wartość " + Describe(value) + "; oczekiwano nazwy (1 do " +
                           std::to_string(kMaxNameLength) + " znaków)");
        }
        return value.get<std::string>();
    }

    // A 1-based frame position, 0-based.
    int Position(const std::string& path, const Json& value) const {
        return Integer(path, value, 1, wiegand::kMaxFrameBits) - 1;
    }

    wiegand::Field FieldOf(const std::string& path, const Json& value) const {
        Members(path, Object(path, value), {"name", "first", "width"}, {});
        const Json& name = value["name"];
        const auto kind =
            name.is_string() ? wiegand::FieldKindNamed(name.get<std::string>()) : std::nullopt;
        if (!kind) {
            Fail(path + ".name", "nieprawidłowa wartość " + Describe(name) +
                                     "; dozwolone: „facility”, „company”, „card”");
        }
        return {*kind, Position(path + ".first", value["first"]),
                Integer(path + ".width", value["width"], 1, 64)};
    }

    wiegand::BitMask Covers(const std::string& path, const Json& value) const {
        wiegand::BitMask covers;
        for (const Json& item : List(path, value, wiegand::kMaxFrameBits)) {
            if (item.is_array() && item.size() == 2) {
                const int first = Position(path, item[0]);
                const int last = Position(path, item[1]);
                if (first > last) {
                    Fail(path, "zakres " + Describe(item) + " od końca do początku");
                }
                for (int i = first; i <= last; ++i) {
                    covers.set(static_cast<std::size_t>(i));
                }
            } else if (item.is_number_integer()) {
                covers.set(static_cast<std::size_t>(Position(path, item)));
            } else {
                Fail(path, "nieprawidłowa pozycja " + Describe(item) +
                               "; oczekiwano numeru bitu albo zakresu [od, do]");
            }
        }
        return covers;
    }

    wiegand::ParityBit ParityOf(const std::string& path, const Json& value) const {
        Members(path, Object(path, value), {"name", "position", "sense", "covers"}, {});
        const Json& sense = value["sense"];
        if (sense != "even" && sense != "odd") {
            Fail(path + ".sense",
                 "nieprawidłowa wartość " + Describe(sense) + "; dozwolone: „even”, „odd”");
        }
        return {Name(path + ".name", value["name"]),
                Position(path + ".position", value["position"]), sense == "odd",
                Covers(path + ".covers", value["covers"])};
    }

    wiegand::Format Row(const std::string& path, const Json& value) const {
        Members(path, Object(path, value), {"name", "bits", "fields"}, {"preference", "parity"});
        wiegand::Format row;
        row.name = Name(path + ".name", value["name"]);
        row.bits = Integer(path + ".bits", value["bits"], 1, wiegand::kMaxFrameBits);
        if (value.contains("preference")) {
            row.preference =
                Integer(path + ".preference", value["preference"], -kMaxPreference, kMaxPreference);
        }
        const Json& fields = List(path + ".fields", value["fields"], kMaxFields);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            row.fields.push_back(FieldOf(path + ".fields[" + std::to_string(i) + "]", fields[i]));
        }
        if (value.contains("parity")) {
            const Json& parity = List(path + ".parity", value["parity"], kMaxParityBits);
            for (std::size_t i = 0; i < parity.size(); ++i) {
                row.parity.push_back(
                    ParityOf(path + ".parity[" + std::to_string(i) + "]", parity[i]));
            }
        }
        if (const auto fault = wiegand::CheckRow(row)) {
            Fail(fault->where.empty() ? path : path + "." + fault->where, fault->message);
        }
        return row;
    }

    std::string_view text_;
    const PositionedJson& parsed_;
};

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

std::string FormatFileText(const wiegand::FormatTable& rows) {
    std::string text = "{\n  \"format\": " + Json(std::string(kFormatFileFormat)).dump() +
                       ",\n  \"version\": " + std::to_string(kFormatFileVersion) +
                       ",\n  \"formats\": [";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        text += std::string(i == 0 ? "\n" : ",\n") + RowText(*rows[i]);
    }
    return text + (rows.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

wiegand::FormatTable ReadFormatFile(std::string_view text) {
    const PositionedJson parsed = ParsePositionedJson(text);
    return FormatFileReader(text, parsed).Rows();
}

std::string UserFormatFilePath() {
#ifdef _WIN32
    const std::string appData = Variable("APPDATA");
    return appData.empty() ? appData : appData + "\\Trelvo\\formats.json";
#else
    std::string base = Variable("XDG_CONFIG_HOME");
    if (base.empty()) {
        const std::string home = Variable("HOME");
        if (home.empty()) {
            return home;
        }
        base = home + "/.config";
    }
    return base + "/trelvo/formats.json";
#endif
}

CardFormats LoadCardFormats(wusb::Files& files, const std::string& path, bool required) {
    CardFormats result{wiegand::BuiltInTable(), {}};
    const std::string skipped = "Pominięto plik formatów " + Quoted(path) + ": ";
    try {
        result.table = wiegand::MergedTable(result.table, ReadFormatFile(files.ReadAll(path, kLargestFormatFile)));
    } catch (const wusb::FileMissing& e) {
        if (required) {
            result.fault = e.what();
        }
    } catch (const wusb::FileError& e) {
        result.fault = e.what();
    } catch (const ProfileError& e) {
        result.fault = skipped + e.what();
    }
    return result;
}

}  // namespace uwieg
