#include "app/FailureText.h"

#include <exception>

#include "uwieg/err.h"
#include "wusb/err.h"

std::string CurrentFailureText() {
    try {
        throw;
    } catch (const wusb::WUsbErr& e) {
        return wusb::Message(e);
    } catch (const uwieg::UWiegErr& e) {
        return uwieg::Message(e);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Brak opisu błędu.";
    }
}
