// The logo and the JPEG decoder: the built-in logo decodes, and damaged
// bytes of any kind give an empty picture with a reason, never a crash.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <random>

#include "reports/engine/jpeg_decoder.h"
#include "reports/engine/logo.h"
#include "reports/engine/quick_rep.h"

namespace {

QByteArray randomBytes(int n, unsigned seed) {
    std::mt19937 gen(seed);
    QByteArray out(n, '\0');
    for (char& c : out) c = static_cast<char>(gen() & 0xFF);
    return out;
}

// The offset of the frame header (SOF0) of a baseline JPEG.
qsizetype frameHeader(const QByteArray& jpeg) { return jpeg.indexOf(QByteArray("\xFF\xC0", 2)); }

void expectDamaged(const QByteArray& bytes, const char* what) {
    QString why;
    EXPECT_TRUE(decodeJpeg(bytes, &why).isNull()) << what;
    EXPECT_TRUE(why.startsWith(QLatin1String("image JPEG illisible"))) << what << ": " << why.toStdString();
}

}  // namespace

TEST(JpegTest, TheLogoDecodesToItsSizeAndColours) {
    QString why;
    const QImage logo = decodeJpeg(logoJpeg(), &why);
    ASSERT_FALSE(logo.isNull()) << why.toStdString();
    EXPECT_EQ(logo.size(), QSize(422, 386));
    EXPECT_GT(qGray(logo.pixel(3, 3)), 240) << "white around the shield";
    const QRgb border = logo.pixel(60, 60);  // navy upper field
    EXPECT_LT(qRed(border), 60);
    EXPECT_GT(qBlue(border), qRed(border) + 30);
    EXPECT_EQ(logoImage().size(), QSize(422, 386));
}

TEST(JpegTest, TruncatedPicturesGiveNoImage) {
    const QByteArray full = logoJpeg();
    for (qsizetype cut : {qsizetype(0), qsizetype(1), qsizetype(2), qsizetype(20), qsizetype(300),
                          full.size() / 2, full.size() - 2})
        expectDamaged(full.left(cut), qPrintable(QStringLiteral("cut at %1").arg(cut)));
}

TEST(JpegTest, GarbageAndDamagedHeadersGiveNoImage) {
    expectDamaged(randomBytes(4096, 7), "random bytes");
    expectDamaged(QByteArray("\xFF\xD8", 2) + randomBytes(4096, 11), "a start marker, then noise");

    QByteArray noisyScan = logoJpeg();
    const QByteArray noise = randomBytes(static_cast<int>(noisyScan.size() / 2), 5);
    noisyScan.replace(noisyScan.size() / 2, noise.size(), noise);
    expectDamaged(noisyScan, "second half replaced by noise");

    const QByteArray logo = logoJpeg();
    const qsizetype sof = frameHeader(logo);
    ASSERT_GT(sof, 0);
    QByteArray huge = logo;  // 65535 x 65535: refused before any allocation
    for (int i = 5; i < 9; ++i) huge[sof + i] = '\xFF';
    expectDamaged(huge, "absurd size");
    QByteArray flat = logo;  // no lines at all
    flat[sof + 5] = flat[sof + 6] = '\0';
    expectDamaged(flat, "height 0");
    QByteArray components = logo;  // a frame of 0 colour components
    components[sof + 9] = '\0';
    expectDamaged(components, "no components");
}

TEST(JpegTest, ADamagedPictureLeavesAnEmptyBoxAndSaysWhyOnStandardError) {
    TQuickRep rep(QStringLiteral("QRImpTicket"));
    auto* header = rep.addBand(QStringLiteral("QRBand1"), rbPageHeader, 26.2);
    auto* image = header->addImage(QStringLiteral("QRImage1"), 0, 0, 32, 23.8, QImage());
    header->addLabel(QStringLiteral("QRLabel1"), 40, 8.5, QStringLiteral("Ticket n°"));

    testing::internal::CaptureStderr();
    const bool loaded = image->loadJpeg(logoJpeg().left(600));
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_FALSE(loaded);
    EXPECT_NE(err.find("QRImage1"), std::string::npos) << err;
    EXPECT_NE(err.find("JPEG"), std::string::npos) << err;
    const PageModel m = rep.Prepare();
    ASSERT_EQ(m.pageCount(), 1);
    EXPECT_EQ(m.pages[0].count(QStringLiteral("QRImage1")), 0);
    EXPECT_EQ(m.pages[0].textsOf(QStringLiteral("QRLabel1")), QStringList(QStringLiteral("Ticket n°")));

    EXPECT_TRUE(image->loadJpeg(logoJpeg()));
    EXPECT_EQ(rep.Prepare().pages[0].count(QStringLiteral("QRImage1")), 1);
}
