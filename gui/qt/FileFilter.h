#pragma once
// Open-dialog filters written the classic way, "description|pattern|description|pattern",
// turned into the toolkit's name filters, "description (pattern pattern)".
#include <QStringList>
#include <string>

namespace kx::gui {

QStringList NameFiltersOf(const std::string& classicFilter);

}  // namespace kx::gui
