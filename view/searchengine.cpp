#include "view/visualizedtextedit.h"

#include "search/finding.h"
#include "search/searchoptions.h"

// Placeholder until the search engine is built.
void VisualizedTextEdit::search(const SearchOptions &) {}
QString VisualizedTextEdit::binaryDataSearchText(const QString &)
{
    return {};
}
QString VisualizedTextEdit::parameterIdSearchText(const QString &)
{
    return {};
}
QString VisualizedTextEdit::parameterIdPattern(const QString &, const QString &)
{
    return {};
}
void VisualizedTextEdit::findAll(QString, Qt::CaseSensitivity) {}
void VisualizedTextEdit::goTo(const Finding &) {}
