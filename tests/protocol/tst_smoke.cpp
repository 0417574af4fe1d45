#include "protocol/Codec.h"

#include <QtTest>

class TestSmoke : public QObject {
    Q_OBJECT
private slots:
    void decodes() {
        std::uint8_t b[2] = {};
        QCOMPARE(quorvane::decode_hex_text("0D01", b, 2), 2u);
        QCOMPARE(b[1], 1);
    }
};

QTEST_MAIN(TestSmoke)
#include "tst_smoke.moc"
