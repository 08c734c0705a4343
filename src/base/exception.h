#pragma once

#include <stdexcept>
#include <string>

namespace nx {

// The program's general error: a message for the user, nothing more. The top-level
// handler shows it and the action in progress stops.
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace nx
