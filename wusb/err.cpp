#include "wusb/err.h"

#include <array>

namespace wusb {

namespace {

constexpr std::array<const char*, 20> kMessages{
    "Próba otwarcia urządzenia spoza tabeli.",
    "Błąd odczytu Descryptora Urządzenia.",
    "Błąd odczytu String Descryptora Numeru Urządzenia.",
    "Błąd odczytu Descryptora Interface'u.",
    "Błąd odczytu Pipe Info.",
    "Błąd zapisu Pipe Timeout.",
    "Brak Bulk Pipe Direction In.\nMoże flaga kompilacji:Treat enum types as ints.",
    "Brak Bulk Pipe Direction Out.\nMoże flaga kompilacji:Treat enum types as ints.",
    "Za dużo Bulk Pipe Direction In.\nMoże flaga kompilacji:Treat enum types as ints.",
    "Za dużo Bulk Pipe Direction Out.\nMoże flaga kompilacji:Treat enum types as ints.",
    "Nie otwarte (funkcją Link) urządzenie.",
    "Błąd rozmiaru danych.",
    "Brak odpowiedzi.",
    "Brak ACK.",
    "Nieprawidłowa odpowiedź na stary rozkaz M",
    "Nieprawidłowa odpowiedź.",
    "Błąd podpisu przy logowaniu.",
    "Brak odpowiedzi na rozkaz przesłany rozkazem T",
    "Brak ACK na rozkaz przesłany rozkazem T",
    "Nieprawidłowa odpowiedź na rozkaz przesłany rozkazem T",
};

constexpr const char* kUnknown = "Brak opisu błędu.";

}  // namespace

const char* MessageText(std::int32_t code) {
    if (code < 0 || code >= static_cast<std::int32_t>(kMessages.size())) {
        return kUnknown;
    }
    return kMessages[static_cast<std::size_t>(code)];
}

std::string Message(const WUsbErr& err) {
    std::string text = MessageText(err.code);
    if (err.command != 0) {
        // Returned by value rather than in a shared buffer, so a caller may keep it.
        text += ", rozk: ";
        text += err.command;
    }
    return text;
}

}  // namespace wusb
