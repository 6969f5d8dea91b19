#include "telegram/telegramrecord.h"
#include "view/lineicons.h"

#include <QImage>
#include <QtTest>
#include <QtWidgets>

class TestLineIcons : public QObject
{
    Q_OBJECT

private slots:
    void lookup_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QString>("image"); // empty: a null pixmap
        QTest::newRow("NoTelegram") << int(NoTelegram) << false << QString();
        QTest::newRow("Data selected") << int(Data) << true << QString();
        QTest::newRow("below range") << -1 << false << QString();
        QTest::newRow("above range") << 10 << true << QString();
        QTest::newRow("PPO3Request") << int(PPO3Request) << false << "PPO3Request";
        QTest::newRow("PPO3Response selected")
            << int(PPO3Response) << true << "Selected_PPO3Response";
        QTest::newRow("Read selected") << int(Read) << true << "Selected_Read";
        QTest::newRow("ReadDescription") << int(ReadDescription) << false << "ReadDescription";
        QTest::newRow("Write selected") << int(Write) << true << "Selected_Write";
        QTest::newRow("WriteVolatile selected is the plain image")
            << int(WriteVolatile) << true << "WriteVolatile";
        QTest::newRow("ResponseOK") << int(ResponseOK) << false << "ResponseOK";
        QTest::newRow("ResponseError selected")
            << int(ResponseError) << true << "Selected_ResponseError";
    }

    void lookup()
    {
        QFETCH(int, type);
        QFETCH(bool, selected);
        QFETCH(QString, image);
        const QPixmap &icon = iconForLineType(type, selected);
        QCOMPARE(&iconForLineType(type, selected), &icon); // a reference into the cache
        if (image.isEmpty()) {
            QVERIFY(icon.isNull());
            return;
        }
        const QImage expected = QImage(QStringLiteral(":/images/%1.bmp").arg(image));
        QVERIFY(!expected.isNull());
        QCOMPARE(icon.toImage().convertToFormat(QImage::Format_RGB32),
                 expected.convertToFormat(QImage::Format_RGB32));
    }
};

QTEST_MAIN(TestLineIcons)
#include "tst_lineicons.moc"
