#include "media/ExceptionText.h"

#include <exception>
#include <new>

namespace marquelo::media {

std::string currentExceptionText()
{
    const std::exception_ptr current = std::current_exception();
    if (!current)
        return "an unknown error";
    try {
        std::rethrow_exception(current);
    } catch (const std::bad_alloc&) {
        return "not enough memory";
    } catch (const std::exception& e) {
        std::string what = e.what();
        // One line, for a log line or a message that ends in a full stop.
        while (!what.empty() && (what.back() == '\n' || what.back() == ' ' || what.back() == '.'))
            what.pop_back();
        for (char& c : what) {
            if (c == '\n' || c == '\r')
                c = ' ';
        }
        return what.empty() ? std::string("an unknown error") : what;
    } catch (...) {
        return "an unknown error";
    }
}

} // namespace marquelo::media
