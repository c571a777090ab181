// Writes the Wireshark dissector with the card format table filled in from the decoder's own
// rows, so the capture reader and the programs read cards alike.
//   gen_dissector TEMPLATE OUTPUT
// The template's line holding "@FORMAT_ROWS@" becomes the table.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "wiegand/formats.h"

namespace {

constexpr const char* kMarker = "@FORMAT_ROWS@";

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

// One row: name, bits, preference, fields {kind, first, width} and parity bits
// {name, position, odd, {covered positions}}, positions 0-based.
std::string RowLua(const wiegand::Format& row) {
    std::ostringstream lua;
    lua << "    { name = " << Quoted(row.name) << ", bits = " << row.bits
        << ", preference = " << row.preference << ",\n      fields = {";
    for (const wiegand::Field& f : row.fields) {
        lua << " { " << Quoted(std::string(wiegand::FieldName(f.kind))) << ", " << f.first << ", "
            << f.width << " },";
    }
    lua << " },\n      parity = {";
    for (const wiegand::ParityBit& p : row.parity) {
        lua << "\n        { " << Quoted(p.name) << ", " << p.position << ", "
            << (p.odd ? "true" : "false") << ", {";
        for (std::size_t i = 0; i < p.covers.size(); ++i) {
            if (p.covers.test(i)) {
                lua << " " << i << ",";
            }
        }
        lua << " } },";
    }
    lua << " } },\n";
    return lua.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "use: gen_dissector TEMPLATE OUTPUT\n";
        return 1;
    }
    std::ifstream in(argv[1]);
    std::ostringstream out;
    std::string line;
    bool filled = false;
    while (std::getline(in, line)) {
        if (line.find(kMarker) == std::string::npos) {
            out << line << '\n';
            continue;
        }
        out << "local format_rows = {\n";
        for (const wiegand::Format& row : wiegand::Formats()) {
            out << RowLua(row);
        }
        out << "}\n";
        filled = true;
    }
    if (!in.eof() || !filled) {
        std::cerr << "gen_dissector: no " << kMarker << " line in " << argv[1] << '\n';
        return 1;
    }
    std::ofstream file(argv[2], std::ios::binary);
    file << out.str();
    return file.good() ? 0 : 1;
}
