#pragma once
#include <stdexcept>
#include <string>


namespace kx::link {

// Every failed exchange of the link; carries the message text and nothing else.
class LinkError : public std::runtime_error {
public:
    explicit LinkError(const std::string& text) : std::runtime_error(text) {}
};

// The adapter and the line mode disagree about the echo: a line run with echo whose
// adapter returns none (its receiver is off while it sends), or one run without echo
// whose adapter returns the request. No retry and no new wake-up helps; only another
// line mode does, so callers end instead of asking again.
class EchoMismatch : public LinkError {
public:
    enum class Kind { Missing, Unexpected };

    EchoMismatch(Kind kind, const std::string& text) : LinkError(text), kind_(kind) {}
    Kind WhichKind() const { return kind_; }

private:
    Kind kind_;
};


}  // namespace kx::link
