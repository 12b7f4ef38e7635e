#include "lib/exceptions.h"

namespace dlx {

EDLXException::EDLXException(String message) : message_(std::move(message)), utf8_(ToUtf8(message_)) {}

}  // namespace dlx
