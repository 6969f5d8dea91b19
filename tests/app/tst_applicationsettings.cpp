#include "app/applicationsettings.h"

#include <QtTest>

class TestApplicationSettings : public QObject
{
    Q_OBJECT

private slots:
    void defaults() { QCOMPARE(ApplicationSettings::instance().visualizedAreaWidth(), 400); }
};

QTEST_GUILESS_MAIN(TestApplicationSettings)
#include "tst_applicationsettings.moc"
