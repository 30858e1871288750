#include "gui/qt/FileFilter.h"

namespace kx::gui {

QStringList NameFiltersOf(const std::string& classicFilter) {
    const QStringList parts = QString::fromStdString(classicFilter).split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        patterns.replace(u';', u' ');
        // The toolkit takes the patterns from the last parentheses of a filter; a
        // description that shows them already is kept as it is.
        const QString shown = QStringLiteral("(") + patterns + QStringLiteral(")");
        filters << (description.endsWith(shown) ? description : description + u' ' + shown);
    }
    return filters;
}

}  // namespace kx::gui
