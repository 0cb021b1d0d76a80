#include "app/res/document_string.h"

#include "app/res/resource_ids.h"
#include "app/res/string_table.h"

namespace velmora {

DocumentString DocumentString::Load() {
    return Parse(LoadString(IDR_MAINFRAME));
}

DocumentString DocumentString::Parse(const QString& text) {
    const QStringList fields = text.split(u'\n');
    const auto field = [&fields](qsizetype i) { return i < fields.size() ? fields[i] : QString(); };
    return {field(0), field(1), field(2), field(3), field(4), field(5), field(6)};
}

QStringList DocumentString::Extensions() const {
    QStringList extensions;
    for (const QString& extension : filterExtensions.split(u';', Qt::SkipEmptyParts))
        extensions << extension.trimmed();
    return extensions;
}

QStringList DocumentString::DialogFilters() const {
    QStringList patterns;
    for (const QString& extension : Extensions()) patterns << u'*' + extension;
    QStringList filters;
    if (!filterName.isEmpty() && !patterns.isEmpty())
        filters << QStringLiteral("%1 (%2)").arg(filterName, patterns.join(u' '));
    filters << LoadString(AFX_IDS_ALLFILTER) + QStringLiteral(" (*)");
    return filters;
}

QString DocumentString::DefaultSuffix() const {
    const QStringList extensions = Extensions();
    return extensions.isEmpty() ? QString() : extensions.first().mid(1);
}

}  // namespace velmora
