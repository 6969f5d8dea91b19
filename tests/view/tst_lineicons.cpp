#include "telegram/telegramrecord.h"
#include "view/lineicons.h"

#include <QFile>
#include <QImage>
#include <QtEndian>
#include <QtTest>
#include <QtWidgets>

class TestLineIcons : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The lookup registers the compiled-in images on its first call.
        iconForLineType(NoTelegram, false);
    }

    // Each row is named after its image.
    void imageFiles_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<QColor>("background");

        const QColor gray(192, 192, 192);
        const QColor selected(255, 255, 153);
        QTest::newRow("PPO3Request") << 13 << gray;
        QTest::newRow("Selected_PPO3Request") << 13 << selected;
        QTest::newRow("PPO3Response") << 12 << gray;
        QTest::newRow("Selected_PPO3Response") << 12 << selected;
        QTest::newRow("Read") << 12 << gray;
        QTest::newRow("Selected_Read") << 12 << selected;
        QTest::newRow("ReadDescription") << 12 << gray;
        QTest::newRow("Selected_ReadDescription") << 12 << selected;
        QTest::newRow("Write") << 12 << QColor(196, 196, 196);
        QTest::newRow("Selected_Write") << 12 << selected;
        QTest::newRow("WriteVolatile") << 12 << QColor(255, 255, 0);
        QTest::newRow("ResponseOK") << 12 << gray;
        QTest::newRow("Selected_ResponseOK") << 12 << selected;
        QTest::newRow("ResponseError") << 12 << gray;
        QTest::newRow("Selected_ResponseError") << 12 << selected;
    }

    void imageFiles()
    {
        QFETCH(int, height);
        QFETCH(QColor, background);
        const QString path =
            QStringLiteral(":/images/%1.bmp").arg(QLatin1String(QTest::currentDataTag()));

        const QImage image(path);
        QCOMPARE(image.size(), QSize(18, height));
        // All four corners are background, and there is a picture in between.
        for (const QPoint corner :
             {QPoint(0, 0), QPoint(17, 0), QPoint(0, height - 1), QPoint(17, height - 1)})
            QCOMPARE(image.pixelColor(corner), background);
        int pictureInk = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < 18; ++x)
                pictureInk += image.pixelColor(x, y) != background;
        }
        QVERIFY2(pictureInk > 12, qPrintable(QString::number(pictureInk)));
    }

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
        QTest::newRow("ReadDescription selected")
            << int(ReadDescription) << true << "Selected_ReadDescription";
        QTest::newRow("Write") << int(Write) << false << "Write";
        QTest::newRow("WriteVolatile selected is the plain image")
            << int(WriteVolatile) << true << "WriteVolatile";
        QTest::newRow("ResponseOK selected") << int(ResponseOK) << true << "Selected_ResponseOK";
        QTest::newRow("ResponseError") << int(ResponseError) << false << "ResponseError";
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
        const QImage expected = QImage(QStringLiteral(":/images/%1.bmp").arg(image))
                                    .convertToFormat(QImage::Format_RGB32);
        QCOMPARE(icon.toImage().convertToFormat(QImage::Format_RGB32), expected);
    }
};

QTEST_MAIN(TestLineIcons)
#include "tst_lineicons.moc"
