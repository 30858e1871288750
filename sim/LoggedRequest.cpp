#include "sim/LoggedRequest.h"

#include <map>
#include <sstream>

namespace kx::sim {
namespace {

using Fields = std::map<std::string, std::string>;

Fields Split(const std::string& line) {
    Fields fields;
    std::istringstream words(line);
    for (std::string word; words >> word;)
        if (const auto eq = word.find('='); eq != std::string::npos) fields[word.substr(0, eq)] = word.substr(eq + 1);
    return fields;
}

template <typename Number>
std::optional<Number> Optional(const Fields& fields, const char* key) {
    const auto it = fields.find(key);
    if (it == fields.end()) return std::nullopt;
    return static_cast<Number>(std::stol(it->second));
}

LoggedRequest Record(const Fields& f) {
    LoggedRequest r;
    r.t = std::stod(f.at("t"));
    r.seq = Optional<long>(f, "seq").value_or(0);
    r.board = Optional<long>(f, "board").value_or(0);
    r.addr = Optional<int>(f, "addr").value_or(0);
    r.hdr = Optional<int>(f, "hdr");
    r.fn = Optional<int>(f, "fn").value_or(-1);
    r.len = Optional<int>(f, "len").value_or(0);
    r.packet = Optional<int>(f, "packet");
    r.page = Optional<long>(f, "page");
    if (const auto it = f.find("answer"); it != f.end()) r.answer = it->second;
    r.answered = f.count("answered") != 0 && f.at("answered") == "yes";
    if (const auto it = f.find("raw"); it != f.end()) r.raw = it->second;
    return r;
}

}  // namespace

std::vector<LoggedRequest> ParseRequestLog(const std::string& text) {
    std::vector<LoggedRequest> requests;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
        const Fields fields = Split(text.substr(begin, end - begin));
        if (fields.count("t") != 0 && fields.count("fn") != 0) requests.push_back(Record(fields));
    }
    return requests;
}

}  // namespace kx::sim
