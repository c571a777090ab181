#include "uwieg/failure_text.h"

#include <exception>

#include "uwieg/err.h"
#include "wusb/err.h"

namespace uwieg {

std::string CurrentFailureText() {
    try {
        throw;
    } catch (const wusb::WUsbErr& e) {
        return wusb::Message(e);
    } catch (const UWiegErr& e) {
        return Message(e);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Brak opisu błędu.";
    }
}

}  // namespace uwieg
