#pragma once

#include <QObject>
#include <QString>

// What a text view remembers between searches.
class SearchState : public QObject
{
    Q_OBJECT

public:
    explicit SearchState(QObject *parent);

    // The last converted text that a step found nowhere; a longer text holding it cannot match.
    QString notFoundText;

public slots:
    void clearNotFoundText();
};
