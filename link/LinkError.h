#pragma once
#include <stdexcept>
#include <string>


namespace kx::link {

// Every failed exchange of the link; carries the message text and nothing else.
class LinkError : public std::runtime_error {
public:
    explicit LinkError(const std::string& text) : std::runtime_error(text) {}
};


}  // namespace kx::link
