#include "searchcore/finding.h"

Finding::Finding(QObject *parent, int lineNumber, const QString &lineText, int column, int length,
                 unsigned fieldId, int position)
    : QObject(parent), lineNumber(lineNumber), lineText(lineText), length(length), column(column),
      position(position), fieldId(fieldId)
{
}
