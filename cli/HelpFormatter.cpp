#include "cli/HelpFormatter.h"

#include <sstream>

namespace kx::cli {
namespace {

// Option names take this much; the top-level help indents each command's part by two more.
constexpr std::size_t NameColumn = 28;
constexpr std::size_t ExpandedIndent = 2;

void WrapLine(const std::string& line, std::size_t room, std::string& out) {
    std::istringstream words(line);
    std::string word;
    std::size_t used = 0;
    while (words >> word) {
        if (used > 0 && used + 1 + word.size() > room) {
            out += '\n';
            used = 0;
        } else if (used > 0) {
            out += ' ';
            ++used;
        }
        out += word;
        used += word.size();
    }
}

}  // namespace

std::string WrapHelp(const std::string& text, std::size_t indent) {
    const std::size_t room = HelpWidth > indent ? HelpWidth - indent : 1;
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        WrapLine(text.substr(start, end - start), room, out);
        if (end == std::string::npos) return out;
        out += '\n';
        start = end + 1;
    }
}

HelpFormatter::HelpFormatter() { column_width(NameColumn); }

std::string HelpFormatter::make_option_opts(const CLI::Option* option) const {
    if (option->get_type_size() == 0) return {};   // a flag takes nothing
    // The parser adds ":TYPE in [range]" to the name; the description says it in words.
    const std::string typeName = option->get_type_name();
    std::string opts = " " + typeName.substr(0, typeName.find(':'));
    if (option->get_expected_max() == CLI::detail::expected_max_vector_size) opts += " ...";
    return opts;
}

std::string HelpFormatter::make_option_desc(const CLI::Option* option) const {
    return WrapHelp(option->get_description(), NameColumn + ExpandedIndent);
}

std::string HelpFormatter::make_subcommand(const CLI::App* sub) const {
    std::stringstream out;
    CLI::detail::format_help(out, sub->get_display_name(true), WrapHelp(sub->get_description(), NameColumn),
                             NameColumn);
    return out.str();
}

std::string HelpFormatter::make_description(const CLI::App* app) const {
    const std::string description = app->get_description();
    if (description.empty()) return {};
    return WrapHelp(description, ExpandedIndent) + "\n";
}

}  // namespace kx::cli
