#include "uwieg/positioned_json.h"

#include <cstddef>
#include <iterator>
#include <optional>
#include <vector>

#include "uwieg/profile.h"

namespace uwieg {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Far beyond any profile, low enough that no later recursive walk can exhaust the stack.
constexpr std::size_t kMaxDepth = 64;

// Reads the text for the parser and remembers the last character it read: the parser itself
// reports no positions except for syntax errors.
class TrackingIterator {
  public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    TrackingIterator(const char* at, const char** lastRead) : at_(at), lastRead_(lastRead) {}
    reference operator*() const {
        *lastRead_ = at_;
        return *at_;
    }
    TrackingIterator& operator++() {
        ++at_;
        return *this;
    }
    TrackingIterator operator++(int) {
        TrackingIterator before = *this;
        ++at_;
        return before;
    }
    bool operator==(const TrackingIterator& other) const { return at_ == other.at_; }
    bool operator!=(const TrackingIterator& other) const { return at_ != other.at_; }

  private:
    const char* at_;
    const char** lastRead_;
};

// The start of `text` up to the first blank or unprintable character, at most a few characters.
std::string_view Printable(std::string_view text) {
    constexpr std::size_t kLongest = 12;
    std::size_t length = 0;
    while (length < text.size() && length < kLongest && text[length] > ' ' && text[length] < 0x7F) {
        ++length;
    }
    return text.substr(0, length);
}

// Builds the document from the parser's events, recording key positions on the way.
class Builder {
  public:
    Builder(std::string_view text, PositionedJson& out) : text_(text), out_(out) {}

    bool null() { return Value(nullptr); }
    bool boolean(bool value) { return Value(value); }
    bool number_integer(Json::number_integer_t value) { return Value(value); }
    bool number_unsigned(Json::number_unsigned_t value) { return Value(value); }
    bool number_float(Json::number_float_t value, const Json::string_t&) { return Value(value); }
    bool string(Json::string_t& value) { return Value(std::move(value)); }
    bool binary(Json::binary_t& value) { return Value(std::move(value)); }
    bool start_object(std::size_t) { return Open(Json::object()); }
    bool start_array(std::size_t) { return Open(Json::array()); }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }

    bool key(Json::string_t& name) {
        Level& level = stack_.back();
        level.key = name;
        const std::string path = ChildPath(level, name);
        const std::size_t start = KeyStart();
        if (level.value->contains(name)) {
            const TextPosition position = PositionAt(text_, start);
            error = ProfileError(path, position.line, position.column, "klucz powtórzony");
            return false;
        }
        out_.keys[path] = start;
        return true;
    }

    // The parser's own position counts the end of input it read as a character and, after a
    // number, the character behind it; the last character it actually read is more exact.
    bool parse_error(std::size_t, const std::string&, const Json::exception& exception) {
        const bool endOfText =
            lastRead == nullptr ||
            std::string_view(exception.what()).find("end of input") != std::string_view::npos;
        const std::size_t offset =
            endOfText ? text_.size() : static_cast<std::size_t>(lastRead - text_.data());
        const TextPosition at = PositionAt(text_, offset);
        std::string message = endOfText ? "tekst JSON urywa się" : "błąd składni JSON";
        const std::string_view near = Printable(text_.substr(offset));
        if (!near.empty()) {
            message += " przy „" + std::string(near) + "”";
        }
        error = ProfileError("", at.line, at.column, message);
        return false;
    }

    const char* lastRead = nullptr;
    std::optional<ProfileError> error;

  private:
    struct Level {
        Json* value;
        std::string path;
        std::string key;  // objects: the key whose value comes next
    };

    // The opening quote of the key just read: the parser has read up to its closing quote.
    std::size_t KeyStart() const {
        std::size_t at = static_cast<std::size_t>(lastRead - text_.data());
        while (at > 0) {
            --at;
            if (text_[at] != '"') {
                continue;
            }
            std::size_t backslashes = 0;
            while (backslashes < at && text_[at - 1 - backslashes] == '\\') {
                ++backslashes;
            }
            if (backslashes % 2 == 0) {
                break;
            }
        }
        return at;
    }

    static std::string ChildPath(const Level& level, const std::string& key) {
        return level.path.empty() ? key : level.path + "." + key;
    }

    // Places a finished or newly opened value into its parent; returns where it now lives.
    Json* Place(Json&& value, std::string& path) {
        if (stack_.empty()) {
            out_.document = std::move(value);
            path.clear();
            return &out_.document;
        }
        Level& parent = stack_.back();
        if (parent.value->is_object()) {
            path = ChildPath(parent, parent.key);
            return &((*parent.value)[parent.key] = std::move(value));
        }
        path = parent.path + "[" + std::to_string(parent.value->size()) + "]";
        parent.value->push_back(std::move(value));
        return &parent.value->back();
    }

    bool Value(Json&& value) {
        std::string path;
        Place(std::move(value), path);
        return true;
    }

    bool Open(Json&& container) {
        if (stack_.size() >= kMaxDepth) {
            const TextPosition at =
                PositionAt(text_, static_cast<std::size_t>(lastRead - text_.data()));
            error = ProfileError("", at.line, at.column, "zbyt głębokie zagnieżdżenie JSON");
            return false;
        }
        const bool inArray = !stack_.empty() && stack_.back().value->is_array();
        std::string path;
        Json* placed = Place(std::move(container), path);
        if (inArray) {
            out_.keys[path] = static_cast<std::size_t>(lastRead - text_.data());
        }
        stack_.push_back(Level{placed, std::move(path), {}});
        return true;
    }

    bool Close() {
        stack_.pop_back();
        return true;
    }

    std::string_view text_;
    PositionedJson& out_;
    std::vector<Level> stack_;
};

}  // namespace

TextPosition PositionAt(std::string_view text, std::size_t offset) {
    std::size_t start =
        text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
    TextPosition position{1, 1};
    for (std::size_t i = start; i < offset && i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n') {
            ++position.line;
            position.column = 1;
        } else if ((byte & 0xC0) != 0x80) {  // a UTF-8 continuation byte adds no column
            ++position.column;
        }
    }
    return position;
}

PositionedJson ParsePositionedJson(std::string_view text) {
    PositionedJson result;
    Builder builder(text, result);
    const char* begin = text.data();
    const char* end = begin + text.size();
    const bool parsed = Json::sax_parse(TrackingIterator(begin, &builder.lastRead),
                                        TrackingIterator(end, &builder.lastRead), &builder);
    if (!parsed) {
        throw *builder.error;
    }
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    result.root = first == std::string_view::npos ? 0 : first;
    return result;
}

}  // namespace uwieg
