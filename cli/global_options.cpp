#include "cli/global_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cstdint>

#include "cli/value_checks.h"

namespace cli {

namespace {

constexpr std::size_t kMaxIndexDigits = 2;
constexpr std::size_t kMaxSerialDigits = 8;

bool IsUsbId(const std::string& text) {
    const wusb::UsbIdList list = wusb::ParseUsbIds(text);
    return list.ids.size() == 1 && list.rejected.empty();
}

bool AllDecimal(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

bool AllHex(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

std::optional<uwieg::InterfaceChoice> ParseDeviceSelector(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    if (text.size() <= kMaxIndexDigits && AllDecimal(text)) {
        return uwieg::InterfaceChoice::AtIndex(std::stoi(text));
    }
    if (text.size() <= kMaxSerialDigits && AllHex(text)) {
        const auto serial = static_cast<std::uint32_t>(std::stoul(text, nullptr, 16));
        return uwieg::InterfaceChoice::WithSerial(serial);
    }
    return std::nullopt;
}

void AddGlobalOptions(CLI::App& app, GlobalOptions& options) {
    const std::string group = "Opcje globalne";
    // The values were checked before these run.
    CLI::Option* device = app.add_option_function<std::string>(
        "--device",
        [&options](const std::string& text) { options.device = *ParseDeviceSelector(text); },
        "Interface: numer na liście (0 = pierwszy) albo numer seryjny, jak pokazuje 'list'");
    Accepting(
        device->type_name("SEL"),
        Satisfying([](const std::string& text) { return ParseDeviceSelector(text).has_value(); },
                   "numeru na liście (0-7) albo numeru seryjnego (do 8 cyfr "
                   "szesnastkowych, np. 0001A2F3)"))
        ->group(group);
    CLI::Option* usbIds = app.add_option_function<std::vector<std::string>>(
        "--usb-id",
        [&options](const std::vector<std::string>& texts) {
            for (const std::string& text : texts) {
                options.usbIds.push_back(wusb::ParseUsbIds(text).ids.front());
            }
        },
        "Interface bez zapowiedzi klasy, po identyfikatorach producenta i produktu "
        "(można powtarzać; też zmienna TRELVO_USB_IDS)");
    Accepting(usbIds->type_name("VID:PID"),
              Satisfying(IsUsbId, "VID:PID (szesnastkowo, np. 1209:57A1)"))
        ->group(group);
    app.add_flag("--sim", options.sim, "Wbudowany symulowany interface i czytnik zamiast USB")
        ->group(group);
    app.add_flag("--json", options.json,
                 "Wynik w JSON: jeden dokument na polecenie, jeden obiekt na wiersz dla 'monitor'")
        ->group(group);
    Accepting(app.add_option("--capture", options.capture,
                             "Zapisuje ruch USB do pliku pcapng (do otwarcia w Wiresharku z "
                             "tools/wireshark/trelvo.lua)")
                  ->type_name("PLIK"),
              FileName())
        ->group(group);
    Accepting(app.add_option("--formats", options.formats,
                             "Własne formaty kart (JSON, jak 'formats --json') zamiast pliku "
                             "formats.json w katalogu konfiguracji użytkownika")
                  ->type_name("PLIK"),
              FileName())
        ->group(group);
}

}  // namespace cli
