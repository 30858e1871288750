#pragma once
// The help in words, 80 columns wide: each option's argument by the name its description
// uses, without the parser's notation of types, ranges and defaults (the descriptions
// say those), and every description wrapped to the width.
#include <CLI/CLI.hpp>

#include <cstddef>
#include <string>

namespace kx::cli {

inline constexpr std::size_t HelpWidth = 80;

// `text` with line breaks at blanks so that no line, indented by `indent`, passes
// HelpWidth; the line breaks it has are kept.
std::string WrapHelp(const std::string& text, std::size_t indent);

class HelpFormatter final : public CLI::Formatter {
public:
    HelpFormatter();

    std::string make_option_opts(const CLI::Option* option) const override;
    std::string make_option_desc(const CLI::Option* option) const override;
    std::string make_subcommand(const CLI::App* sub) const override;
    std::string make_description(const CLI::App* app) const override;
};

}  // namespace kx::cli
