#include "cli/LoadReport.h"

#include <cstdint>
#include <system_error>

#include "cli/Json.h"

namespace kx::cli {
namespace {

struct Civil {
    std::int64_t year;
    unsigned month, day;
};

// The proleptic Gregorian date of a day count since 1970-01-01 (no time-zone library,
// no thread-unsafe gmtime).
Civil CivilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

}  // namespace

std::string IsoUtc(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(time.time_since_epoch()).count();
    const std::int64_t msPerDay = 86'400'000;
    std::int64_t days = ms / msPerDay, rest = ms % msPerDay;
    if (rest < 0) {
        rest += msPerDay;
        --days;
    }
    const Civil date = CivilFromDays(days);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ",
                  static_cast<long long>(date.year), date.month, date.day, static_cast<long long>(rest / 3'600'000),
                  static_cast<long long>(rest / 60'000 % 60), static_cast<long long>(rest / 1000 % 60),
                  static_cast<long long>(rest % 1000));
    return text;
}

std::string RecordLine(const LoadRecord& r) {
    JsonObject line;
    line.Add("time", IsoUtc(r.time)).Add("start", IsoUtc(r.start)).Add("port", r.port);
    line.Add("port_path", r.portPath).AddTextOrNull("port_by_id", r.portStable);
    line.Add("image", r.image).Add("image_path", r.imagePath).Add("sha256", r.sha256);
    line.Add("outcome", r.outcome).Add("reason", r.reason).Add("message", r.message);
    line.Add("identity", r.identity).Add("head", r.head);
    line.Add("pages", static_cast<std::int64_t>(r.pages)).AddNumber("seconds", r.seconds, 3);
    line.Add("version", KXBOOT_VERSION);
    return line.Text();
}

LoadReport::LoadReport(const std::string& path) : path_(path) {
    std::error_code error;
    file_ = platform::AppendFile::Open(path, error);
    if (!file_.IsOpen()) throw std::system_error(error, "cannot write " + path);
}

void LoadReport::Append(const LoadRecord& record) {
    const std::string line = RecordLine(record) + "\n";
    const std::lock_guard<std::mutex> lock(mutex_);
    std::error_code error;
    if (!file_.Append(line, error)) throw std::system_error(error, "cannot write " + path_);
}

}  // namespace kx::cli
